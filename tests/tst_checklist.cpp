#include "monitor/checklist.h"

#include <QtTest>

// The readiness checklist: each line and its variants, their order, and the
// colour the details box takes.
namespace {

constexpr quint32 LinkLocal = (169u << 24) | (254u << 16) | (12u << 8) | 7u; // 169.254.12.7
constexpr quint32 Routable = (192u << 24) | (168u << 16) | 50u;             // 192.168.0.50
constexpr quint32 NearLinkLocal = (169u << 24) | (253u << 16) | 1u;          // 169.253.0.1

const char *const Verify =
    "-PLEASE VERIFY USING DANTE CONTROLLER THE PROPER ULTIMO IMAGE FILE IS PROGRAMMED FOR THIS PRODUCT\n";

} // namespace

class TestChecklist : public QObject
{
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
    void fullOrder();
    void display_data();
    void display();
};

void TestChecklist::lines_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("assembly");
    QTest::addColumn<bool>("ultimoXModel");
    QTest::addColumn<bool>("busOnline");
    QTest::addColumn<QString>("imageProduct");
    QTest::addColumn<quint32>("danteIp");
    QTest::addColumn<int>("errorCode");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing open") << 0 << 2 << true << true << "HALVO" << Routable << 0 << "";
    QTest::newRow("unsupported") << 0x0001 << 2 << true << true << "HALVO" << Routable << 0
                                 << "-THIS FIRMWARE VERSION DOESN'T SUPPORT HV/TK UTILITIES.  PLEASE UPDATE TO THE LATEST.\n";
    QTest::newRow("truncated") << 0x0002 << 2 << true << true << "HALVO" << Routable << 0
                               << "-DATA IS TRUNCATED? PLEASE ENSURE EVERYTHING IS THE LATEST VERSION.\n";
    QTest::newRow("model") << 0x0020 << 10 << false << false << "" << 0u << 0 << "-INVALID MODEL PROGRAMMED.\n";
    QTest::newRow("bus required") << 0x4000 << 2 << true << false << "HALVO" << Routable << 0
                                  << "-DO NOT UPDATE ULTIMO IN THIS STATE.  SEE NOTES.\n";
    QTest::newRow("firmware") << 0x0200 << 2 << true << true << "HALVO" << Routable << 0
                              << "-FIRMWARE v1.15+/2.09+ REQUIRED.\n";
    QTest::newRow("bootloader") << 0x0400 << 2 << true << true << "HALVO" << Routable << 0
                                << "-BOOTLOADER v1.0.04+ REQUIRED.\n";
    QTest::newRow("chip unknown") << 0x1800 << 2 << true << true << "HALVO" << LinkLocal << 0
                                  << "-WAITING FOR ULTIMO CHIP MODEL.\n";
    QTest::newRow("ultimo") << 0x0800 << 0 << false << true << "HALVO" << Routable << 0
                            << "-ULTIMO FIRMWARE V3.10.4.1+ REQUIRED.\n";
    QTest::newRow("ultimo link-local") << 0x0800 << 0 << false << true << "HALVO" << LinkLocal << 0
                                       << "-ULTIMO FIRMWARE V3.10.4.1+ REQUIRED.  NO DHCP SERVER DETECTED [NEEDED FOR DANTE UPDATE].\n";
    QTest::newRow("ultimo 169.253") << 0x0800 << 0 << false << true << "HALVO" << NearLinkLocal << 0
                                    << "-ULTIMO FIRMWARE V3.10.4.1+ REQUIRED.\n";
    QTest::newRow("ultimox") << 0x1000 << 2 << true << true << "HALVO" << Routable << 0
                             << "-ULTIMOX FIRMWARE V4.1.2.1+ REQUIRED.\n";
    QTest::newRow("ultimox link-local") << 0x1000 << 2 << true << true << "HALVO" << LinkLocal << 0
                                        << "-ULTIMOX FIRMWARE V4.1.2.1+ REQUIRED.  NO DHCP SERVER DETECTED [NEEDED FOR DANTE UPDATE].\n";
    QTest::newRow("compat HV4") << 0x8000 << 0 << false << true << "HALVO" << Routable << 0
                                << "-CANNOT USE COMPATIBILITY ASSEMBLY CODE FOR ULTIMOX UNITS. CHANGE HV4 -> HV4X or HV4K\n";
    QTest::newRow("compat HV16") << 0x8000 << 4 << false << true << "HALVO" << Routable << 0
                                 << "-CANNOT USE COMPATIBILITY ASSEMBLY CODE FOR ULTIMOX UNITS. CHANGE HV16 -> HV16K\n";
    QTest::newRow("compat other") << 0x8000 << 5 << true << true << "HALVO" << Routable << 0
                                  << "-CANNOT USE COMPATIBILITY ASSEMBLY CODE FOR ULTIMOX UNITS.\n";
    QTest::newRow("image verify") << 0x2000 << 0 << false << false << "TESK" << Routable << 0 << Verify;
    QTest::newRow("image waiting") << 0x2000 << 2 << true << true << "" << Routable << 0
                                   << "-WAITING FOR ULTIMO IMAGE FILE INFORMATION\n";
    QTest::newRow("image waiting, bus online") << 0x2000 << 0 << false << true << "" << Routable << 0
                                               << "-WAITING FOR ULTIMO IMAGE FILE INFORMATION\n";
    QTest::newRow("image invalid") << 0x2000 << 2 << true << false << "TESK" << Routable << 0
                                   << "-INVALID ULTIMO IMAGE FILE PROGRAMMED FOR THIS PRODUCT [HALVO DNT -> TK OR TESK DNT -> HV]\n";
    QTest::newRow("error 10") << 0x0010 << 2 << true << true << "HALVO" << Routable << 10
                              << "-INTERNAL ERROR CODE [0x0A].  RESET TO DEFAULTS AND SEE IF THE ERROR COMES BACK.  IF IT DOES, REPORT TO ORLAN.\n";
    QTest::newRow("error 255") << 0x0010 << 2 << true << true << "HALVO" << Routable << 255
                               << "-INTERNAL ERROR CODE [0xFF].  RESET TO DEFAULTS AND SEE IF THE ERROR COMES BACK.  IF IT DOES, REPORT TO ORLAN.\n";
    QTest::newRow("control mac") << 0x0008 << 2 << true << true << "HALVO" << Routable << 0
                                 << "-INVALID/DEFAULT MAC ADDRESS PROGRAMMED.  PLEASE ASSIGN NEW FROM THE MASTER LIST.\n";
    QTest::newRow("dante mac program") << 0x0004 << 4 << false << false << "HALVO" << Routable << 0
                                       << "-VALID DANTE MAC REFERENCE MUST BE PROGRAMMED.\n";
    QTest::newRow("dante mac waiting") << 0x0004 << 6 << true << false << "HALVO" << Routable << 0
                                       << "-WAITING FOR VALID DANTE MAC REFERENCE.  IF ERROR PERSISTS AFTER REBOOT, CONTACT ORLAN.\n";
    QTest::newRow("settings") << 0x0040 << 2 << true << true << "HALVO" << Routable << 0
                              << "-SETTINGS NOT AT FACTORY DEFAULTS.\n";
    QTest::newRow("intensity") << 0x0100 << 2 << true << true << "HALVO" << Routable << 0
                               << "-LED INTENSITY NOT AT 100%\n";
    QTest::newRow("dip switches") << 0x0080 << 2 << true << true << "HALVO" << Routable << 0
                                  << "-ALL DIP SWITCHES MUST BE SET TO OFF (UP).\n";
}

