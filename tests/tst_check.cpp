// hvtk-check end to end: the built program against simulated units, beside
// the window in private mode polling the same unit, so that both verdicts are
// compared line for line; exit statuses, usage errors, the production record,
// discovery and bad datagrams on the wire.
#include "channel/commandtext.h"
#include "sim/unitentry.h"
#include "support/simulatorthread.h"
#include "support/windowsuite.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>
#include <QtWidgets>

namespace {

const QHostAddress Unit("192.168.0.254"); // the address the window starts with
const QString Program = QStringLiteral(HVTK_CHECK_PROGRAM);

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs hvtk-check while this thread's event loop goes on (the window polls).
Run runCheck(const QStringList &arguments, int waitMs = 20000)
{
    QProcess process;
    process.start(Program, arguments);
    if (!process.waitForStarted(5000))
        return {};
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && clock.elapsed() < waitMs)
        QTest::qWait(10);
    if (process.state() != QProcess::NotRunning || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// The verdict lines of the text block of `address`: the lines after its first
// line, up to the blank line that ends the block.
QStringList verdictLines(const QByteArray &out, const QHostAddress &address)
{
    const QStringList lines = QString::fromUtf8(out).split(QLatin1Char('\n'));
    const QString start = address.toString() + QLatin1String("  ");
    const auto block = std::find_if(lines.begin(), lines.end(),
                                    [&](const QString &line) { return line.startsWith(start); });
    if (block == lines.end())
        return {QStringLiteral("<no block for %1>").arg(address.toString())};
    const int first = int(block - lines.begin());
    QStringList verdict;
    for (int i = first + 1; i < lines.size() && !lines[i].isEmpty(); ++i)
        verdict << lines[i];
    return verdict;
}

QStringList boxLines(const QString &text)
{
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Changes to a simulated unit's record that no simulator option makes.
void tweak(const QString &name, SimulatedUnit &unit)
{
    if (name == QLatin1String("dante-outdated-link-local")) {
        unit.updateStatus([](UnitStatus &s) {
            s.danteFirmwareVersion = {4, 1, 0, 9};
            s.danteIp = (169u << 24) | (254u << 16) | (12u << 8) | 7u;
        });
    } else if (name == QLatin1String("old-bootloader")) {
        unit.updateStatus([](UnitStatus &s) { s.bootloaderVersion = {1, 0, 3}; });
    }
}

// Answers every datagram with a text that is no status reply and no result code.
class JunkUnit : public QObject
{
public:
    explicit JunkUnit(const QHostAddress &address)
    {
        socket.bind(address, CommandText::UnitPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
        connect(&socket, &QUdpSocket::readyRead, this, [this] {
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram request = socket.receiveDatagram();
                socket.writeDatagram(QByteArray("%zap\x01\r"), request.senderAddress(), quint16(request.senderPort()));
            }
        });
    }
    QUdpSocket socket;
};

} // namespace

class TestCheck : public WindowSuite
{
    Q_OBJECT

private slots:
    void cleanup() { closeWindow(); }

    void verdictMatchesWindow_data();
    void verdictMatchesWindow();
    void usageError_data();
    void usageError();
    void settledStateAgainstLineModel();
    void recordAppendsAcrossRuns();
    void discoverChecksEveryAnsweringUnit();
    void badDatagramsChangeNoVerdict();
};

void TestCheck::verdictMatchesWindow_data()
{
    QTest::addColumn<QString>("unit");      // ADDRESS:MODEL:FIRMWARE options, as for hvtk-unit-sim; "junk"
    QTest::addColumn<QString>("tweak");     // a change to the unit's record, see tweak()
    QTest::addColumn<QString>("assembly");  // --assembly, empty for none
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("ownLine");   // hvtk-check's line after the window's, empty for none

    const QString u = Unit.toString();
    QTest::newRow("ready") << u + ":HV4K:2.09" << "" << "" << 0 << "";
    QTest::newRow("unit error") << u + ":HV4K:2.09 unit-error=10" << "" << "" << 1 << "";
    QTest::newRow("Dante MAC") << u + ":HV4K:2.09 wrong-dante-mac" << "" << "" << 1 << "";
    QTest::newRow("Dante MAC, compatibility model") << u + ":HV16:2.09 wrong-dante-mac" << "" << "" << 1 << "";
    QTest::newRow("control MAC") << u + ":TK4K:2.12 wrong-control-mac" << "" << "" << 1 << "";
    QTest::newRow("names") << u + ":HV32K:2.09 names-mismatched" << "" << "" << 1 << "";
    QTest::newRow("Ultimo bus") << u + ":HV4:2.09 ultimo-offline" << "" << "" << 1 << "";
    QTest::newRow("DIP switches") << u + ":TK12X:2.12 dip-on=1,3" << "" << "" << 1 << "";
    QTest::newRow("intensity 89") << u + ":HV4K:2.09 intensity=89" << "" << "" << 1 << "";
    QTest::newRow("intensity 90") << u + ":HV4K:2.09 intensity=90" << "" << "" << 0 << "";
    QTest::newRow("firmware 2.08") << u + ":HV4K:2.08" << "" << "" << 1 << "";
    QTest::newRow("old firmware") << u + ":HV4K:1.12 old-firmware" << "" << "" << 1 << "";
    QTest::newRow("old paging unit") << u + ":Halvo:1.15" << "" << "" << 0 << "";
    QTest::newRow("header only") << u + ":HV4K:2.09 length=32" << "" << "" << 1 << "";
    QTest::newRow("218 bytes") << u + ":HV4K:2.09 length=218" << "" << "" << 1 << "";
    QTest::newRow("250 bytes") << u + ":HV4K:2.09 length=250" << "" << "" << 1 << "";
    QTest::newRow("251 bytes") << u + ":HV4K:2.09 length=251" << "" << "" << 0 << "";
    QTest::newRow("bootloader") << u + ":HV4K:2.09" << "old-bootloader" << "" << 1 << "";
    QTest::newRow("Dante firmware, link-local") << u + ":HV4K:2.09" << "dante-outdated-link-local" << "" << 1 << "";
    QTest::newRow("assembly HV4 on UltimoX") << u + ":HV4K:2.09" << "" << "HV4" << 1 << "-PROGRAMMED AS HV4K; THIS LINE BUILDS HV4.";
    QTest::newRow("assembly HV16 on UltimoX") << u + ":HV16K:2.09 dip-on" << "" << "HV16" << 1 << "-PROGRAMMED AS HV16K; THIS LINE BUILDS HV16.";
    QTest::newRow("assembly TK12X on paging unit") << u + ":HV12X:2.09" << "" << "TK12X" << 1 << "-PROGRAMMED AS HV12X; THIS LINE BUILDS TK12X.";
    QTest::newRow("assembly as reported") << u + ":TK32K:2.12" << "" << "TK32K" << 0 << "";
    QTest::newRow("old paging unit built as HV4") << u + ":Halvo:1.15" << "" << "HV4" << 0 << "";
    QTest::newRow("old paging unit, line builds HV4K")
        << u + ":Halvo:1.15" << "" << "HV4K" << 1 << "-PROGRAMMED AS Halvo; THIS LINE BUILDS HV4K.";
    QTest::newRow("silent") << u + ":HV4K:2.09 silent" << "" << "" << 2 << "";
    QTest::newRow("junk") << "junk" << "" << "" << 1 << "";
}

void TestCheck::verdictMatchesWindow()
{
    QFETCH(QString, unit);
    QFETCH(QString, tweak);
    QFETCH(QString, assembly);
    QFETCH(int, exitCode);
    QFETCH(QString, ownLine);

    SimulatorThread sim;
    std::unique_ptr<JunkUnit> junk;
    if (unit == QLatin1String("junk")) {
        junk = std::make_unique<JunkUnit>(Unit);
        QCOMPARE(junk->socket.state(), QAbstractSocket::BoundState);
    } else {
        QList<UnitEntry> entries;
        QString error;
        QVERIFY2(UnitEntries::parseLine(unit, &entries, &error), qPrintable(error));
        QVERIFY2(sim.addUnit(entries[0].config), "the simulator refused the unit");
        QVERIFY(sim.withUnit(Unit, [&](SimulatedUnit &simulated) {
            for (const QString &option : entries[0].options)
                UnitEntries::applyOption(&simulated, option, &error);
            ::tweak(tweak, simulated);
        }));
    }

    // The window, in private mode from its first tick, holds ports 1234 and 1235.
    openWindow();
    WindowProbe::privateModeRequested() = true;
    if (!assembly.isEmpty()) {
        // The technician chose the assembly before the unit first answered.
        probe->polledIP() = probe->ui().m_txtIP->text();
        probe->ui().m_cmbAssembly->setCurrentIndex(probe->ui().m_cmbAssembly->findText(assembly));
        QCOMPARE(probe->ui().m_cmbAssembly->currentText(), assembly);
    }
    // Written out: the window's own ports, as a firewall rule names them.
    QCOMPARE(probe->unicastSocket()->localPort(), quint16(1234));
    QCOMPARE(probe->broadcastSocket()->localPort(), quint16(1235));

    QStringList arguments{QStringLiteral("--timeout"), QStringLiteral("3"), Unit.toString()};
    if (!assembly.isEmpty())
        arguments << QStringLiteral("--assembly") << assembly;
    const Run check = runCheck(arguments);
    QVERIFY2(check.err.isEmpty(), check.err.constData());
    QCOMPARE(check.exitCode, exitCode);

    QStringList checkLines = verdictLines(check.out, Unit);
    QVERIFY(!checkLines.contains(QString()));
    const QStringList releaseReady{QStringLiteral("No issues found.  Release ready.")};
    if (!ownLine.isEmpty()) {
        QCOMPARE(checkLines.takeLast(), ownLine);
        // By the window's lines alone such a unit may well be release ready.
        if (checkLines.isEmpty())
            checkLines = releaseReady;
    }
    QVERIFY(probe->privateMode());
    QTRY_COMPARE_WITH_TIMEOUT(boxLines(probe->ui().m_txtDetails->toPlainText()), checkLines, 6000);
    QCOMPARE(checkLines.isEmpty(), exitCode == 2);
    QCOMPARE(checkLines == releaseReady && ownLine.isEmpty(), exitCode == 0);
}

void TestCheck::usageError_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList{"--jsn", "192.168.0.254"};
    QTest::newRow("shorthand address") << QStringList{"192.168.254"};
    QTest::newRow("host name") << QStringList{"localhost"};
    QTest::newRow("IPv6") << QStringList{"::1"};
    QTest::newRow("broadcast address") << QStringList{"192.168.0.21", "255.255.255.255"};
    QTest::newRow("bad mask") << QStringList{"--discover", "--mask", "255.255.255"};
    QTest::newRow("timeout 0") << QStringList{"--timeout", "0", "192.168.0.254"};
    QTest::newRow("timeout text") << QStringList{"--timeout", "5s", "192.168.0.254"};
    QTest::newRow("unknown assembly") << QStringList{"--assembly", "HV8", "192.168.0.254"};
    QTest::newRow("no unit") << QStringList{"--json"};
}

void TestCheck::usageError()
{
    QFETCH(QStringList, arguments);
    SimulatorThread sim;
    QVERIFY(sim.addUnit({Unit, QStringLiteral("HV4K"), QStringLiteral("2.09")}));

    const Run check = runCheck(arguments);
    QCOMPARE(check.exitCode, 64);
    QCOMPARE(check.out, QByteArray());
    QCOMPARE(check.err.count('\n'), 1);
    QVERIFY2(check.err.startsWith("hvtk-check: "), check.err.constData());
    QTest::qWait(100);
    QCOMPARE(sim.log().size(), 0); // nothing was checked
}

// .21 turns a DIP switch on right after its first status reply: a check that
// took the first reply as settled would call it ready. .22 is programmed as
// another model than the line builds.
void TestCheck::settledStateAgainstLineModel()
{
    SimulatorThread sim;
    QVERIFY(sim.addUnit({QHostAddress("192.168.0.21"), QStringLiteral("HV4K"), QStringLiteral("2.09")}));
    QVERIFY(sim.addUnit({QHostAddress("192.168.0.22"), QStringLiteral("TK4K"), QStringLiteral("2.12")}));
    QString error;
    QVERIFY(sim.withUnit(QHostAddress("192.168.0.21"), [&](SimulatedUnit &u) {
        QVERIFY2(UnitEntries::applyOption(&u, QStringLiteral("after-first-reply=dip-on=2"), &error),
                 qPrintable(error));
    }));

    const Run check = runCheck({"--json", "--assembly", "HV4K", "192.168.0.21", "192.168.0.22"});
    QCOMPARE(check.exitCode, 1);
    const QJsonArray units = QJsonDocument::fromJson(check.out).object().value("units").toArray();
    QCOMPARE(units.size(), 2);
    const QJsonObject changed = units[0].toObject();
    QCOMPARE(changed.value("ready").toBool(), false);
    QCOMPARE(changed.value("modelMismatch").toBool(), false);
    QCOMPARE(changed.value("checklist").toArray(), QJsonArray{QStringLiteral("-ALL DIP SWITCHES MUST BE SET TO OFF (UP).")});
    const QJsonObject otherModel = units[1].toObject();
    QCOMPARE(otherModel.value("ready").toBool(), false);
    QCOMPARE(otherModel.value("modelMismatch").toBool(), true);
    QCOMPARE(otherModel.value("checklist").toArray().last().toString(),
             QStringLiteral("-PROGRAMMED AS TK4K; THIS LINE BUILDS HV4K."));

    // The text block names the line as well; without --assembly there is none.
    const Run text = runCheck({"--assembly", "HV4K", "192.168.0.22"});
    QCOMPARE(verdictLines(text.out, QHostAddress("192.168.0.22")).last(),
             QStringLiteral("-PROGRAMMED AS TK4K; THIS LINE BUILDS HV4K."));
    const Run reported = runCheck({"--json", "192.168.0.22"});
    QCOMPARE(reported.exitCode, 0);
    QCOMPARE(QJsonDocument::fromJson(reported.out)["units"][0]["modelMismatch"].toBool(), false);
}

void TestCheck::recordAppendsAcrossRuns()
{
    SimulatorThread sim;
    QVERIFY(sim.addUnit({QHostAddress("192.168.0.21"), QStringLiteral("HV4K"), QStringLiteral("2.09")}));
    QVERIFY(sim.addUnit({QHostAddress("192.168.0.22"), QStringLiteral("TK12X"), QStringLiteral("2.12")}));
    QVERIFY(sim.withUnit(QHostAddress("192.168.0.22"), [](SimulatedUnit &u) { u.setDipSwitch(2, true); }));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("line.jsonl"));
    const QStringList arguments{"--json", "--record", file, "192.168.0.21", "192.168.0.22"};

