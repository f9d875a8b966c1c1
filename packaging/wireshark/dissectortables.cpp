#include "packaging/wireshark/dissectortables.h"

#include "channel/commandtext.h"
#include "channel/resultcodes.h"
#include "monitor/conditions.h"
#include "monitor/unitstatus.h"

#include <QStringList>
#include <QVector>

namespace DissectorTables {

namespace L = StatusLayout;

const QList<StatusField> &statusFields()
{
    static const QList<StatusField> fields = {
        {"bootloader_version", "Bootloader version", L::BootloaderVersion, Kind::Version, nullptr, nullptr, 3},
        {"dante_image_version", "Dante image version", L::DanteImageVersion, Kind::Version, nullptr, nullptr, 3},
        {"dante_firmware_version", "Dante firmware version", L::DanteFirmwareVersion, Kind::Version, nullptr, nullptr, 4},
        {"dante_image_product", "Dante image product", L::DanteImageProduct, Kind::Text},
        {"dante_chip_model", "Dante chip model", L::DanteChipModel, Kind::Text},
        {"dante_name", "Dante name", L::DanteName, Kind::Text},
        {"dante_mac", "Dante MAC", L::DanteMac, Kind::Mac},
        {"dante_ip", "Dante IP", L::DanteIp, Kind::Ipv4},
        {"uninterpreted", "Not interpreted", L::Uninterpreted, Kind::Bytes},
        {"dante_subnet_mask", "Dante subnet mask", L::DanteSubnetMask, Kind::Ipv4},
        {"dante_gateway", "Dante gateway", L::DanteGateway, Kind::Ipv4},
        {"network_status", "Network status", L::NetworkStatus, Kind::Bits},
        {"dante_ip_mode", "Dante IP mode", L::DanteIpMode, Kind::Unsigned},
        {"ultimo_bus_online", "Ultimo bus online", L::UltimoBusOnline, Kind::Switch},
        {"ultimo_bus_required", "Ultimo bus required", L::UltimoBusRequired, Kind::Switch},
        {"control_mac", "Control MAC", L::ControlMac, Kind::Mac},
        {"control_ip_current", "Control IP (current)", L::ControlIpCurrent, Kind::Ipv4},
        {"control_ip_stored", "Control IP (stored)", L::ControlIpStored, Kind::Ipv4},
        {"control_subnet_mask", "Control subnet mask", L::ControlSubnetMask, Kind::Ipv4},
        {"control_gateway", "Control gateway", L::ControlGateway, Kind::Ipv4},
        {"local_port", "Local port", L::LocalPort, Kind::Unsigned},
        {"qsys_core_ip", "Q-SYS core IP", L::QsysCoreIp, Kind::Ipv4},
        {"qsys_core_port", "Q-SYS core port", L::QsysCorePort, Kind::Unsigned},
        {"unit_error_code", "Unit error code", L::UnitErrorCode, Kind::Hex},
        {"station_id", "Station ID", L::StationId, Kind::Unsigned},
        {"default_group", "Default group (zero-based)", L::DefaultGroup, Kind::Unsigned},
        {"group_revert_timer", "Default group revert timer (s, 0 = disabled)", L::GroupRevertSeconds, Kind::Unsigned},
        {"qsys_ping_interval", "Q-SYS ping interval (s, 0 = disabled)", L::QsysPingIntervalSeconds, Kind::Unsigned},
        {"kiro_link_timeout", "Kiro link timeout (s, 0 = disabled)", L::KiroLinkTimeoutSeconds, Kind::Unsigned},
        {"qsys_ping_timeout", "Q-SYS ping timeout (s, 0 = disabled)", L::QsysPingTimeoutSeconds, Kind::Unsigned},
        {"led_intensity", "LED intensity (%)", L::LedIntensity, Kind::Unsigned},
        {"power_cycle_count", "Power cycle counter", L::PowerCycleCount, Kind::Unsigned},
        {"local_name", "Local name", L::LocalName, Kind::Text},
        {"ptt_state", "PTT state", L::PttState, Kind::Switch},
        {"ringer_state", "Ringer (Sonalert) on", L::RingerState, Kind::Switch},
        {"handset_muted", "Handset muted", L::HandsetMuted, Kind::Switch},
        {"input_bits", "Input bits", L::InputBits, Kind::BitArray, "input", "Input %1 bit (clear: shown lit)"},
        {"dip_switches", "DIP switches", L::DipSwitches, Kind::Switches, "dip_switch", "DIP switch %1 off (up)"},
        {"led_bits", "LED bits", L::LedBits, Kind::BitArray, "led", "LED %1 lit"},
        {"led_colours", "LED colours", L::LedColours, Kind::Letters, "led_colour", "LED %1 colour"},
        {"feature_bits", "Feature bits", L::FeatureBits, Kind::Bits},
    };
    return fields;
}

QList<NamedBit> bitsOf(const char *fieldName)
{
    const QByteArray name(fieldName);
    if (name == "network_status") {
        return {
            {"control_static", "Control side static address (DHCP off)", ControlStaticAddress},
            {"qsys_core_linked", "Q-SYS core linked", QsysCoreLinked},
            {"dante_dhcp_off", "Dante side DHCP off", DanteDhcpOff},
        };
    }
    if (name == "feature_bits") {
        return {
            {"snoozing_allowed", "Snoozing allowed", SnoozingAllowed},
            {"button_taps_enabled", "Button taps enabled", ButtonTapsEnabled},
            {"ptt_zone_mode_enabled", "PTT zone mode enabled", PttZoneModeEnabled},
        };
    }
    return {};
}

const QList<NamedBit> &conditionBits()
{
    static const QList<NamedBit> bits = [] {
        QList<NamedBit> list;
        for (const Conditions::Condition &condition : Conditions::All)
            list.append({condition.filterName, condition.label, condition.flag});
        return list;
    }();
    return bits;
}

const QList<NamedBit> &settingsChecks()
{
    static const QList<NamedBit> checks = {
        {"dante_name_mismatch", "Dante name does not end in the Dante MAC", 0x01},
        {"dante_static_config", "Dante side static", 0x02},
        {"control_static_config", "Control side static", 0x04},
        {"control_ip_not_factory", "Stored control IP outside 192.168.0.x", 0x08},
        {"qsys_port_unexpected", "Q-SYS core port not the family's", 0x10},
        {"local_name_mismatch", "Local name does not end in the control MAC", 0x20},
    };
    return checks;
}

namespace {

// The mnemonic of a datagram built with `argument` in front of it; empty when
// the datagram does not have that form.
QByteArray mnemonicOf(QByteArray datagram, const QByteArray &argument)
{
    if (!datagram.endsWith('\r') || !datagram.startsWith(argument))
        return QByteArray();
    datagram.chop(1);
    return datagram.mid(argument.size());
}

} // namespace

QList<Command> commands()
{
    namespace C = CommandText;
    const QStringList sevenAddresses = QVector<QString>(7, QStringLiteral("0.0.0.0")).toList();
    const QByteArray linkArgument = sevenAddresses.join(QLatin1Char(',')).toLatin1() + ",4012,1,1";
    return {
        {mnemonicOf(C::statusRequest(), ""), QStringLiteral("status request")},
        {mnemonicOf(C::versionQuery(), ""), QStringLiteral("version query")},
        {mnemonicOf(C::identify(), ""), QStringLiteral("identify")},
        {mnemonicOf(C::ledStateToggle(1), ""), QStringLiteral("LED state toggle, all green")},
        {mnemonicOf(C::ledStateToggle(2), ""), QStringLiteral("LED state toggle, all red")},
        {mnemonicOf(C::ledStateToggle(3), ""), QStringLiteral("LED state toggle, all orange")},
        {mnemonicOf(C::ledStateToggle(0), ""), QStringLiteral("LED state toggle, all off")},
        {mnemonicOf(C::ringerTest(), ""), QStringLiteral("ringer (Sonalert) test")},
        {mnemonicOf(C::handsetMute(false), "1"), QStringLiteral("handset mute (1 mutes, 0 unmutes)")},
        {mnemonicOf(C::reboot(), ""), QStringLiteral("reboot")},
        {mnemonicOf(C::loadDefaults(), ""), QStringLiteral("restore default settings and reboot")},
        {mnemonicOf(C::firmwareUpdateMode(), ""), QStringLiteral("firmware update mode (bootloader)")},
        {mnemonicOf(C::assembly(0), "1"), QStringLiteral("assembly code")},
        {mnemonicOf(C::macAddress(QStringLiteral("02:4B:7D:00:00:01"), false), "02:4B:7D:00:00:01"),
         QStringLiteral("MAC address")},
        {mnemonicOf(C::macAddress(QStringLiteral("00:1D:C1:00:00:01"), true), "00:1D:C1:00:00:01"),
         QStringLiteral("MAC address, Dante reference")},
        {mnemonicOf(C::ledCycleToggle(), ""), QStringLiteral("LED cycle inhibit toggle")},
        {mnemonicOf(C::redetectUltimo(), ""), QStringLiteral("Ultimo redetection")},
        {mnemonicOf(C::clearPowerCycleCounter(), "1"), QStringLiteral("clear power cycle counter")},
        {mnemonicOf(C::ledIntensity(55), "55"), QStringLiteral("LED intensity")},
        {mnemonicOf(C::linkStart(), "1"), QStringLiteral("manual link: start")},
        {mnemonicOf(C::stationName(QStringLiteral("x")), "x"), QStringLiteral("manual link: station name")},
        {mnemonicOf(C::danteName(QStringLiteral("x")), "x"), QStringLiteral("manual link: Dante name")},
        {mnemonicOf(C::linkAddresses(sevenAddresses, 4012), linkArgument),
         QStringLiteral("manual link: addresses and link port")},
    };
}

QList<ResultCode> resultCodes()
{
    QList<ResultCode> codes;
    for (int n = 0; n < 100; ++n) {
        const QString code = QStringLiteral("E%1").arg(n, 2, 10, QLatin1Char('0'));
        const QString text = ResultCodes::failureText(code);
        if (!text.isEmpty())
            codes.append({code, text, ResultCodes::marksFirmwareUnsupported(code)});
    }
    return codes;
}

QString layoutCoverageError()
{
    int next = L::HeaderSize;
    for (const StatusField &entry : statusFields()) {
        if (entry.field.offset != next)
            return QStringLiteral("%1 starts at %2, expected %3").arg(QLatin1String(entry.name)).arg(entry.field.offset).arg(next);
        next = entry.field.end();
    }
    if (next != L::FeatureReplySize)
        return QStringLiteral("the fields end at %1, the longest reply at %2").arg(next).arg(L::FeatureReplySize);
    return QString();
}

} // namespace DissectorTables
