#include "monitor/detailsreport.h"

#include <QtTest>
#include <QTextDocument>

#include <map>

// The details report as HTML: row order, labels, value formats, which rows
// are drawn with the attention prefix, and unit texts kept out of the markup.
namespace {

const QString PlainPrefix = QStringLiteral("<tr><td>");
const QString RedPrefix = QStringLiteral("<tr style=\"color: red;\"><td>");

struct Row
{
    QString open;  // everything up to and including the first <td>
    QString label; // first cell
    QString value; // second cell, empty for heading rows
    bool bold = false;
};

QList<Row> rowsOf(const QString &html)
{
    QList<Row> rows;
    QRegularExpression row(QStringLiteral("(<tr[^>]*><td>)(.*?)</td>(?:<td( style=\"font-weight: bold;\")?>(.*?)</td>)?</tr>"));
    auto it = row.globalMatch(html);
    while (it.hasNext()) {
        const auto m = it.next();
        rows.append({m.captured(1), m.captured(2), m.captured(4), !m.captured(3).isEmpty()});
    }
    return rows;
}

// The row with `label`; `occurrence` 1 picks the Control Info row of a label
// that both sections use.
Row rowOf(const QString &html, const QString &label, int occurrence = 0)
{
    int seen = 0;
    for (const Row &r : rowsOf(html)) {
        if (r.label == label && seen++ == occurrence)
            return r;
    }
    return {};
}

// A unit with nothing wrong, all fields set to something recognisable.
UnitStatus healthyUnit()
{
    UnitStatus s;
    s.bootloaderVersion = {1, 0, 4};
    s.danteFirmwareVersion = {4, 1, 2, 1};
    s.danteImageProduct = QStringLiteral("HALVO");
    s.danteChipModel = QStringLiteral("UltimoX2");
    s.danteName = QStringLiteral("HV-ABCDEF");
    s.danteMacText = QStringLiteral("00:1D:C1:AB:CD:EF");
    s.danteIp = 0xC0A80032;          // 192.168.0.50
    s.danteSubnetMask = 0xFFFFFF00;  // 255.255.255.0
    s.danteGateway = 0xC0A80001;     // 192.168.0.1
    s.danteIpMode = 1;
    s.ultimoBusOnline = true;
    s.controlMacText = QStringLiteral("02:4B:7D:00:12:34");
    s.controlIpCurrent = 0xC0A800FE; // 192.168.0.254
    s.controlIpStored = 0xC0A800FD;  // 192.168.0.253
    s.controlSubnetMask = 0xFFFF0000;
    s.controlGateway = 0xC0A80002;
    s.localPort = 2638;
    s.qsysCoreIp = 0xC0A8000A;
    s.qsysCorePort = 4099;
    s.stationId = 12;
    s.defaultGroup = 2;
    s.groupRevertSeconds = 30;
    s.qsysPingIntervalSeconds = 5;
    s.qsysPingTimeoutSeconds = 15;
    s.kiroLinkTimeoutSeconds = 60;
    s.ledIntensity = 100;
    s.powerCycleCount = 4000000000u;
    s.localName = QStringLiteral("Lobby-001234");
    return s;
}

DetailsReport::Options options(bool privateMode, bool ultimoXModel = true)
{
    DetailsReport::Options o;
    o.privateMode = privateMode;
    o.ultimoXModel = ultimoXModel;
    o.rowPrefix = privateMode ? RedPrefix : PlainPrefix;
    return o;
}

const std::map<QString, bool UnitStatus::*> DerivedChecks = {
    {QStringLiteral("danteNameMismatch"), &UnitStatus::danteNameMismatch},
    {QStringLiteral("danteStaticConfig"), &UnitStatus::danteStaticConfig},
    {QStringLiteral("controlStaticConfig"), &UnitStatus::controlStaticConfig},
    {QStringLiteral("controlIpNotFactory"), &UnitStatus::controlIpNotFactory},
    {QStringLiteral("qsysPortUnexpected"), &UnitStatus::qsysPortUnexpected},
    {QStringLiteral("localNameMismatch"), &UnitStatus::localNameMismatch},
};

} // namespace

