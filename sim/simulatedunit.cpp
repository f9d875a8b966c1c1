#include "sim/simulatedunit.h"

#include "channel/addresstext.h"
#include "channel/commandtext.h"
#include "link/linkfields.h"
#include "monitor/unitfactory.h"
#include "sim/statusencoder.h"
#include "sim/unitdefaults.h"

namespace {

constexpr int RingerTestMs = 2000;
constexpr int MaxStationId = LinkFields::HighestStationId;

std::optional<std::array<quint8, 6>> parseMac(const QByteArray &text)
{
    const QList<QByteArray> parts = text.split(':');
    if (parts.size() != 6)
        return std::nullopt;
    std::array<quint8, 6> mac{};
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        const uint value = parts[i].toUInt(&ok, 16);
        if (!ok || parts[i].size() > 2 || value > 0xFF)
            return std::nullopt;
        mac[std::size_t(i)] = quint8(value);
    }
    return mac;
}

std::optional<quint32> parseIpv4(const QByteArray &text)
{
    QHostAddress address;
    if (!address.setAddress(QString::fromLatin1(text))
        || address.protocol() != QAbstractSocket::IPv4Protocol)
        return std::nullopt;
    return address.toIPv4Address();
}

} // namespace

SimulatedUnit::SimulatedUnit(const UnitConfig &config, QObject *parent)
    : QObject(parent)
    , m_address(config.address)
    , m_model(UnitModels::find(config.model).value_or(*UnitModels::find(QStringLiteral("HV4K"))))
    , m_firmware(config.firmware)
    , m_random(config.address.toIPv4Address())
{
    m_status = UnitDefaults::factoryState(m_model, m_firmware, m_address);
    m_restartTimer.setSingleShot(true);
    m_ringerTimer.setSingleShot(true);
    connect(&m_restartTimer, &QTimer::timeout, this, &SimulatedUnit::finishRestart);
    connect(&m_liveTimer, &QTimer::timeout, this, &SimulatedUnit::changeLiveState);
    connect(&m_ringerTimer, &QTimer::timeout, this, [this] { m_status.ringerOn = false; });
}

std::optional<std::array<quint8, 6>> SimulatedUnit::macFromText(const QByteArray &text)
{
    return parseMac(text);
}

void SimulatedUnit::setFirmware(const QString &firmware)
{
    m_firmware = firmware;
    m_status.firmwareVersionCode = UnitDefaults::firmwareCode(firmware);
}

QByteArray SimulatedUnit::versionText() const
{
    return StatusEncoder::versionText(m_model.name, m_firmware);
}

QByteArray SimulatedUnit::statusReply() const
{
    return StatusEncoder::encode(versionText(), m_status, m_behaviour.statusReplyLength);
}

void SimulatedUnit::resetToFactory()
{
    m_status = UnitDefaults::factoryState(m_model, m_firmware, m_address);
    m_ledCycleInhibited = false;
}

void SimulatedUnit::setBehaviour(const UnitBehaviour &behaviour)
{
    m_behaviour = behaviour;
    setLiveChanges(behaviour.liveChangeMs);
}

void SimulatedUnit::setLiveChanges(int intervalMs)
{
    m_behaviour.liveChangeMs = intervalMs;
    if (intervalMs > 0)
        m_liveTimer.start(intervalMs);
    else
        m_liveTimer.stop();
}

void SimulatedUnit::setWrongDanteMacPrefix()
{
    m_status.danteMac[2] = 0xC2;
    m_status.danteMacText = AddressText::mac(m_status.danteMac);
}

void SimulatedUnit::setWrongControlMacPrefix()
{
    std::array<quint8, 6> mac = m_status.controlMac;
    mac[3] = 0x01;
    takeControlMac(mac);
}

// A local name that is still the default one for the old MAC follows the new MAC.
void SimulatedUnit::takeControlMac(const std::array<quint8, 6> &mac)
{
    if (m_status.localName == UnitDefaults::nameFor(m_model, m_status.controlMac))
        m_status.localName = UnitDefaults::nameFor(m_model, mac);
    m_status.controlMac = mac;
    m_status.controlMacText = AddressText::mac(mac);
}

void SimulatedUnit::setNamesMismatched()
{
    const auto otherSuffix = [](const std::array<quint8, 6> &mac) {
        return AddressText::macSuffix(mac) == QLatin1String("000000") ? QStringLiteral("FFFFFF")
                                                                        : QStringLiteral("000000");
    };
    m_status.danteName = m_model.name + QLatin1Char('-') + otherSuffix(m_status.danteMac);
    m_status.localName = m_model.name + QLatin1Char('-') + otherSuffix(m_status.controlMac);
}

