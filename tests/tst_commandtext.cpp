#include "channel/commandtext.h"

#include <QtTest>

// Every text the tool can send, byte for byte.
class TestCommandText : public QObject
{
    Q_OBJECT

private slots:
    void fixedCommands_data();
    void fixedCommands();
    void ledToggleCycle_data();
    void ledToggleCycle();
    void argumentCommands_data();
    void argumentCommands();
    void manualLinkDatagrams();
    void namesAreCutWithoutSplittingCharacters_data();
    void namesAreCutWithoutSplittingCharacters();
    void everyDatagramHoldsOneCommand_data();
    void everyDatagramHoldsOneCommand();
};

void TestCommandText::fixedCommands_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("status request") << CommandText::statusRequest() << QByteArray("GSHV\r");
    QTest::newRow("version query") << CommandText::versionQuery() << QByteArray("?V\r");
    QTest::newRow("identify") << CommandText::identify() << QByteArray("PIHV\r");
    QTest::newRow("ringer test") << CommandText::ringerTest() << QByteArray("CM1DRE\r");
    QTest::newRow("reboot") << CommandText::reboot() << QByteArray("XX\r");
    QTest::newRow("defaults") << CommandText::loadDefaults() << QByteArray("DE\r");
    QTest::newRow("bootloader") << CommandText::firmwareUpdateMode() << QByteArray("BLXX\r");
    QTest::newRow("led cycle inhibit") << CommandText::ledCycleToggle() << QByteArray("LCHV\r");
    QTest::newRow("redetect ultimo") << CommandText::redetectUltimo() << QByteArray("DUHV\r");
    QTest::newRow("clear power cycles") << CommandText::clearPowerCycleCounter() << QByteArray("1RCHV\r");
    QTest::newRow("link start") << CommandText::linkStart() << QByteArray("1LI\r");
}

void TestCommandText::fixedCommands()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, expected);
    QCOMPARE(command, expected);
}

void TestCommandText::ledToggleCycle_data()
{
    QTest::addColumn<int>("ledCount");
    QTest::addColumn<QList<QByteArray>>("sequence");
    const QList<QByteArray> fourTexts{"*LNSGCSI\r", "*LNSRCSI\r", "*LNSOCSI\r", "*LFSSI\r",
                                      "*LNSGCSI\r", "*LNSRCSI\r"};
    const QList<QByteArray> twoTexts{"*LNSGCSI\r", "*LFSSI\r", "*LNSGCSI\r", "*LFSSI\r",
                                     "*LNSGCSI\r", "*LFSSI\r"};
    QTest::newRow("just offline (0 LEDs)") << 0 << fourTexts;
    QTest::newRow("4 LEDs") << 4 << fourTexts;
    QTest::newRow("12 LEDs") << 12 << twoTexts;
    QTest::newRow("16 LEDs") << 16 << twoTexts;
    QTest::newRow("32 LEDs") << 32 << twoTexts;
}

void TestCommandText::ledToggleCycle()
{
    QFETCH(int, ledCount);
    QFETCH(QList<QByteArray>, sequence);
    quint8 step = 1; // the step after going offline
    QList<QByteArray> sent;
    for (int press = 0; press < sequence.size(); ++press) {
        sent << CommandText::ledStateToggle(step);
        step = CommandText::nextLedToggleStep(step, quint8(ledCount));
    }
    QCOMPARE(sent, sequence);
}

void TestCommandText::argumentCommands_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("mute when not muted") << CommandText::handsetMute(false) << QByteArray("1HMHV\r");
    QTest::newRow("unmute when muted") << CommandText::handsetMute(true) << QByteArray("0HMHV\r");
    QTest::newRow("assembly HV4") << CommandText::assembly(0) << QByteArray("1PAHV\r");
    QTest::newRow("assembly HV16K") << CommandText::assembly(5) << QByteArray("6PAHV\r");
    QTest::newRow("assembly TK32K") << CommandText::assembly(9) << QByteArray("10PAHV\r");
    QTest::newRow("local MAC") << CommandText::macAddress("00:1D:C1:12:34:56", false)
                               << QByteArray("00:1D:C1:12:34:56MC\r");
    QTest::newRow("Dante reference MAC") << CommandText::macAddress("00:1D:C1:12:34:56", true)
                                         << QByteArray("00:1D:C1:12:34:56UMC\r");
    QTest::newRow("MAC as typed") << CommandText::macAddress(" ab-cd ", false)
                                  << QByteArray(" ab-cd MC\r");
    QTest::newRow("intensity 55") << CommandText::ledIntensity(55) << QByteArray("55IB\r");
    QTest::newRow("intensity 0") << CommandText::ledIntensity(0) << QByteArray("0IB\r");
    QTest::newRow("intensity 100") << CommandText::ledIntensity(100) << QByteArray("100IB\r");
    QTest::newRow("custom as typed") << CommandText::custom("?V") << QByteArray("?V\r");
    QTest::newRow("custom empty") << CommandText::custom(QString()) << QByteArray("\r");
    QTest::newRow("custom UTF-8") << CommandText::custom(QStringLiteral("Zürich"))
                                  << QByteArray("Z\xc3\xbcrich\r");
}

