#include "channel/addresstext.h"
#include "channel/commandtext.h"
#include "sim/simulatedunit.h"
#include "sim/unitdefaults.h"
#include "sim/unitentry.h"

#include <QNetworkDatagram>
#include <QProcess>
#include <QUdpSocket>
#include <QtTest>

// The unit lines of the command line and of units files, and the program
// hvtk-unit-sim itself.
class TestUnitSim : public QObject
{
    Q_OBJECT

private slots:
    void parseUnit_data();
    void parseUnit();
    void parseFile_data();
    void parseFile();
    void optionsChangeTheUnit();
    void laterChangeAndRefusedMac();
    void programRefusesBadInput_data();
    void programRefusesBadInput();
    void programAnswersAndLogs();

private:
    QString program() const;
};

QString TestUnitSim::program() const
{
    return QStringLiteral(HVTK_UNIT_SIM);
}

void TestUnitSim::parseUnit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("firmware");
    QTest::newRow("address only") << "192.168.0.254" << true << "192.168.0.254" << "HV4K" << "2.09";
    QTest::newRow("with model") << "192.168.0.21:TK12X" << true << "192.168.0.21" << "TK12X" << "2.09";
    QTest::newRow("all three") << "192.168.0.23:Halvo:1.12" << true << "192.168.0.23" << "Halvo" << "1.12";
    QTest::newRow("empty model keeps default") << "192.168.0.5::2.12" << true << "192.168.0.5" << "HV4K" << "2.12";
    QTest::newRow("not an address") << "unit-1:HV4K" << false << "" << "" << "";
    QTest::newRow("IPv6") << "::1" << false << "" << "" << "";
    QTest::newRow("unknown model") << "192.168.0.5:HV5" << false << "" << "" << "";
    QTest::newRow("model case matters") << "192.168.0.5:hv4k" << false << "" << "" << "";
    QTest::newRow("firmware without minor") << "192.168.0.5:HV4K:2" << false << "" << "" << "";
    QTest::newRow("firmware not a number") << "192.168.0.5:HV4K:2.x" << false << "" << "" << "";
    QTest::newRow("too many parts") << "192.168.0.5:HV4K:2.09:x" << false << "" << "" << "";
    QTest::newRow("empty") << "" << false << "" << "" << "";
}

void TestUnitSim::parseUnit()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    UnitConfig config;
    QString error;
    QCOMPARE(UnitEntries::parseUnit(text, &config, &error), valid);
    if (!valid) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QFETCH(QString, address);
    QFETCH(QString, model);
    QFETCH(QString, firmware);
    QCOMPARE(config.address, QHostAddress(address));
    QCOMPARE(config.model, model);
    QCOMPARE(config.firmware, firmware);
}

void TestUnitSim::parseFile_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("units");   // -1: refused
    QTest::addColumn<QString>("errorPart");
    QTest::newRow("comments and blanks")
        << "# units\n\n192.168.0.254:HV4K:2.09   # the default\n  192.168.0.21:TK12X  live=500\n"
        << 2 << "";
    QTest::newRow("every option")
        << "192.168.0.22 silent old-firmware length=32 bare-results restart=100 live=50 "
           "next-reply=E13 error-next=E06 unit-error=7 wrong-dante-mac wrong-control-mac "
           "names-mismatched ultimo-offline dip-on dip-on=1,3 intensity=60 refuse-mac after-first-reply=dip-on=2\n"
        << 1 << "";
    QTest::newRow("unknown option") << "192.168.0.22 loud\n" << -1 << "line 1";
    QTest::newRow("value missing") << "\n192.168.0.22 intensity\n" << -1 << "line 2";
    QTest::newRow("value not wanted") << "192.168.0.22 silent=1\n" << -1 << "takes no value";
    QTest::newRow("bad number") << "192.168.0.22 restart=soon\n" << -1 << "restart";
    QTest::newRow("DIP switch 5") << "192.168.0.22 dip-on=5\n" << -1 << "1..4";
    QTest::newRow("later DIP switch 5") << "192.168.0.22 after-first-reply=dip-on=5\n" << -1 << "1..4";
    QTest::newRow("later nothing") << "192.168.0.22 after-first-reply=\n" << -1 << "after-first-reply";
    QTest::newRow("bad unit") << "192.168.0.22:XX\n" << -1 << "unknown model";
    QTest::newRow("twin") << "192.168.0.22\n192.168.0.22:TK4K twin=02:4b:7d:00:80:16 silent\n" << 2 << "";
    QTest::newRow("twin without MAC") << "192.168.0.22 twin=02:4B:7D:00:80\n" << -1 << "control MAC";
}

