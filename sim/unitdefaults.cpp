#include "sim/unitdefaults.h"

#include "channel/addresstext.h"
#include "monitor/unitfactory.h"

#include <QStringList>

namespace UnitDefaults {

namespace {

constexpr quint32 ipv4(quint8 a, quint8 b, quint8 c, quint8 d)
{
    return quint32(a) << 24 | quint32(b) << 16 | quint32(c) << 8 | d;
}

constexpr quint32 Mask24 = ipv4(255, 255, 255, 0);

quint32 addressValue(const QHostAddress &address)
{
    bool ok = false;
    const quint32 value = address.toIPv4Address(&ok);
    return ok ? value : 0;
}

// The stored control address: the unit's own when it lies in 192.168.0.x,
// else 192.168.0.254.
quint32 factoryControlAddress(quint32 current)
{
    if (UnitFactory::inControlSubnet(current) && (current & 0xFF) != 0 && (current & 0xFF) != 255)
        return current;
    return ipv4(192, 168, 0, 254);
}

} // namespace

QString nameFor(const UnitModel &model, const std::array<quint8, 6> &mac)
{
    return model.name + QLatin1Char('-') + AddressText::macSuffix(mac);
}

unsigned firmwareCode(const QString &firmware)
{
    QString text = firmware.toLower();
    text.remove(QLatin1Char('v'));
    const QStringList parts = text.split(QLatin1Char('.'));
    const unsigned major = parts.value(0).toUInt() & 0xFF;
    const unsigned minor = parts.value(1).toUInt() & 0xFF;
    return VersionCode::firmware(major, minor);
}

UnitStatus factoryState(const UnitModel &model, const QString &firmware,
                        const QHostAddress &address)
{
    UnitStatus s;
    const quint32 ip = addressValue(address);
    const quint8 octet3 = quint8(ip >> 8);
    const quint8 octet4 = quint8(ip);

    s.modelToken = model.name;
    s.firmwareVersionCode = firmwareCode(firmware);
    s.bootloaderVersion = {1, 0, 4};
    s.bootloaderVersionCode = VersionCode::bootloader(s.bootloaderVersion);
    s.danteImageVersion = {1, 2, 0};
    if (model.ultimoX) {
        s.danteChipModel = QStringLiteral("UltimoX2");
        s.danteFirmwareVersion = {4, 1, 1, 5};
        s.danteFirmwareCode = VersionCode::danteFirmware(s.danteFirmwareVersion);
    } else {
        s.danteChipModel = QStringLiteral("Ultimo");
        s.danteFirmwareVersion = {3, 10, 4, 1};
        s.danteFirmwareCode = VersionCode::danteFirmware(s.danteFirmwareVersion);
    }
    s.danteImageProduct = model.intercom ? QStringLiteral("TESK") : QStringLiteral("HALVO");
    const auto &dante = UnitFactory::DanteMacPrefix;
    const auto &control = UnitFactory::ControlMacPrefix;
    s.danteMac = {dante[0], dante[1], dante[2], UnitFactory::DanteMacRange, octet3, octet4};
    s.controlMac = {control[0], control[1], control[2], control[3], octet3, octet4};
    s.dipSwitchOff = {true, true, true, true};
    restoreSettings(s, model, address);
    return s;
}

void restoreSettings(UnitStatus &s, const UnitModel &model, const QHostAddress &address)
{
    const quint32 ip = addressValue(address);
    s.danteMacText = AddressText::mac(s.danteMac);
    s.controlMacText = AddressText::mac(s.controlMac);
    s.danteName = nameFor(model, s.danteMac);
    s.localName = nameFor(model, s.controlMac);

    // Dante side on DHCP; without a server it sits on its link-local address.
    s.danteIp = ipv4(169, 254, s.danteMac[4], s.danteMac[5] == 0 ? 1 : s.danteMac[5]);
    s.danteSubnetMask = ipv4(255, 255, 0, 0);
    s.danteGateway = 0;
    s.danteIpMode = 1;
    s.networkStatus = 0;
    s.ultimoBusOnline = model.ultimoX;
    s.ultimoBusRequired = model.ultimoX;

    s.controlIpCurrent = ip;
    s.controlIpStored = factoryControlAddress(ip);
    s.controlSubnetMask = Mask24;
    s.controlGateway = ipv4(192, 168, 0, 1);

    s.stationId = 1;
    s.localPort = quint16((model.intercom ? LinkPortBaseIntercom : LinkPortBasePaging) + s.stationId);
    s.qsysCoreIp = 0;
    s.qsysCorePort = UnitFactory::qsysPort(model.intercom);
    s.defaultGroup = 0;
    s.groupRevertSeconds = 0;
    s.qsysPingIntervalSeconds = 5;
    s.kiroLinkTimeoutSeconds = 30;
    s.qsysPingTimeoutSeconds = 15;
    s.ledIntensity = 100;

    s.pttState = true; // released (the tool shows a non-zero PTT dark)
    s.ringerOn = false;
    s.handsetMuted = false;
    s.inputBits = {0xFF, 0xFF, 0xFF, 0xFF}; // a clear bit is an active input
    s.ledBits = {};
    s.hasLedColours = true;
    s.ledColours = {'G', 'G', 'G', 'G'};
    s.hasFeatureBits = true;
    s.featureBits = model.intercom ? quint8(SnoozingAllowed | ButtonTapsEnabled) : quint8(ButtonTapsEnabled);
}

} // namespace UnitDefaults