class TestDetailsReport : public QObject
{
    Q_OBJECT

private slots:
    void rowOrder_data();
    void rowOrder();
    void valueFormats_data();
    void valueFormats();
    void macCellsAreBold();
    void highlight_data();
    void highlight();
    void modelNotApplicableIsNeverHighlighted();
    void unitTextsAreEscaped_data();
    void unitTextsAreEscaped();
    void shortBlock();
    void versionText();
};

void TestDetailsReport::rowOrder_data()
{
    QTest::addColumn<bool>("privateMode");
    QTest::newRow("public") << false;
    QTest::newRow("private") << true;
}

void TestDetailsReport::rowOrder()
{
    QFETCH(bool, privateMode);
    const QString html = DetailsReport::fullReport(healthyUnit(), options(privateMode));
    QVERIFY(html.startsWith(QStringLiteral("<table width=\"100%\"><tr><td><font color=\"blue\">Dante Info:</font></td></tr>")));
    QVERIFY(html.endsWith(QStringLiteral("</td></tr></table>")));

    QStringList expected = {
        "<font color=\"blue\">Dante Info:</font>", "Dante Firmware:", "Model:", "Dante Name:",
        "DHCP Enabled:", "Using Static IP:", "MAC:", "IP (Current/Stored):", "Subnet Mask (C/S):",
        "Gateway (C/S):", "Ultimo Bus:", "&nbsp;", "<font color=\"blue\">Control Info:</font>",
        "DHCP Enabled:", "Using Static IP:", "MAC:", "IP (Current/Stored):", "Subnet Mask:", "Gateway:",
        "Local Port:", "QSYS Core Linked:", "QSYS Core IP:", "QSYS Core Port:", "Station ID:",
        "Default Group:", "Default Group Revert Timer:", "QSYS Ping Interval:", "QSYS Ping Timeout:",
        "Kiro Link Timeout:", "LED Intensity:", "Power Cycle Counter:", "Local Name:"};
    if (!privateMode)
        expected.removeAll(QStringLiteral("Power Cycle Counter:"));
    QStringList labels;
    for (const Row &r : rowsOf(html))
        labels << r.label;
    QCOMPARE(labels, expected);
}