    const QDateTime before = QDateTime::currentDateTimeUtc().addMSecs(-1);
    const Run first = runCheck(arguments);
    QCOMPARE(first.exitCode, 1);
    QFile record(file);
    QVERIFY(record.open(QIODevice::ReadOnly));
    const QByteArray afterFirst = record.readAll();
    record.close();

    // Two checks at once append to the same file.
    QProcess second;
    QProcess third;
    second.start(Program, arguments);
    third.start(Program, arguments);
    QVERIFY(second.waitForStarted() && third.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning && third.state() == QProcess::NotRunning, 20000);
    QCOMPARE(second.exitCode(), 1);
    QCOMPARE(third.exitCode(), 1);

    QVERIFY(record.open(QIODevice::ReadOnly));
    const QByteArray all = record.readAll();
    QVERIFY(all.startsWith(afterFirst));
    const QList<QByteArray> lines = all.split('\n');
    QCOMPARE(lines.size(), 7); // six lines and the empty rest after the last newline
    QCOMPARE(lines.last(), QByteArray());
    const QJsonArray printed = QJsonDocument::fromJson(first.out).object().value("units").toArray();
    QCOMPARE(printed.size(), 2);
    for (int i = 0; i < 6; ++i) {
        QJsonParseError error;
        QJsonObject line = QJsonDocument::fromJson(lines[i], &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, lines[i].constData());
        const QString timeText = line.take("time").toString();
        QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$").match(timeText).hasMatch(),
                 qPrintable(timeText));
        QVERIFY(QDateTime::fromString(timeText, Qt::ISODateWithMs) >= before);
        const QString address = line.value("address").toString();
        const QJsonObject expected = printed[address == QLatin1String("192.168.0.21") ? 0 : 1].toObject();
        line.remove("elapsedMs");
        QJsonObject expectedWithoutTime = expected;
        expectedWithoutTime.remove("elapsedMs");
        QCOMPARE(line, expectedWithoutTime);
    }
    const QJsonObject ready = printed[0].toObject();
    QCOMPARE(ready.value("ready").toBool(), true);
    QCOMPARE(ready.value("checklist").toArray().size(), 0);
    const QJsonObject dip = printed[1].toObject();
    QCOMPARE(dip.value("address").toString(), QStringLiteral("192.168.0.22"));
    QCOMPARE(dip.value("conditionFlags").toInt(), int(DipSwitchesNotOff));
    QCOMPARE(dip.value("conditions").toArray(), QJsonArray{QStringLiteral("DipSwitchesNotOff")});
    QCOMPARE(dip.value("checklist").toArray(), QJsonArray{QStringLiteral("-ALL DIP SWITCHES MUST BE SET TO OFF (UP).")});
    QCOMPARE(dip.value("model").toString(), QStringLiteral("TK12X"));
    QCOMPARE(dip.value("firmware").toString(), QStringLiteral("2.12"));
    QCOMPARE(dip.value("bootloader").toString(), QStringLiteral("1.0.4"));
    QCOMPARE(dip.value("controlMac").toString(), QStringLiteral("02:4B:7D:00:00:16"));
}

