#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

// The sixteen condition bits derived from a unit's status reply. The readiness
// checklist turns each set bit into one instruction line.
enum ConditionFlag : quint16 {
    FirmwareUnsupported = 0x0001,
    DataTruncated = 0x0002,
    DanteMacInvalid = 0x0004,
    ControlMacInvalid = 0x0008,
    UnitErrorReported = 0x0010,
    ModelInvalid = 0x0020,
    SettingsNotDefault = 0x0040,
    DipSwitchesNotOff = 0x0080,
    LedIntensityLow = 0x0100,
    FirmwareUpdateRequired = 0x0200,
    BootloaderOutdated = 0x0400,
    UltimoFirmwareOutdated = 0x0800,
    UltimoXFirmwareOutdated = 0x1000,
    DanteImageMismatch = 0x2000,
    UltimoBusRequiredOffline = 0x4000,
    CompatibilityAssemblyOnUltimoX = 0x8000,
};

// Bits of the network status byte of a status reply.
enum NetworkStatusBit : quint8 {
    ControlStaticAddress = 0x02,
    QsysCoreLinked = 0x04,
    DanteDhcpOff = 0x10,
};

// Bits of the optional feature byte of a status reply.
enum FeatureBit : quint8 {
    SnoozingAllowed = 0x01,
    ButtonTapsEnabled = 0x02,
    PttZoneModeEnabled = 0x04,
};

// How the versions of a unit compare: each as one number, its parts weighted
// so that a later version has the larger code.
namespace VersionCode {

// Unit firmware "2.09": major * 100 + minor.
constexpr unsigned firmware(unsigned major, unsigned minor)
{
    return major * 100u + minor;
}

// Bootloader 1.0.4: major * 1000 + minor * 100 + patch.
constexpr unsigned bootloader(const std::array<quint8, 3> &version)
{
    return version[0] * 1000u + version[1] * 100u + version[2];
}

// Dante firmware 3.10.4 (its fourth part, the build, does not count):
// major * 10000 + minor * 100 + patch.
constexpr unsigned danteFirmware(const std::array<quint8, 4> &version)
{
    return version[0] * 10000u + version[1] * 100u + version[2];
}

} // namespace VersionCode

// Everything decoded from the selected unit's last status reply. IPv4
// addresses are held as host-order 32-bit values; 0 means "not set".
struct UnitStatus
{
    QString modelToken;
    unsigned firmwareVersionCode = 0; // VersionCode::firmware

    std::array<quint8, 3> bootloaderVersion{};
    unsigned bootloaderVersionCode = 0; // VersionCode::bootloader
    std::array<quint8, 3> danteImageVersion{};
    std::array<quint8, 4> danteFirmwareVersion{};
    unsigned danteFirmwareCode = 0; // VersionCode::danteFirmware
    QString danteImageProduct;
    QString danteChipModel;
    QString danteName;
    std::array<quint8, 6> danteMac{};
    QString danteMacText;
    quint32 danteIp = 0;
    quint32 danteSubnetMask = 0;
    quint32 danteGateway = 0;
    quint8 networkStatus = 0;
    quint8 danteIpMode = 0;
    bool ultimoBusOnline = false;
    bool ultimoBusRequired = false;

    std::array<quint8, 6> controlMac{};
    QString controlMacText;
    quint32 controlIpCurrent = 0;
    quint32 controlIpStored = 0;
    quint32 controlSubnetMask = 0;
    quint32 controlGateway = 0;
    quint16 localPort = 0;
    quint32 qsysCoreIp = 0;
    quint16 qsysCorePort = 0;
    quint8 unitErrorCode = 0;
    quint16 stationId = 0;
    quint8 defaultGroup = 0;
    quint16 groupRevertSeconds = 0;
    quint16 qsysPingIntervalSeconds = 0;
    quint16 kiroLinkTimeoutSeconds = 0;
    quint16 qsysPingTimeoutSeconds = 0;
    quint8 ledIntensity = 0;
    quint32 powerCycleCount = 0;
    QString localName;

    bool pttState = false;
    bool ringerOn = false;
    bool handsetMuted = false;
    std::array<quint8, 4> inputBits{}; // input n is bit (n-1) % 8 of byte (n-1) / 8
    std::array<bool, 4> dipSwitchOff{};
    std::array<quint8, 4> ledBits{};
    bool hasLedColours = false;
    std::array<char, 4> ledColours{};
    bool hasFeatureBits = false;
    quint8 featureBits = 0;

    quint16 conditionFlags = 0;

    bool danteNameMismatch = false;
    bool danteStaticConfig = false;
    bool controlStaticConfig = false;
    bool controlIpNotFactory = false;
    bool qsysPortUnexpected = false;
    bool localNameMismatch = false;

    bool hasCondition(ConditionFlag flag) const { return conditionFlags & flag; }
    void setCondition(ConditionFlag flag, bool on)
    {
        conditionFlags = on ? quint16(conditionFlags | flag) : quint16(conditionFlags & ~flag);
    }
};