void TestUnitSim::parseFile()
{
    QFETCH(QString, text);
    QFETCH(int, units);
    QFETCH(QString, errorPart);
    QList<UnitEntry> entries;
    QString error;
    QCOMPARE(UnitEntries::parseFile(text, &entries, &error), units >= 0);
    if (units >= 0)
        QCOMPARE(entries.size(), units);
    else
        QVERIFY2(error.contains(errorPart), qPrintable(error));
}

void TestUnitSim::optionsChangeTheUnit()
{
    SimulatedUnit unit(UnitConfig{QHostAddress("192.168.0.22"), "HV32K", "2.09"});
    QString error;
    for (const char *option : {"old-firmware", "length=255", "restart=100", "unit-error=7",
                               "wrong-dante-mac", "wrong-control-mac", "ultimo-offline",
                               "dip-on=1,3", "intensity=60", "error-next=E11"}) {
        QVERIFY2(UnitEntries::applyOption(&unit, option, &error), qPrintable(error));
    }
    const UnitBehaviour b = unit.behaviour();
    QVERIFY(!b.statusRequestSupported);
    QCOMPARE(b.statusReplyLength, 255);
    QCOMPARE(b.restartMs, 100);
    QCOMPARE(b.nextCommandError, QByteArray("E11"));
    const UnitStatus &s = unit.status();
    QCOMPARE(int(s.unitErrorCode), 7);
    QVERIFY(s.danteMacText != "00:1D:C1" && !s.danteMacText.startsWith("00:1D:C1"));
    QVERIFY(!s.controlMacText.startsWith("02:4B:7D:00"));
    QVERIFY(s.ultimoBusRequired && !s.ultimoBusOnline);
    QCOMPARE(s.dipSwitchOff, (std::array<bool, 4>{false, true, false, true}));
    QCOMPARE(int(s.ledIntensity), 60);

    QVERIFY(UnitEntries::applyOption(&unit, "names-mismatched", &error));
    QVERIFY(!unit.status().danteName.endsWith(AddressText::macSuffix(unit.status().danteMac)));
    QVERIFY(!unit.status().localName.endsWith(AddressText::macSuffix(unit.status().controlMac)));
}

// The state changes between the first two status replies, not before the
// first nor after the second; a MAC inside the prefix is refused all the same.
void TestUnitSim::laterChangeAndRefusedMac()
{
    SimulatedUnit unit(UnitConfig{QHostAddress("192.168.0.22"), "HV4K", "2.09"});
    QString error;
    QVERIFY2(UnitEntries::applyOption(&unit, "after-first-reply=dip-on=2", &error), qPrintable(error));
    QVERIFY2(UnitEntries::applyOption(&unit, "refuse-mac", &error), qPrintable(error));
    const auto dipOff = [&] { return unit.status().dipSwitchOff; };
    QCOMPARE(unit.respond("?V\r"), QByteArray("HV4K v2.09\r"));
    QCOMPARE(dipOff(), (std::array<bool, 4>{true, true, true, true}));
    const QByteArray first = unit.respond("GSHV\r");
    QCOMPARE(dipOff(), (std::array<bool, 4>{true, false, true, true}));
    const QByteArray second = unit.respond("GSHV\r");
    QVERIFY(first != second);
    QCOMPARE(unit.respond("GSHV\r"), second);

    QCOMPARE(unit.respond("02:4B:7D:00:01:02MC\r"), QByteArray("E16\r"));
    QCOMPARE(unit.status().controlMacText, QStringLiteral("02:4B:7D:00:00:16"));
}