void TestDetailsReport::valueFormats_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<QString>("value");

    QTest::newRow("healthy dante firmware") << "" << 0 << "Dante Firmware:" << 0 << "v4.1.2.1";
    QTest::newRow("image version before firmware") << "image 1.0.3" << 0 << "Dante Firmware:" << 0 << "v1.0.3/v4.1.2.1";
    QTest::newRow("model with chip") << "" << 0 << "Model:" << 0 << "HALVO [UltimoX2]";
    QTest::newRow("dante dhcp on") << "" << 0 << "DHCP Enabled:" << 0 << "Enabled";
    QTest::newRow("dante dhcp off") << "networkStatus" << 0x10 << "DHCP Enabled:" << 0 << "Disabled";
    QTest::newRow("dante dhcp off is not control's") << "networkStatus" << 0x10 << "DHCP Enabled:" << 1 << "Enabled";
    QTest::newRow("ip mode not reported") << "danteIpMode" << 0 << "Using Static IP:" << 0 << "";
    QTest::newRow("ip mode static") << "danteIpMode" << 4 << "Using Static IP:" << 0 << "Yes";
    QTest::newRow("ip mode other") << "danteIpMode" << 2 << "Using Static IP:" << 0 << "No";
    QTest::newRow("dante ip, stored not in reply") << "" << 0 << "IP (Current/Stored):" << 0 << "192.168.0.50/not reported";
    QTest::newRow("dante mask") << "" << 0 << "Subnet Mask (C/S):" << 0 << "255.255.255.0";
    QTest::newRow("dante gateway") << "" << 0 << "Gateway (C/S):" << 0 << "192.168.0.1";
    QTest::newRow("bus online") << "" << 0 << "Ultimo Bus:" << 0 << "Online";
    QTest::newRow("bus offline required") << "bus offline required" << 0 << "Ultimo Bus:" << 0 << "Offline [Required]";
    QTest::newRow("control dhcp") << "" << 0 << "DHCP Enabled:" << 1 << "Enabled";
    QTest::newRow("control static") << "networkStatus" << 0x02 << "DHCP Enabled:" << 1 << "Disabled";
    QTest::newRow("control static ip") << "networkStatus" << 0x02 << "Using Static IP:" << 1 << "Yes";
    QTest::newRow("control dynamic ip") << "" << 0 << "Using Static IP:" << 1 << "No";
    QTest::newRow("control ip pair") << "" << 0 << "IP (Current/Stored):" << 1 << "192.168.0.254/192.168.0.253";
    QTest::newRow("control mask") << "" << 0 << "Subnet Mask:" << 0 << "255.255.0.0";
    QTest::newRow("local port") << "" << 0 << "Local Port:" << 0 << "2638";
    QTest::newRow("core not linked") << "" << 0 << "QSYS Core Linked:" << 0 << "No";
    QTest::newRow("core linked") << "networkStatus" << 0x04 << "QSYS Core Linked:" << 0 << "Yes";
    QTest::newRow("core ip") << "" << 0 << "QSYS Core IP:" << 0 << "192.168.0.10";
    QTest::newRow("core port") << "" << 0 << "QSYS Core Port:" << 0 << "4099";
    QTest::newRow("station id") << "" << 0 << "Station ID:" << 0 << "12";
    QTest::newRow("group is one-based") << "defaultGroup" << 0 << "Default Group:" << 0 << "1";
    QTest::newRow("group 255") << "defaultGroup" << 255 << "Default Group:" << 0 << "256";
    QTest::newRow("revert disabled") << "groupRevertSeconds" << 0 << "Default Group Revert Timer:" << 0 << "0s (disabled)";
    QTest::newRow("revert 30") << "" << 0 << "Default Group Revert Timer:" << 0 << "30s";
    QTest::newRow("ping interval") << "" << 0 << "QSYS Ping Interval:" << 0 << "5s";
    QTest::newRow("ping timeout") << "" << 0 << "QSYS Ping Timeout:" << 0 << "15s";
    QTest::newRow("kiro timeout") << "" << 0 << "Kiro Link Timeout:" << 0 << "60s";
    QTest::newRow("kiro 65535") << "kiro" << 65535 << "Kiro Link Timeout:" << 0 << "65535s";
    QTest::newRow("intensity") << "ledIntensity" << 75 << "LED Intensity:" << 0 << "75%";
    QTest::newRow("power cycles beyond int") << "" << 0 << "Power Cycle Counter:" << 0 << "4000000000";
    QTest::newRow("local name") << "" << 0 << "Local Name:" << 0 << "Lobby-001234";
}

void TestDetailsReport::valueFormats()
{
    QFETCH(QString, field);
    QFETCH(int, number);
    QFETCH(QString, label);
    QFETCH(int, occurrence);
    QFETCH(QString, value);

    UnitStatus s = healthyUnit();
    if (field == "image 1.0.3")
        s.danteImageVersion = {1, 0, 3};
    else if (field == "networkStatus")
        s.networkStatus = quint8(number);
    else if (field == "danteIpMode")
        s.danteIpMode = quint8(number);
    else if (field == "bus offline required")
        s.ultimoBusOnline = false, s.ultimoBusRequired = true;
    else if (field == "defaultGroup")
        s.defaultGroup = quint8(number);
    else if (field == "groupRevertSeconds")
        s.groupRevertSeconds = quint16(number);
    else if (field == "kiro")
        s.kiroLinkTimeoutSeconds = quint16(number);
    else if (field == "ledIntensity")
        s.ledIntensity = quint8(number);

    const QString html = DetailsReport::fullReport(s, options(true));
    const Row row = rowOf(html, label, occurrence);
    QCOMPARE(row.label, label);
    QCOMPARE(row.value, value);
}