void TestCheck::discoverChecksEveryAnsweringUnit()
{
    SimulatorThread sim;
    QVERIFY(sim.addUnit({QHostAddress("192.168.0.30"), QStringLiteral("HV4K"), QStringLiteral("2.09")}));
    QVERIFY(sim.addUnit({QHostAddress("192.168.0.4"), QStringLiteral("TK4K"), QStringLiteral("2.12")}));
    QVERIFY(sim.addUnit({QHostAddress("192.168.0.200"), QStringLiteral("HV4K"), QStringLiteral("2.09")}));
    QVERIFY(sim.withUnit(QHostAddress("192.168.0.200"), [](SimulatedUnit &u) { u.setSilent(true); }));
    QVERIFY(sim.withUnit(QHostAddress("192.168.0.4"), [](SimulatedUnit &u) { u.setLedIntensity(50); }));

    const Run check = runCheck({"--discover", "--json"});
    QCOMPARE(check.exitCode, 1);
    const QJsonArray units = QJsonDocument::fromJson(check.out).object().value("units").toArray();
    QCOMPARE(units.size(), 2);
    QCOMPARE(units[0].toObject().value("address").toString(), QStringLiteral("192.168.0.4"));
    QCOMPARE(units[0].toObject().value("conditions").toArray(), QJsonArray{QStringLiteral("LedIntensityLow")});
    QCOMPARE(units[1].toObject().value("address").toString(), QStringLiteral("192.168.0.30"));
    QCOMPARE(units[1].toObject().value("ready").toBool(), true);
    const QList<SimDatagram> log = sim.log();
    const auto broadcast = std::find_if(log.begin(), log.end(), [](const SimDatagram &d) {
        return d.direction == SimDatagram::In && d.destination == QHostAddress("192.168.0.255");
    });
    QVERIFY(broadcast != log.end());
    QCOMPARE(broadcast->data, QByteArray("?V\r"));

    // A mask under which no unit answers: nothing to check is a failure.
    const Run none = runCheck({"--discover", "--mask", "255.255.255.252"});
    QCOMPARE(none.exitCode, 2);
    QVERIFY2(none.err.contains("sent to 192.168.0.3\n"), none.err.constData());
}