void TestCommandText::argumentCommands()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, expected);
    QCOMPARE(command, expected);
}

void TestCommandText::manualLinkDatagrams()
{
    QCOMPARE(CommandText::stationName("Lobby-1A2B3C"), QByteArray("Lobby-1A2B3CNM\r"));
    QCOMPARE(CommandText::danteName("HV4K-1A2B3C"), QByteArray("HV4K-1A2B3CND\r"));
    const QStringList addresses{"192.168.0.50", "255.255.255.0", "192.168.0.1", "192.168.1.50",
                                "255.255.255.0", "192.168.1.1", "192.168.0.2"};
    QCOMPARE(CommandText::linkAddresses(addresses, 4012),
             QByteArray("192.168.0.50,255.255.255.0,192.168.0.1,192.168.1.50,255.255.255.0,"
                        "192.168.1.1,192.168.0.2,4012,1,1LX\r"));
    QCOMPARE(CommandText::linkAddresses({"fe80::1", "", "", "", "", "", ""}, 5012),
             QByteArray("fe80::1,,,,,,,5012,1,1LX\r"));
}

void TestCommandText::namesAreCutWithoutSplittingCharacters_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QByteArray>("expected");
    const QString ascii65(65, QLatin1Char('a'));
    QTest::newRow("ascii under") << QStringLiteral("abc") << 64 << QByteArray("abc");
    QTest::newRow("ascii 65 cut to 64") << ascii65 << 64 << QByteArray(64, 'a');
    QTest::newRow("two-byte letters") << QString(40, QChar(0x00E9)) << 32
                                      << QString(16, QChar(0x00E9)).toUtf8();
    QTest::newRow("odd budget keeps whole letters") << QString(3, QChar(0x00E9)) << 5
                                                    << QString(2, QChar(0x00E9)).toUtf8();
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E"); // one 4-byte character
    QTest::newRow("surrogate pair not split") << (QString(30, QLatin1Char('x')) + clef) << 32
                                              << QByteArray(30, 'x');
    QTest::newRow("surrogate pair fits") << (QString(28, QLatin1Char('x')) + clef) << 32
                                         << (QByteArray(28, 'x') + clef.toUtf8());
}

void TestCommandText::namesAreCutWithoutSplittingCharacters()
{
    QFETCH(QString, name);
    QFETCH(int, maxBytes);
    QFETCH(QByteArray, expected);
    const QByteArray cut = CommandText::utf8Prefix(name, maxBytes);
    QCOMPARE(cut, expected);
    QVERIFY(cut.size() <= maxBytes);
    QCOMPARE(QString::fromUtf8(cut).toUtf8(), cut); // valid UTF-8 throughout
}

void TestCommandText::everyDatagramHoldsOneCommand_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("custom with line breaks") << CommandText::custom("?V\r\nXX");
    QTest::newRow("MAC with carriage return") << CommandText::macAddress("00:1D\r:C1", true);
    QTest::newRow("name with newline") << CommandText::stationName("two\nlines");
    QTest::newRow("dante name with CR") << CommandText::danteName("a\rb");
    QTest::newRow("addresses with LF") << CommandText::linkAddresses({"1.2.3.4\n", "", "", "", "", "", ""}, 4001);
    for (quint8 step = 0; step < 4; ++step)
        QTest::addRow("led toggle %d", step) << CommandText::ledStateToggle(step);
    QTest::newRow("status request") << CommandText::statusRequest();
    QTest::newRow("handset") << CommandText::handsetMute(true);
}

void TestCommandText::everyDatagramHoldsOneCommand()
{
    QFETCH(QByteArray, datagram);
    QVERIFY(datagram.endsWith('\r'));
    QCOMPARE(datagram.count('\r'), 1);
    QCOMPARE(datagram.count('\n'), 0);
}

QTEST_GUILESS_MAIN(TestCommandText)
#include "tst_commandtext.moc"