void TestDetailsReport::macCellsAreBold()
{
    const QString html = DetailsReport::fullReport(healthyUnit(), options(false));
    int bold = 0;
    for (const Row &r : rowsOf(html)) {
        QCOMPARE(r.bold, r.label == QLatin1String("MAC:"));
        bold += r.bold;
    }
    QCOMPARE(bold, 2);
    QCOMPARE(rowOf(html, "MAC:", 0).value, QStringLiteral("00:1D:C1:AB:CD:EF"));
    QCOMPARE(rowOf(html, "MAC:", 1).value, QStringLiteral("02:4B:7D:00:12:34"));
}

void TestDetailsReport::highlight_data()
{
    QTest::addColumn<int>("condition");
    QTest::addColumn<QString>("derived");
    QTest::addColumn<QStringList>("highlighted"); // label#occurrence

    QTest::newRow("ultimo firmware") << int(UltimoFirmwareOutdated) << "" << QStringList{"Dante Firmware:#0"};
    QTest::newRow("ultimox firmware") << int(UltimoXFirmwareOutdated) << "" << QStringList{"Dante Firmware:#0"};
    QTest::newRow("image mismatch") << int(DanteImageMismatch) << "" << QStringList{"Model:#0"};
    QTest::newRow("dante name") << 0 << "danteNameMismatch" << QStringList{"Dante Name:#0"};
    QTest::newRow("dante static") << 0 << "danteStaticConfig" << QStringList{"DHCP Enabled:#0", "Using Static IP:#0"};
    QTest::newRow("dante mac") << int(DanteMacInvalid) << "" << QStringList{"MAC:#0"};
    QTest::newRow("bus required") << int(UltimoBusRequiredOffline) << "" << QStringList{"Ultimo Bus:#0"};
    QTest::newRow("control static") << 0 << "controlStaticConfig" << QStringList{"DHCP Enabled:#1", "Using Static IP:#1"};
    QTest::newRow("control mac") << int(ControlMacInvalid) << "" << QStringList{"MAC:#1"};
    QTest::newRow("control ip") << 0 << "controlIpNotFactory" << QStringList{"IP (Current/Stored):#1"};
    QTest::newRow("qsys port") << 0 << "qsysPortUnexpected" << QStringList{"QSYS Core Port:#0"};
    QTest::newRow("intensity") << int(LedIntensityLow) << "" << QStringList{"LED Intensity:#0"};
    QTest::newRow("local name") << 0 << "localNameMismatch" << QStringList{"Local Name:#0"};
    // Bits that have no row of their own colour nothing.
    QTest::newRow("other bits") << int(FirmwareUnsupported | DataTruncated | UnitErrorReported | ModelInvalid
                                       | SettingsNotDefault | DipSwitchesNotOff | FirmwareUpdateRequired
                                       | BootloaderOutdated | CompatibilityAssemblyOnUltimoX)
                                << "" << QStringList{};
}

void TestDetailsReport::highlight()
{
    QFETCH(int, condition);
    QFETCH(QString, derived);
    QFETCH(QStringList, highlighted);

    UnitStatus s = healthyUnit();
    s.conditionFlags = quint16(condition);
    if (!derived.isEmpty())
        s.*DerivedChecks.at(derived) = true;

    // In private mode exactly the named rows open with the red prefix.
    QStringList red;
    QMap<QString, int> seen;
    for (const Row &r : rowsOf(DetailsReport::fullReport(s, options(true)))) {
        const QString key = r.label + QStringLiteral("#") + QString::number(seen[r.label]++);
        if (r.open == RedPrefix)
            red << key;
        else
            QCOMPARE(r.open, PlainPrefix);
    }
    QCOMPARE(red, highlighted);

    // Outside private mode the same report has no trace of the highlight.
    for (const Row &r : rowsOf(DetailsReport::fullReport(s, options(false))))
        QCOMPARE(r.open, PlainPrefix);
}