void SimulatedUnit::setUltimoBusRequiredOffline()
{
    m_status.ultimoBusRequired = true;
    m_status.ultimoBusOnline = false;
}

void SimulatedUnit::setDipSwitch(int switchNumber, bool on)
{
    if (switchNumber >= 1 && switchNumber <= 4)
        m_status.dipSwitchOff[std::size_t(switchNumber - 1)] = !on;
}

QByteArray SimulatedUnit::respond(const QByteArray &datagram)
{
    m_requests.append(datagram);
    emit requestReceived(datagram);
    if (m_behaviour.silent || isRestarting())
        return QByteArray();
    if (!m_behaviour.nextReply.isNull())
        return std::exchange(m_behaviour.nextReply, QByteArray());

    const UnitRequest request = parseUnitRequest(datagram);
    switch (request.kind) {
    case UnitRequest::Unknown:
        return result("E04");
    case UnitRequest::StatusRequest: {
        if (!m_behaviour.statusRequestSupported)
            return result("E04");
        const QByteArray reply = statusReply();
        if (m_afterNextStatusReply)
            std::exchange(m_afterNextStatusReply, nullptr)(*this);
        return reply;
    }
    case UnitRequest::VersionQuery:
        return versionText();
    default:
        break;
    }
    if (!m_behaviour.nextCommandError.isEmpty())
        return result(std::exchange(m_behaviour.nextCommandError, QByteArray()));
    return carryOut(request);
}

QByteArray SimulatedUnit::result(const QByteArray &code) const
{
    return m_behaviour.carriageReturnAfterResult ? code + '\r' : code;
}

QByteArray SimulatedUnit::carryOut(const UnitRequest &request)
{
    switch (request.kind) {
    case UnitRequest::Identify:
        ++m_identifyCount;
        emit identifyRequested();
        return success();
    case UnitRequest::LedsGreen:
        setLeds('G');
        return success();
    case UnitRequest::LedsRed:
        setLeds('R');
        return success();
    case UnitRequest::LedsOrange:
        setLeds('Y');
        return success();
    case UnitRequest::LedsOff:
        setLeds(0);
        return success();
    case UnitRequest::RingerTest:
        m_status.ringerOn = true;
        m_ringerTimer.start(RingerTestMs);
        return success();
    case UnitRequest::HandsetMute:
        if (request.argument != "0" && request.argument != "1")
            return result("E06");
        m_status.handsetMuted = request.argument == "1";
        return success();
    case UnitRequest::Reboot:
    case UnitRequest::RedetectUltimo:
    case UnitRequest::FirmwareUpdate:
        restart();
        return success();
    case UnitRequest::LoadDefaults:
        loadDefaults();
        restart();
        return success();
    case UnitRequest::Assembly:
        return setAssembly(request);
    case UnitRequest::MacAddress:
        return setMac(request);
    case UnitRequest::LedCycleToggle:
        m_ledCycleInhibited = !m_ledCycleInhibited;
        return success();
    case UnitRequest::ClearPowerCycles:
        if (request.argument != "1")
            return result("E06");
        m_status.powerCycleCount = 0;
        return success();
    case UnitRequest::LedIntensity: {
        const int percent = request.argument.toInt();
        if (request.argument.size() > 3 || percent > 100)
            return result("E06");
        m_status.ledIntensity = quint8(percent);
        return success();
    }
    case UnitRequest::LinkStart:
        m_hasPendingStationName = m_hasPendingDanteName = false;
        return success();
    case UnitRequest::LinkStationName:
        m_pendingStationName = request.argument.left(CommandText::StationNameBytes);
        m_hasPendingStationName = true;
        return success();
    case UnitRequest::LinkDanteName:
        m_pendingDanteName = request.argument.left(CommandText::DanteNameBytes);
        m_hasPendingDanteName = true;
        return success();
    case UnitRequest::LinkAddresses:
        return applyLink(request);
    default:
        return result("E04");
    }
}

QByteArray SimulatedUnit::setAssembly(const UnitRequest &request)
{
    const std::optional<UnitModel> model = request.argument.size() <= 2
                                               ? UnitModels::byAssemblyCode(request.argument.toInt())
                                               : std::nullopt;
    if (!model)
        return result("E06");
    m_model = *model;
    m_status.modelToken = m_model.name;
    loadDefaults();
    restart();
    return success();
}

