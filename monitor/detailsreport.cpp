#include "monitor/detailsreport.h"

#include "channel/addresstext.h"
#include "channel/windowtext.h"

namespace DetailsReport {

namespace {

const QString PlainRow = QStringLiteral("<tr><td>");
const QString ValueCell = QStringLiteral("</td><td>");
const QString BoldValueCell = QStringLiteral("</td><td style=\"font-weight: bold;\">");
const QString RowEnd = QStringLiteral("</td></tr>");

class Table
{
public:
    explicit Table(const QString &rowPrefix) : m_rowPrefix(rowPrefix) {}

    void row(const char *label, const QString &value, bool highlighted = false)
    {
        m_html += open(highlighted) + windowText(label) + ValueCell + value + RowEnd;
    }
    void boldRow(const char *label, const QString &value, bool highlighted)
    {
        m_html += open(highlighted) + windowText(label) + BoldValueCell + value + RowEnd;
    }
    void heading(const char *title)
    {
        m_html += PlainRow + QStringLiteral("<font color=\"blue\">") + windowText(title)
                  + QStringLiteral("</font>") + RowEnd;
    }
    void spacer() { m_html += PlainRow + QStringLiteral("&nbsp;") + RowEnd; }
    QString html() const { return m_html; }

private:
    QString open(bool highlighted) const { return highlighted ? m_rowPrefix : PlainRow; }

    const QString m_rowPrefix;
    QString m_html = QStringLiteral("<table width=\"100%\">");
};

QString unitText(const QString &text)
{
    return text.toHtmlEscaped();
}

QString yesNo(bool yes)
{
    return yes ? windowText("Yes") : windowText("No");
}

QString dhcpText(bool dhcpOff)
{
    return dhcpOff ? windowText("Disabled") : windowText("Enabled");
}

QString danteFirmwareText(const UnitStatus &s)
{
    QString text;
    const auto &image = s.danteImageVersion;
    if (image[0] != 0)
        text = QString::asprintf("v%.1d.%.1d.%.1d/", image[0], image[1], image[2]);
    const auto &firmware = s.danteFirmwareVersion;
    return text + QString::asprintf("v%.1d.%.1d.%.1d.%.1d", firmware[0], firmware[1], firmware[2],
                                    firmware[3]);
}

QString danteIpModeText(quint8 mode)
{
    if (mode == 0)
        return QString();
    return yesNo(mode == 4);
}

QString ultimoBusText(const UnitStatus &s)
{
    QString text = s.ultimoBusOnline ? windowText("Online") : windowText("Offline");
    if (s.ultimoBusRequired)
        text += windowText(" [Required]");
    return text;
}

void addDanteRows(Table &table, const UnitStatus &s, bool ultimoXModel)
{
    const bool danteStatic = s.danteStaticConfig;
    table.heading("Dante Info:");
    table.row("Dante Firmware:", danteFirmwareText(s),
              s.hasCondition(UltimoFirmwareOutdated) || s.hasCondition(UltimoXFirmwareOutdated));
    if (!ultimoXModel && !s.ultimoBusOnline)
        table.row("Model:", windowText("N/A"));
    else
        table.row("Model:",
                  unitText(s.danteImageProduct) + QStringLiteral(" [") + unitText(s.danteChipModel)
                      + QStringLiteral("]"),
                  s.hasCondition(DanteImageMismatch));
    table.row("Dante Name:", unitText(s.danteName), s.danteNameMismatch);
    table.row("DHCP Enabled:", dhcpText(s.networkStatus & DanteDhcpOff), danteStatic);
    table.row("Using Static IP:", danteIpModeText(s.danteIpMode), danteStatic);
    table.boldRow("MAC:", s.danteMacText, s.hasCondition(DanteMacInvalid));
    // The reply carries only the Dante address in use; the stored one is not
    // part of it, so the second half says so instead of repeating the first.
    table.row("IP (Current/Stored):", AddressText::ipv4(s.danteIp) + QStringLiteral("/") + windowText("not reported"));
    table.row("Subnet Mask (C/S):", AddressText::ipv4(s.danteSubnetMask));
    table.row("Gateway (C/S):", AddressText::ipv4(s.danteGateway));
    table.row("Ultimo Bus:", ultimoBusText(s), s.hasCondition(UltimoBusRequiredOffline));
}

void addControlRows(Table &table, const UnitStatus &s, bool privateMode)
{
    const bool controlStatic = s.networkStatus & ControlStaticAddress;
    table.spacer();
    table.heading("Control Info:");
    table.row("DHCP Enabled:", dhcpText(controlStatic), s.controlStaticConfig);
    table.row("Using Static IP:", yesNo(controlStatic), s.controlStaticConfig);
    table.boldRow("MAC:", s.controlMacText, s.hasCondition(ControlMacInvalid));
    table.row("IP (Current/Stored):",
              AddressText::ipv4(s.controlIpCurrent) + QStringLiteral("/") + AddressText::ipv4(s.controlIpStored),
              s.controlIpNotFactory);
    table.row("Subnet Mask:", AddressText::ipv4(s.controlSubnetMask));
    table.row("Gateway:", AddressText::ipv4(s.controlGateway));
    table.row("Local Port:", QString::number(s.localPort));
    table.row("QSYS Core Linked:", yesNo(s.networkStatus & QsysCoreLinked));
    table.row("QSYS Core IP:", AddressText::ipv4(s.qsysCoreIp));
    table.row("QSYS Core Port:", QString::number(s.qsysCorePort), s.qsysPortUnexpected);
    table.row("Station ID:", QString::number(s.stationId));
    table.row("Default Group:", QString::number(s.defaultGroup + 1));
    table.row("Default Group Revert Timer:", timerText(s.groupRevertSeconds));
    table.row("QSYS Ping Interval:", timerText(s.qsysPingIntervalSeconds));
    table.row("QSYS Ping Timeout:", timerText(s.qsysPingTimeoutSeconds));
    table.row("Kiro Link Timeout:", timerText(s.kiroLinkTimeoutSeconds));
    table.row("LED Intensity:", QString::asprintf("%d%%", s.ledIntensity), s.hasCondition(LedIntensityLow));
    if (privateMode)
        table.row("Power Cycle Counter:", QString::number(s.powerCycleCount));
    table.row("Local Name:", unitText(s.localName), s.localNameMismatch);
}

} // namespace

QString fullReport(const UnitStatus &status, const Options &options)
{
    Table table(options.rowPrefix);
    addDanteRows(table, status, options.ultimoXModel);
    addControlRows(table, status, options.privateMode);
    return table.html() + QStringLiteral("</table>");
}

QString shortBlockReport(int blockLength, const QString &rowPrefix)
{
    return QStringLiteral("<table width=\"100%\">") + rowPrefix + windowText("Received:") + ValueCell
           + windowText("%1 bytes").arg(blockLength) + RowEnd;
}

QString versionText(const QString &header)
{
    QString text = header;
    text.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    return text;
}

QString versionText(const QString &header, const std::array<quint8, 3> &bootloaderVersion)
{
    return versionText(header) + QStringLiteral("  BL ")
           + QString::asprintf("v%.1d.%.1d.%.1d", bootloaderVersion[0], bootloaderVersion[1],
                               bootloaderVersion[2]);
}

QString timerText(quint16 seconds)
{
    return QString::asprintf("%ds", seconds) + (seconds == 0 ? windowText(" (disabled)") : QString());
}

} // namespace DetailsReport