void TestDetailsReport::modelNotApplicableIsNeverHighlighted()
{
    UnitStatus s = healthyUnit();
    s.ultimoBusOnline = false;
    s.conditionFlags = DanteImageMismatch;
    const Row model = rowOf(DetailsReport::fullReport(s, options(true, false)), "Model:");
    QCOMPARE(model.value, QStringLiteral("N/A"));
    QCOMPARE(model.open, PlainPrefix);

    // The bus online is enough for the model to be shown.
    s.ultimoBusOnline = true;
    const Row shown = rowOf(DetailsReport::fullReport(s, options(true, false)), "Model:");
    QCOMPARE(shown.value, QStringLiteral("HALVO [UltimoX2]"));
    QCOMPARE(shown.open, RedPrefix);
}

void TestDetailsReport::unitTextsAreEscaped_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("inHtml");
    QTest::newRow("plain name unchanged") << "HV-4K-00ab12" << "HV-4K-00ab12";
    QTest::newRow("angle brackets") << "<b>x</b>" << "&lt;b&gt;x&lt;/b&gt;";
    QTest::newRow("ampersand") << "R&D" << "R&amp;D";
    QTest::newRow("row breaker") << "a</td></tr></table>" << "a&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;";
    QTest::newRow("quote") << "say \"hi\"" << "say &quot;hi&quot;";
}

void TestDetailsReport::unitTextsAreEscaped()
{
    QFETCH(QString, text);
    QFETCH(QString, inHtml);

    UnitStatus s = healthyUnit();
    s.danteName = text;
    s.localName = text;
    s.danteImageProduct = text;
    s.danteChipModel = text;
    const QString html = DetailsReport::fullReport(s, options(true));
    QCOMPARE(rowOf(html, "Dante Name:").value, inHtml);
    QCOMPARE(rowOf(html, "Local Name:").value, inHtml);
    QCOMPARE(rowOf(html, "Model:").value, inHtml + " [" + inHtml + "]");

    // Rendered, the table keeps its rows and shows the text as sent.
    QTextDocument document;
    document.setHtml(html);
    QVERIFY(document.toPlainText().contains(text + " [" + text + "]"));
    QVERIFY(document.toPlainText().contains(QStringLiteral("Local Name:")));
    QCOMPARE(rowsOf(html).size(), 32);
}

void TestDetailsReport::shortBlock()
{
    QCOMPARE(DetailsReport::shortBlockReport(208, RedPrefix),
             QStringLiteral("<table width=\"100%\"><tr style=\"color: red;\"><td>Received:</td><td>208 bytes</td></tr>"));
    QCOMPARE(DetailsReport::shortBlockReport(0, PlainPrefix),
             QStringLiteral("<table width=\"100%\"><tr><td>Received:</td><td>0 bytes</td></tr>"));
}

void TestDetailsReport::versionText()
{
    QCOMPARE(DetailsReport::versionText("HV4K v2.09", {1, 0, 4}), QStringLiteral("HV4K v2.09  BL v1.0.4"));
    QCOMPARE(DetailsReport::versionText("TK32K v2.12\r\n", {1, 10, 255}), QStringLiteral("TK32K v2.12  BL v1.10.255"));
    QCOMPARE(DetailsReport::versionText("HV4K v1.10\r"), QStringLiteral("HV4K v1.10"));
}

QTEST_GUILESS_MAIN(TestDetailsReport)
#include "tst_detailsreport.moc"