QByteArray SimulatedUnit::setMac(const UnitRequest &request)
{
    const std::optional<std::array<quint8, 6>> mac = parseMac(request.argument);
    if (!mac)
        return result("E06");
    if (m_behaviour.refusesMac)
        return result("E16");
    if (request.danteReference) {
        if (!UnitFactory::hasPrefix(*mac, UnitFactory::DanteMacPrefix))
            return result("E16");
        m_status.danteMac = *mac;
        m_status.danteMacText = AddressText::mac(*mac);
    } else {
        if (!UnitFactory::hasPrefix(*mac, UnitFactory::ControlMacPrefix))
            return result("E16");
        takeControlMac(*mac);
    }
    return success();
}

// "<control ip>,<mask>,<gateway>,<dante ip>,<mask>,<gateway>,<qsys ip>,<port>,1,1LX"
QByteArray SimulatedUnit::applyLink(const UnitRequest &request)
{
    const QList<QByteArray> &args = request.arguments;
    if (args.size() != 10)
        return result("E06");
    std::array<quint32, 7> addresses{};
    for (int i = 0; i < 7; ++i) {
        const std::optional<quint32> address = parseIpv4(args[i]);
        if (!address)
            return result("E06");
        addresses[std::size_t(i)] = *address;
    }
    bool ok = false;
    const int port = args[7].toInt(&ok);
    if (!ok)
        return result("E14");
    const int ownBase = m_model.intercom ? UnitDefaults::LinkPortBaseIntercom
                                         : UnitDefaults::LinkPortBasePaging;
    const int otherBase = m_model.intercom ? UnitDefaults::LinkPortBasePaging
                                           : UnitDefaults::LinkPortBaseIntercom;
    const auto inRange = [port](int base) { return port > base && port <= base + MaxStationId; };
    if (!inRange(ownBase))
        return result(inRange(otherBase) ? "E15" : "E14");

    m_status.controlIpStored = m_status.controlIpCurrent = addresses[0];
    m_status.controlSubnetMask = addresses[1];
    m_status.controlGateway = addresses[2];
    m_status.danteIp = addresses[3];
    m_status.danteSubnetMask = addresses[4];
    m_status.danteGateway = addresses[5];
    m_status.qsysCoreIp = addresses[6];
    m_status.stationId = quint16(port - ownBase);
    m_status.localPort = quint16(port);
    m_status.networkStatus |= quint8(ControlStaticAddress | DanteDhcpOff);
    m_status.danteIpMode = 4;
    if (m_hasPendingStationName)
        m_status.localName = QString::fromUtf8(m_pendingStationName);
    if (m_hasPendingDanteName)
        m_status.danteName = QString::fromUtf8(m_pendingDanteName);
    m_hasPendingStationName = m_hasPendingDanteName = false;
    m_addressAfterRestart = QHostAddress(addresses[0]);
    restart();
    return success();
}

void SimulatedUnit::setLeds(char colour)
{
    m_status.ledBits = {};
    for (int led = 0; colour && led < m_model.ioCount; ++led)
        m_status.ledBits[std::size_t(led / 8)] |= quint8(1u << (led % 8));
    if (colour)
        m_status.ledColours = {colour, colour, colour, colour};
}

void SimulatedUnit::restart()
{
    m_status.ringerOn = false;
    m_ringerTimer.stop();
    emit restartStarted();
    m_restartTimer.start(std::max(m_behaviour.restartMs, 0));
}

void SimulatedUnit::finishRestart()
{
    ++m_restartCount;
    ++m_status.powerCycleCount;
    m_status.pttState = true;
    if (!m_addressAfterRestart.isNull() && m_addressAfterRestart != m_address) {
        const QHostAddress oldAddress = m_address;
        m_address = m_addressAfterRestart;
        m_addressAfterRestart.clear();
        emit addressChanged(oldAddress, m_address);
    }
    m_addressAfterRestart.clear();
    emit restartFinished();
}

void SimulatedUnit::loadDefaults()
{
    UnitDefaults::restoreSettings(m_status, m_model, m_address);
    m_ledCycleInhibited = false;
}

void SimulatedUnit::changeLiveState()
{
    const int count = std::max(m_model.ioCount, 1);
    const int input = int(m_random.bounded(count));
    m_status.inputBits[std::size_t(input / 8)] ^= quint8(1u << (input % 8));
    const int led = int(m_random.bounded(count));
    m_status.ledBits[std::size_t(led / 8)] ^= quint8(1u << (led % 8));
    if (m_random.bounded(4) == 0)
        m_status.pttState = !m_status.pttState;
    if (m_model.intercom && m_random.bounded(6) == 0)
        m_status.ringerOn = !m_status.ringerOn;
    if (m_model.intercom && m_random.bounded(8) == 0)
        m_status.handsetMuted = !m_status.handsetMuted;
}
