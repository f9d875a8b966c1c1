#include "monitor/statusdecoder.h"

#include "channel/addresstext.h"
#include "channel/statuslayout.h"
#include "monitor/unitfactory.h"

#include <QVector>

namespace StatusDecoder {

namespace {

using StatusLayout::Field;

const QLatin1String UltimoChip("Ultimo");
const QLatin1String UltimoX2Chip("UltimoX2");

// Reads fields of a block that is known to be at least MinimumBlockSize long;
// the optional trailing fields are checked by the caller.
class BlockReader
{
public:
    explicit BlockReader(const QByteArray &block) : m_block(block) {}

    quint8 byte(const Field &field, int index = 0) const
    {
        return quint8(m_block.at(field.blockOffset() + index));
    }

    quint32 number(const Field &field) const
    {
        quint32 value = 0;
        for (int i = 0; i < field.size; ++i)
            value = (value << 8) | byte(field, i);
        return value;
    }

    bool flag(const Field &field) const { return byte(field) != 0; }

    QString text(const Field &field) const
    {
        const QByteArray bytes = m_block.mid(field.blockOffset(), field.size);
        const int nul = bytes.indexOf('\0');
        return QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
    }

    template <std::size_t N>
    std::array<quint8, N> bytes(const Field &field) const
    {
        std::array<quint8, N> result{};
        for (std::size_t i = 0; i < N && int(i) < field.size; ++i)
            result[i] = byte(field, int(i));
        return result;
    }

private:
    const QByteArray &m_block;
};

// A name ends in the last three bytes of its MAC in hexadecimal ("...ABCDEF").
bool nameMismatchesMac(const QString &name, const std::array<quint8, 6> &mac)
{
    if (name.size() < 6)
        return true;
    return name.right(6).toUpper() != AddressText::macSuffix(mac);
}

void readFields(UnitStatus &s, const QByteArray &block)
{
    namespace L = StatusLayout;
    const BlockReader r(block);

    s.bootloaderVersion = r.bytes<3>(L::BootloaderVersion);
    s.bootloaderVersionCode = VersionCode::bootloader(s.bootloaderVersion);
    s.danteImageVersion = r.bytes<3>(L::DanteImageVersion);
    s.danteFirmwareVersion = r.bytes<4>(L::DanteFirmwareVersion);
    s.danteFirmwareCode = VersionCode::danteFirmware(s.danteFirmwareVersion);
    s.danteImageProduct = r.text(L::DanteImageProduct);
    s.danteChipModel = r.text(L::DanteChipModel);
    s.danteName = r.text(L::DanteName);
    s.danteMac = r.bytes<6>(L::DanteMac);
    s.danteMacText = AddressText::mac(s.danteMac);
    s.danteIp = r.number(L::DanteIp);
    s.danteSubnetMask = r.number(L::DanteSubnetMask);
    s.danteGateway = r.number(L::DanteGateway);
    s.networkStatus = r.byte(L::NetworkStatus);
    s.danteIpMode = r.byte(L::DanteIpMode);
    s.ultimoBusOnline = r.flag(L::UltimoBusOnline);
    s.ultimoBusRequired = r.flag(L::UltimoBusRequired);

    s.controlMac = r.bytes<6>(L::ControlMac);
    s.controlMacText = AddressText::mac(s.controlMac);
    s.controlIpCurrent = r.number(L::ControlIpCurrent);
    s.controlIpStored = r.number(L::ControlIpStored);
    s.controlSubnetMask = r.number(L::ControlSubnetMask);
    s.controlGateway = r.number(L::ControlGateway);
    s.localPort = quint16(r.number(L::LocalPort));
    s.qsysCoreIp = r.number(L::QsysCoreIp);
    s.qsysCorePort = quint16(r.number(L::QsysCorePort));
    if (const quint8 error = r.byte(L::UnitErrorCode))
        s.unitErrorCode = error;
    s.stationId = quint16(r.number(L::StationId));
    s.defaultGroup = r.byte(L::DefaultGroup);
    s.groupRevertSeconds = quint16(r.number(L::GroupRevertSeconds));
    s.qsysPingIntervalSeconds = quint16(r.number(L::QsysPingIntervalSeconds));
    s.kiroLinkTimeoutSeconds = quint16(r.number(L::KiroLinkTimeoutSeconds));
    s.qsysPingTimeoutSeconds = quint16(r.number(L::QsysPingTimeoutSeconds));
    s.ledIntensity = r.byte(L::LedIntensity);
    s.powerCycleCount = r.number(L::PowerCycleCount);
    s.localName = r.text(L::LocalName);

    s.pttState = r.flag(L::PttState);
    s.ringerOn = r.flag(L::RingerState);
    s.handsetMuted = r.flag(L::HandsetMuted);
    s.inputBits = r.bytes<4>(L::InputBits);
    for (int i = 0; i < 4; ++i)
        s.dipSwitchOff[i] = r.byte(L::DipSwitches, i) != 0;
    s.ledBits = r.bytes<4>(L::LedBits);

    s.hasLedColours = block.size() >= L::ColourBlockSize;
    if (s.hasLedColours) {
        for (int i = 0; i < 4; ++i)
            s.ledColours[i] = char(r.byte(L::LedColours, i));
    }
    s.hasFeatureBits = block.size() >= L::FeatureBlockSize;
    if (s.hasFeatureBits)
        s.featureBits = r.byte(L::FeatureBits);
}

void evaluateDanteChip(UnitStatus &s, const AssemblyContext &assembly)
{
    s.setCondition(UltimoFirmwareOutdated, false);
    s.setCondition(UltimoXFirmwareOutdated, false);
    s.setCondition(DanteImageMismatch, false);
    if (s.danteChipModel == UltimoChip) {
        s.setCondition(UltimoFirmwareOutdated, s.danteFirmwareCode < CurrentUltimoSince);
    } else if (s.danteChipModel == UltimoX2Chip) {
        s.setCondition(UltimoXFirmwareOutdated, s.danteFirmwareCode < CurrentUltimoX2Since);
        s.setCondition(CompatibilityAssemblyOnUltimoX, Assembly::isCompatibilityModel(assembly.assemblyIndex));
    } else if (!s.danteChipModel.isEmpty()) {
        s.setCondition(UltimoFirmwareOutdated, true);
        s.setCondition(UltimoXFirmwareOutdated, true);
    }
    const QLatin1String expectedProduct(assembly.intercomModel ? "TESK" : "HALVO");
    s.setCondition(DanteImageMismatch, s.danteImageProduct != expectedProduct);
}

void evaluateDerivedChecks(UnitStatus &s, const AssemblyContext &assembly)
{
    constexpr quint8 DanteStaticIpMode = 4;
    s.danteNameMismatch = nameMismatchesMac(s.danteName, s.danteMac);
    s.localNameMismatch = nameMismatchesMac(s.localName, s.controlMac);
    s.danteStaticConfig = ((s.networkStatus & DanteDhcpOff) || s.danteIpMode == DanteStaticIpMode)
        && (assembly.ultimoXModel || s.ultimoBusOnline);
    s.controlStaticConfig = s.networkStatus & ControlStaticAddress;
    s.controlIpNotFactory = !UnitFactory::inControlSubnet(s.controlIpStored);
    s.qsysPortUnexpected = s.qsysCorePort != UnitFactory::qsysPort(assembly.intercomModel);
}

void evaluateConditions(UnitStatus &s, const AssemblyContext &assembly)
{
    s.setCondition(DanteMacInvalid, !UnitFactory::hasPrefix(s.danteMac, UnitFactory::DanteMacPrefix));
    s.setCondition(ControlMacInvalid, !UnitFactory::hasPrefix(s.controlMac, UnitFactory::ControlMacPrefix));
    evaluateDerivedChecks(s, assembly);
    s.setCondition(SettingsNotDefault, s.danteNameMismatch || s.danteStaticConfig
                       || s.controlStaticConfig || s.controlIpNotFactory || s.qsysPortUnexpected
                       || s.localNameMismatch);
    int dipCode = 0;
    for (int k = 0; k < 4; ++k)
        dipCode |= (s.dipSwitchOff[k] ? 1 : 0) << k;
    s.setCondition(DipSwitchesNotOff, dipCode != 0xF);
    s.setCondition(LedIntensityLow, s.ledIntensity < LowestShippingIntensity);
    s.setCondition(BootloaderOutdated, s.bootloaderVersionCode < CurrentBootloaderSince);
    evaluateDanteChip(s, assembly);
    s.setCondition(UltimoBusRequiredOffline, !s.ultimoBusOnline && s.ultimoBusRequired);
}

quint8 versionPart(const QStringList &parts, int index)
{
    if (index >= parts.size())
        return 0;
    bool ok = false;
    const uint value = parts.at(index).toUInt(&ok, 10);
    return ok ? quint8(value) : 0;
}

} // namespace

unsigned firmwareVersionCode(const QString &versionToken)
{
    const QStringList parts = versionToken.toLower().remove(QLatin1Char('v')).split(QLatin1Char('.'));
    return VersionCode::firmware(versionPart(parts, 0), versionPart(parts, 1));
}

void readHeader(UnitStatus &status, const QString &header)
{
    const QStringList tokens = header.split(QLatin1Char(' '));
    status.modelToken = tokens.value(0);
    status.firmwareVersionCode = firmwareVersionCode(tokens.value(1));
}

int assemblyIndexForModel(const QString &modelToken, const QStringList &assemblyNames)
{
    const QString name = modelToken == QLatin1String("Halvo") ? QStringLiteral("HV4") : modelToken;
    return assemblyNames.indexOf(name);
}

bool supportsStatusRequest(unsigned versionCode)
{
    return versionCode >= StatusRequestSince
        && !(versionCode >= 200 && versionCode < SecondSeriesStatusRequestSince);
}

bool needsFirmwareUpdate(unsigned versionCode)
{
    return versionCode < CurrentFirmwareSince
        || (versionCode >= SecondSeriesStatusRequestSince && versionCode < SecondSeriesCurrentSince);
}

bool reportsFeatureIndicators(unsigned versionCode)
{
    return (versionCode >= CurrentFirmwareSince && versionCode < 200)
        || versionCode >= SecondSeriesFeatureIndicatorsSince;
}

bool applyVersionGate(UnitStatus &status)
{
    const unsigned code = status.firmwareVersionCode;
    if (!supportsStatusRequest(code)) {
        status.setCondition(FirmwareUnsupported, true);
        return false;
    }
    status.setCondition(FirmwareUnsupported, false);
    status.setCondition(FirmwareUpdateRequired, needsFirmwareUpdate(code));
    return true;
}

bool readBlock(UnitStatus &status, const QByteArray &block, const AssemblyContext &assembly)
{
    if (block.size() < StatusLayout::MinimumBlockSize) {
        if (!status.hasCondition(FirmwareUnsupported) && !status.hasCondition(FirmwareUpdateRequired))
            status.setCondition(DataTruncated, true);
        return false;
    }
    status.setCondition(DataTruncated, false);
    readFields(status, block);
    evaluateConditions(status, assembly);
    // This reply's code decides; unitErrorCode keeps the last non-zero one.
    const BlockReader reader(block);
    status.setCondition(UnitErrorReported, reader.byte(StatusLayout::UnitErrorCode) != 0);
    return true;
}

Outcome decode(UnitStatus &status, const QString &header, const QByteArray &block,
               const AssemblyContext &assembly)
{
    Outcome outcome;
    readHeader(status, header);
    outcome.supported = applyVersionGate(status);
    outcome.blockDecoded = readBlock(status, block, assembly);
    return outcome;
}

bool macTypeBoxWanted(bool ultimoXModel, bool ultimoBusOnline, bool online, bool privateMode)
{
    return !ultimoXModel && !ultimoBusOnline && online && privateMode;
}

} // namespace StatusDecoder