void TestChecklist::lines()
{
    QFETCH(int, flags);
    QFETCH(int, assembly);
    QFETCH(bool, ultimoXModel);
    QFETCH(bool, busOnline);
    QFETCH(QString, imageProduct);
    QFETCH(quint32, danteIp);
    QFETCH(int, errorCode);
    QFETCH(QString, expected);

    UnitStatus s;
    s.conditionFlags = quint16(flags);
    s.ultimoBusOnline = busOnline;
    s.danteImageProduct = imageProduct;
    s.danteIp = danteIp;
    s.unitErrorCode = quint8(errorCode);
    QCOMPARE(Checklist::text(s, {assembly, ultimoXModel}), expected);
}

void TestChecklist::fullOrder()
{
    // Every bit but the UltimoX one (which with the Ultimo bit means an
    // unknown chip): all lines, each once, in the fixed order.
    UnitStatus s;
    s.conditionFlags = 0xFFFF & ~UltimoXFirmwareOutdated;
    s.unitErrorCode = 0x3C;
    s.danteIp = LinkLocal;
    s.danteImageProduct = QStringLiteral("TESK");
    s.ultimoBusOnline = true;
    const QStringList lines = Checklist::text(s, {4, true}).split('\n');
    const QStringList starts = {"-THIS FIRMWARE", "-DATA IS TRUNCATED", "-INVALID MODEL", "-DO NOT UPDATE ULTIMO",
                                "-FIRMWARE v1.15+", "-BOOTLOADER", "-ULTIMO FIRMWARE", "-CANNOT USE COMPATIBILITY",
                                "-INVALID ULTIMO IMAGE", "-INTERNAL ERROR CODE [0x3C]", "-INVALID/DEFAULT MAC",
                                "-WAITING FOR VALID DANTE MAC", "-SETTINGS NOT", "-LED INTENSITY", "-ALL DIP SWITCHES",
                                ""};
    QCOMPARE(lines.size(), starts.size());
    for (int i = 0; i < starts.size(); ++i)
        QVERIFY2(lines[i].startsWith(starts[i]), qPrintable(lines[i]));
    QVERIFY(lines[6].endsWith("[NEEDED FOR DANTE UPDATE]."));
    QVERIFY(lines[7].endsWith("CHANGE HV16 -> HV16K"));
}