void TestCheck::badDatagramsChangeNoVerdict()
{
    SimulatorThread sim;
    QVERIFY(sim.addUnit({QHostAddress("192.168.0.21"), QStringLiteral("HV4K"), QStringLiteral("2.09")}));
    QVERIFY(sim.addUnit({QHostAddress("192.168.0.22"), QStringLiteral("HV4K"), QStringLiteral("2.09")}));
    QVERIFY(sim.withUnit(QHostAddress("192.168.0.22"), [](SimulatedUnit &u) { u.setDipSwitch(4, true); }));

    // .98 is named but sends nothing a unit would; .97 is named and only
    // acknowledges; .99 is a stray.
    QUdpSocket named;
    QUdpSocket acknowledging;
    QUdpSocket stray;
    QVERIFY(named.bind(QHostAddress("192.168.0.98"), 0));
    QVERIFY(acknowledging.bind(QHostAddress("192.168.0.97"), 0));
    QVERIFY(stray.bind(QHostAddress("192.168.0.99"), 0));
    QByteArray truncated("HV4K v2.09\r");
    truncated.append(QByteArray(240 - truncated.size(), '\0'));
    const QList<QByteArray> strayData{QByteArray(), QByteArray("\0HV4K v2.09\r", 12), QByteArray(65507, 'E'),
                                      truncated, QByteArray("E04\r"), QByteArray("HV4K v1.10\r")};
    const QList<QByteArray> namedData{QByteArray(), QByteArray("\0R\r", 3)};

    QProcess process;
    process.start(Program, {"--json", "--timeout", "2", "--assembly", "HV4K", "192.168.0.21", "192.168.0.22",
                            "192.168.0.98", "192.168.0.97"});
    QVERIFY(process.waitForStarted());
    quint16 port = 0;
    QTRY_VERIFY_WITH_TIMEOUT((port = [&] {
        for (const SimDatagram &d : sim.log()) {
            if (d.direction == SimDatagram::In && d.peerPort != 1234)
                return d.peerPort;
        }
        return quint16(0);
    }()) != 0, 5000);
    const QHostAddress workstation("192.168.0.17");
    while (process.state() == QProcess::Running) {
        for (const QByteArray &data : strayData)
            stray.writeDatagram(data, workstation, port);
        for (const QByteArray &data : namedData)
            named.writeDatagram(data, workstation, port);
        acknowledging.writeDatagram(QByteArray("R\r"), workstation, port);
        QTest::qWait(20);
    }
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    const QJsonArray units =
        QJsonDocument::fromJson(process.readAllStandardOutput()).object().value("units").toArray();
    QCOMPARE(units.size(), 4);
    QCOMPARE(units[0].toObject().value("ready").toBool(), true);
    QCOMPARE(units[1].toObject().value("conditions").toArray(), QJsonArray{QStringLiteral("DipSwitchesNotOff")});
    QCOMPARE(units[2].toObject().value("answered").toBool(), false);
    QCOMPARE(units[2].toObject().value("checklist").toArray(), QJsonArray());
    QCOMPARE(units[2].toObject().value("conditionFlags").toInt(), 0);
    // Judged against HV4K, "R" alone leaves no checklist line; without a
    // status reply that is still no release.
    const QJsonObject onlyAcknowledged = units[3].toObject();
    QCOMPARE(onlyAcknowledged.value("answered").toBool(), true);
    QCOMPARE(onlyAcknowledged.value("checklist").toArray(), QJsonArray());
    QCOMPARE(onlyAcknowledged.value("ready").toBool(), false);
}

QTEST_MAIN(TestCheck)
#include "tst_check.moc"