void TestUnitSim::programRefusesBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("errorPart");
    QTest::newRow("no units") << QStringList{} << "no units";
    QTest::newRow("malformed unit") << QStringList{"--unit", "192.168.0.300"} << "not an IPv4";
    QTest::newRow("unknown model") << QStringList{"--unit", "192.168.0.5:HV99"} << "unknown model";
    QTest::newRow("address not local") << QStringList{"--unit", "10.9.8.7"} << "cannot bind";
    QTest::newRow("same address twice")
        << QStringList{"--unit", "192.168.0.5", "--unit", "192.168.0.5:TK4K"} << "two units";
    QTest::newRow("twin of no unit")
        << QStringList{"--unit", "192.168.0.5", "--unit", "192.168.0.6 twin=02:4B:7D:00:80:06"} << "twin: no unit";
    QTest::newRow("missing file") << QStringList{"--units", "/nonexistent/units"} << "cannot read";
    QTest::newRow("unknown option of a unit") << QStringList{"--unit", "192.168.0.5:HV4K loud"} << "unknown";
    QTest::newRow("empty unit") << QStringList{"--unit", " "} << "needs an address";
    QTest::newRow("stray argument") << QStringList{"--unit", "192.168.0.5", "extra"} << "unexpected";
}

void TestUnitSim::programRefusesBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, errorPart);
    QVERIFY2(QFileInfo(program()).isExecutable(), qPrintable(program()));
    QProcess process;
    process.start(program(), arguments);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY(process.exitCode() != 0);
    const QString stderrText = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(stderrText.contains(errorPart), qPrintable(stderrText));
}

void TestUnitSim::programAnswersAndLogs()
{
    QVERIFY2(QFileInfo(program()).isExecutable(), qPrintable(program()));
    QTemporaryFile units;
    QVERIFY(units.open());
    units.write("192.168.0.21:TK12X:2.12 old-firmware\n");
    units.flush();
    QProcess process;
    process.start(program(), {"--log", "--unit", "192.168.0.254:HV4K:2.09 length=255", "--units", units.fileName()});
    QVERIFY(process.waitForStarted());
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += process.readAllStandardOutput()).contains("unit 192.168.0.21  TK12X v2.12\\r"), 5000);
    QVERIFY(output.contains("unit 192.168.0.254  HV4K v2.09\\r"));

    QUdpSocket station;
    QVERIFY(station.bind(QHostAddress("192.168.0.17"), 0));
    station.writeDatagram("GSHV\r", QHostAddress("192.168.0.21"), CommandText::UnitPort);
    QTRY_VERIFY_WITH_TIMEOUT(station.hasPendingDatagrams(), 3000);
    QCOMPARE(station.receiveDatagram().data(), QByteArray("E04\r"));
    station.writeDatagram("GSHV\r", QHostAddress("192.168.0.254"), CommandText::UnitPort);
    QTRY_VERIFY_WITH_TIMEOUT(station.hasPendingDatagrams(), 3000);
    QCOMPARE(station.receiveDatagram().data().size(), 255);

    QTRY_VERIFY_WITH_TIMEOUT((output += process.readAllStandardOutput()).contains("status reply, 255 bytes"), 3000);
    QVERIFY(output.contains("in   192.168.0.17:"));
    QVERIFY(output.contains("-> 192.168.0.21  \"GSHV\\r\""));
    QVERIFY(output.contains("out  192.168.0.21 -> 192.168.0.17:"));
    station.writeDatagram("?V\r", QHostAddress("192.168.0.255"), CommandText::UnitPort);
    QTRY_VERIFY_WITH_TIMEOUT((output += process.readAllStandardOutput()).contains("-> 192.168.0.255 (for 192.168.0.21)"), 3000);
    QTRY_VERIFY_WITH_TIMEOUT((output += process.readAllStandardOutput()).contains("-> 192.168.0.255 (for 192.168.0.254)"), 3000);
    station.writeDatagram("?V\r", QHostAddress("192.168.0.99"), CommandText::UnitPort);
    QTRY_VERIFY_WITH_TIMEOUT((output += process.readAllStandardOutput()).contains("-> 192.168.0.99 (no unit there, ignored)"), 3000);
    QVERIFY(QRegularExpression("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  out").match(QString::fromUtf8(output)).hasMatch());
    process.terminate();
    QVERIFY(process.waitForFinished(3000));
}

QTEST_GUILESS_MAIN(TestUnitSim)
#include "tst_unitsim.moc"