void TestChecklist::display_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("ultimoXModel");
    QTest::addColumn<bool>("busOnline");
    QTest::addColumn<bool>("online");
    QTest::addColumn<bool>("privateMode");
    QTest::addColumn<bool>("statusRead");
    QTest::addColumn<bool>("touch");
    QTest::addColumn<QString>("text"); // "*" stands for the checklist itself
    QTest::addColumn<QString>("style");

    const QString none = "QTextEdit { background-color: }";
    const QString yellow = "QTextEdit { background-color : #ffffb2 }";
    const QString red = "QTextEdit { background-color : #ffb2b2 }";
    const QString green = "QTextEdit { background-color : #b2ffb2 }";

    QTest::newRow("offline, open conditions") << 0x0100 << true << true << false << true << true << true << "" << none;
    QTest::newRow("offline, public") << 0x0100 << true << true << false << false << true << true << "" << none;
    QTest::newRow("online public") << 0x0100 << true << true << true << false << true << false << "" << "";
    QTest::newRow("nothing open") << 0 << true << true << true << true << true << true
                                  << "No issues found.  Release ready." << green;
    // Nothing open, but no complete status reply was read: no verdict.
    QTest::newRow("nothing open, no status read") << 0 << true << true << true << true << false << true
                                                  << "-WAITING FOR A COMPLETE STATUS REPLY.\n" << red;
    QTest::newRow("open condition, no status read") << 0x0001 << true << true << true << true << false
                                                    << true << "*" << red;
    QTest::newRow("one open condition") << 0x0100 << true << true << true << true << true << true << "*" << red;
    QTest::newRow("only verify image") << 0x2000 << false << false << true << true << true << true << "*" << yellow;
    QTest::newRow("verify image and intensity") << 0x2100 << false << false << true << true << true << true << "*" << red;
    QTest::newRow("image invalid on ultimox") << 0x2000 << true << false << true << true << true << true << "*" << red;
    QTest::newRow("image invalid, bus online") << 0x2000 << false << true << true << true << true << true << "*" << red;
}

void TestChecklist::display()
{
    QFETCH(int, flags);
    QFETCH(bool, ultimoXModel);
    QFETCH(bool, busOnline);
    QFETCH(bool, online);
    QFETCH(bool, privateMode);
    QFETCH(bool, statusRead);
    QFETCH(bool, touch);
    QFETCH(QString, text);
    QFETCH(QString, style);

    UnitStatus s;
    s.conditionFlags = quint16(flags);
    s.ultimoBusOnline = busOnline;
    s.danteImageProduct = QStringLiteral("TESK");
    const QString checklist = Checklist::text(s, {0, ultimoXModel});
    const Checklist::Display shown = Checklist::display(checklist, s, ultimoXModel, online, privateMode, statusRead);
    QCOMPARE(shown.touch, touch);
    QCOMPARE(shown.text, text == "*" ? checklist : text);
    QCOMPARE(shown.styleSheet, style);
}

QTEST_GUILESS_MAIN(TestChecklist)
#include "tst_checklist.moc"
