// hvtk-check end to end: the built program against simulated units, beside
// the window in private mode polling the same unit, so that both verdicts are
// compared line for line; exit statuses, usage errors, the production record,
// discovery and bad datagrams on the wire.
#include "channel/commandtext.h"
#include "gate/ledgerconnection.h"
#include "sim/unitentry.h"
#include "support/programrun.h"
#include "support/simulatorthread.h"
#include "support/windowsuite.h"

#include <QNetworkDatagram>
#include <QSqlQuery>
#include <QUdpSocket>
#include <QtTest>
#include <QtWidgets>

namespace {

const QHostAddress Unit("192.168.0.254"); // the address the window starts with
const QString Program = QStringLiteral(HVTK_CHECK_PROGRAM);

using Run = ProgramRun;

// Runs hvtk-check while this thread's event loop goes on (the window polls).
Run runCheck(const QStringList &arguments, int waitMs = 20000)
{
    return runProgram(Program, arguments, waitMs);
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

// Starts the units "ADDRESS:MODEL:FIRMWARE options" with a short restart.
bool addUnits(SimulatorThread &sim, const QStringList &lines)
{
    for (const QString &text : lines) {
        QList<UnitEntry> entries;
        QString error;
        if (!UnitEntries::parseLine(text, &entries, &error) || !sim.addUnit(entries[0].config))
            return false;
        const bool applied = sim.withUnit(entries[0].config.address, [&](SimulatedUnit &unit) {
            unit.setRestartTime(300);
            for (const QString &option : entries[0].options)
                UnitEntries::applyOption(&unit, option, &error);
        });
        if (!applied)
            return false;
    }
    return true;
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &text)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return QString();
    return file.fileName();
}

// The rows of the ledger's issued MACs, oldest first, as objects with the
// members mac, danteMac, address, model, station, outcome and reason.
QList<QJsonObject> ledgerRows(const QString &ledger)
{
    LedgerConnection connection;
    QString error;
    if (connection.open(ledger, &error) != LedgerConnection::Status::Open) {
        qWarning("%s", qPrintable(error));
        return {};
    }
    QSqlQuery query(connection.database());
    query.exec("SELECT mac, dante_mac, address, model, station, outcome, reason, issued_at FROM issued_macs "
               "ORDER BY id");
    QList<QJsonObject> rows;
    while (query.next()) {
        rows << QJsonObject{{"mac", query.value(0).toString()},     {"danteMac", query.value(1).toString()},
                            {"address", query.value(2).toString()}, {"model", query.value(3).toString()},
                            {"station", query.value(4).toString()}, {"outcome", query.value(5).toString()},
                            {"reason", query.value(6).toString()},  {"time", query.value(7).toString()}};
    }
    return rows;
}

// A new, empty ledger file in `dir`.
QString newLedger(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("ledger.db"));
    LedgerConnection connection;
    QString error;
    if (connection.create(path, &error) != LedgerConnection::Status::Open) {
        qWarning("%s", qPrintable(error));
        return QString();
    }
    return path;
}

QList<QJsonObject> ledgerLines(const QString &path)
{
    QFile file(path);
    QList<QJsonObject> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            lines << QJsonDocument::fromJson(line).object();
    }
    return lines;
}

// What a unit received besides the polls, in order.
QList<QByteArray> commandsTo(const QList<SimDatagram> &log, const QHostAddress &unit)
{
    QList<QByteArray> commands;
    for (const SimDatagram &d : log) {
        if (d.direction == SimDatagram::In && d.unitAddress == unit && d.data != CommandText::statusRequest()
            && d.data != CommandText::versionQuery())
            commands << d.data;
    }
    return commands;
}

QJsonObject unitNamed(const QJsonArray &units, const QString &address)
{
    for (const QJsonValue &unit : units) {
        if (unit["address"].toString() == address)
            return unit.toObject();
    }
    return {};
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
    void programLineOfEight();
    void programSharedLedger();
    void badMasterList_data();
    void badMasterList();
    void discoverChecksEveryAnsweringUnit();
    void badDatagramsChangeNoVerdict();

    // --expect: a unit missing from the jig.
    void expectedUnits_data();
    void expectedUnits();
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

// A line building HV32K: units programmed as other models, units with a
// control MAC the checklist rejects, both, and neither; one run programs and
// judges them all, with the window's own SET commands and its 12 s pause.
// A control MAC the checklist accepts but the ledger never issued is
// replaced too: every unit leaves with a MAC of the master list.
void TestCheck::programLineOfEight()
{
    SimulatorThread sim;
    QVERIFY(addUnits(sim, {"192.168.0.31:HV32K", "192.168.0.32:HV4K", "192.168.0.33:HV32K wrong-control-mac",
                           "192.168.0.34:HV16K wrong-control-mac", "192.168.0.35:HV12X",
                           "192.168.0.36:HV4X wrong-control-mac", "192.168.0.37:HV32K wrong-control-mac",
                           "192.168.0.38:HV32K"}));
    QTemporaryDir dir;
    const QString pool = writeFile(dir, "macs", "# line 3\n02:4B:7D:00:10:00-02:4B:7D:00:10:FF\n");
    const QString ledger = newLedger(dir);
    QVERIFY(!ledger.isEmpty());
    const QString record = dir.filePath("record.jsonl");
    QStringList arguments{"--program", "--assembly", "HV32K", "--mac-pool", pool, "--ledger", ledger,
                          "--json", "--record", record, "--station", "line 3"};
    for (int unit = 31; unit <= 38; ++unit)
        arguments << QStringLiteral("192.168.0.%1").arg(unit);

    const Run check = runCheck(arguments, 40000);
    QVERIFY2(check.err.isEmpty(), check.err.constData());
    QCOMPARE(check.exitCode, 0);
    const QJsonArray units = QJsonDocument::fromJson(check.out)["units"].toArray();
    QCOMPARE(units.size(), 8);

    const QList<QJsonObject> lines = ledgerRows(ledger);
    QCOMPARE(lines.size(), 8);
    QSet<QString> macs;
    for (const QJsonObject &line : lines) {
        QCOMPARE(line["outcome"].toString(), QStringLiteral("programmed"));
        QCOMPARE(line["model"].toString(), QStringLiteral("HV32K"));
        QCOMPARE(line["station"].toString(), QStringLiteral("line 3"));
        QVERIFY(QDateTime::fromString(line["time"].toString(), Qt::ISODateWithMs).isValid());
        const QJsonObject unit = unitNamed(units, line["address"].toString());
        QCOMPARE(line["danteMac"].toString(), unit["danteMac"].toString());
        QCOMPARE(unit["programmed"]["mac"].toString(), line["mac"].toString());
        macs << line["mac"].toString();
    }
    // The first eight of the list, each to one unit.
    QCOMPARE(macs.size(), 8);
    for (int i = 0; i < 8; ++i)
        QVERIFY(macs.contains(QStringLiteral("02:4B:7D:00:10:0%1").arg(i)));

    const QList<SimDatagram> log = sim.log();
    const QSet<int> modelChanged{32, 34, 35, 36};
    const QSet<int> macChanged{31, 32, 33, 34, 35, 36, 37, 38};
    for (int last = 31; last <= 38; ++last) {
        const QString address = QStringLiteral("192.168.0.%1").arg(last);
        const QJsonObject unit = unitNamed(units, address);
        QVERIFY2(unit["ready"].toBool(), qPrintable(address));
        QCOMPARE(unit["model"].toString(), QStringLiteral("HV32K"));
        const QString mac = unit["programmed"]["mac"].toString();
        QCOMPARE(!mac.isEmpty(), macChanged.contains(last));
        if (!mac.isEmpty())
            QCOMPARE(unit["controlMac"].toString(), mac);
        QCOMPARE(unit["programmed"]["assembly"].toString(),
                 modelChanged.contains(last) ? QStringLiteral("HV32K") : QString());
        // The window's SET for HV32K (code 7) and its MAC SET for the text, nothing else.
        QList<QByteArray> expected;
        if (modelChanged.contains(last))
            expected << QByteArray("7PAHV\r");
        if (!mac.isEmpty())
            expected << mac.toLatin1() + "MC\r";
        QCOMPARE(commandsTo(log, QHostAddress(address)), expected);
    }

    // The 12 s pause after an assembly: from the unit's acknowledgement to the
    // next poll, as the unit sees them (in whole milliseconds: at most 1 ms
    // short). A pause 1 % short fails.
    qint64 assemblySent = -1;
    qint64 acknowledged = -1;
    qint64 pollAgain = -1;
    for (const SimDatagram &d : log) {
        if (d.unitAddress != QHostAddress("192.168.0.32"))
            continue;
        if (d.direction == SimDatagram::In && d.data == "7PAHV\r")
            assemblySent = d.elapsedMs;
        else if (d.direction == SimDatagram::Out && assemblySent >= 0 && acknowledged < 0)
            acknowledged = d.elapsedMs;
        else if (d.direction == SimDatagram::In && acknowledged >= 0 && pollAgain < 0)
            pollAgain = d.elapsedMs;
    }
    QVERIFY(acknowledged >= 0 && pollAgain >= 0);
    QVERIFY2(pollAgain - acknowledged >= 11999 && pollAgain - acknowledged < 13000,
             qPrintable(QString::number(pollAgain - acknowledged)));

    const QList<QJsonObject> recorded = ledgerLines(record);
    QCOMPARE(recorded.size(), 8);
    for (const QJsonObject &line : recorded)
        QCOMPARE(line["programmed"], unitNamed(units, line["address"].toString()).value("programmed"));
}

// Two stations on one ledger and master list, a unit programmed again, a
// refused MAC and the end of the list.
void TestCheck::programSharedLedger()
{
    SimulatorThread sim;
    QStringList lineUnits;
    for (int last = 41; last <= 48; ++last)
        lineUnits << QStringLiteral("192.168.0.%1:HV4K wrong-control-mac").arg(last);
    QVERIFY(addUnits(sim, lineUnits + QStringList{"192.168.0.51:HV4K wrong-control-mac refuse-mac",
                                                  "192.168.0.52:HV4K wrong-control-mac",
                                                  "192.168.0.53:HV4K wrong-control-mac"}));
    QTemporaryDir dir;
    const QString pool = writeFile(dir, "macs",
                                   "02:4B:7D:00:20:00-02:4B:7D:00:20:07\n02:4B:7D:00:20:10\n"
                                   "02:4b:7d:00:20:11  # the last one\n");
    const QString ledger = newLedger(dir);
    QVERIFY(!ledger.isEmpty());
    const QStringList program{"--program", "--assembly", "HV4K", "--mac-pool", pool, "--ledger", ledger, "--json"};

    QProcess first;
    QProcess second;
    first.start(Program, program + QStringList{"192.168.0.41", "192.168.0.42", "192.168.0.43", "192.168.0.44"});
    second.start(Program, program + QStringList{"192.168.0.45", "192.168.0.46", "192.168.0.47", "192.168.0.48"});
    QVERIFY(first.waitForStarted() && second.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(first.state() == QProcess::NotRunning && second.state() == QProcess::NotRunning, 20000);
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(second.exitCode(), 0);
    QList<QJsonObject> lines = ledgerRows(ledger);
    QCOMPARE(lines.size(), 8);
    QSet<QString> macs;
    QString macOf41;
    for (const QJsonObject &line : lines) {
        macs << line["mac"].toString();
        if (line["address"].toString() == QLatin1String("192.168.0.41"))
            macOf41 = line["mac"].toString();
    }
    QCOMPARE(macs.size(), 8);
    QVERIFY(macs.contains("02:4B:7D:00:20:00") && macs.contains("02:4B:7D:00:20:07"));

    // Back to a MAC the checklist rejects: the unit gets its own MAC again.
    QVERIFY(sim.withUnit(QHostAddress("192.168.0.41"), [](SimulatedUnit &u) { u.setWrongControlMacPrefix(); }));
    const Run again = runCheck(program + QStringList{"192.168.0.41"});
    QCOMPARE(again.exitCode, 0);
    QCOMPARE(QJsonDocument::fromJson(again.out)["units"][0]["programmed"]["mac"].toString(), macOf41);
    QCOMPARE(ledgerRows(ledger).size(), 8);

    // A refused MAC is that unit's failure and is not handed out again.
    const Run refused = runCheck(program + QStringList{"192.168.0.51"});
    QCOMPARE(refused.exitCode, 1);
    const QJsonObject refusedUnit = QJsonDocument::fromJson(refused.out)["units"][0].toObject();
    QCOMPARE(refusedUnit["ready"].toBool(), false);
    QCOMPARE(refusedUnit["programmed"].toObject(), QJsonObject());
    QCOMPARE(refusedUnit["programmingFailure"].toString(),
             QStringLiteral("MAC 02:4B:7D:00:20:10: E16: Invalid MAC (mismatch in Vendor range)"));
    lines = ledgerRows(ledger);
    QCOMPARE(lines.size(), 9);
    QCOMPARE(lines[8]["mac"].toString(), QStringLiteral("02:4B:7D:00:20:10"));
    QCOMPARE(lines[8]["outcome"].toString(), QStringLiteral("refused"));
    QCOMPARE(lines[8]["reason"].toString(), QStringLiteral("E16: Invalid MAC (mismatch in Vendor range)"));

    // One MAC left for two units: one gets it, the other fails, exit 1.
    const Run last = runCheck(program + QStringList{"192.168.0.52", "192.168.0.53"});
    QCOMPARE(last.exitCode, 1);
    const QJsonArray lastUnits = QJsonDocument::fromJson(last.out)["units"].toArray();
    QSet<QString> outcomes;
    QString exhausted;
    for (const QJsonValue &unit : lastUnits) {
        outcomes << unit["programmed"]["mac"].toString() + QLatin1Char('|') + unit["programmingFailure"].toString();
        if (!unit["programmingFailure"].toString().isEmpty())
            exhausted = unit["address"].toString();
    }
    QCOMPARE(outcomes, (QSet<QString>{"02:4B:7D:00:20:11|", "|master list exhausted"}));
    QCOMPARE(ledgerRows(ledger).size(), 10);
    QStringList textArguments = program;
    textArguments.removeAll("--json");
    const Run text = runCheck(textArguments << exhausted);
    QVERIFY2(text.out.contains("\nProgramming failed: master list exhausted\n"), text.out.constData());
}

void TestCheck::badMasterList_data()
{
    QTest::addColumn<QByteArray>("pool");
    QTest::addColumn<QStringList>("arguments"); // POOL and LEDGER stand for the files
    QTest::addColumn<QString>("errorPart");
    const QStringList program{"--program", "--assembly", "HV4K", "--mac-pool", "POOL", "--ledger", "LEDGER",
                              "192.168.0.254"};
    QTest::newRow("not a MAC") << QByteArray("02:4B:7D:00:01\n") << program << "macs:1: ";
    QTest::newRow("outside the prefix") << QByteArray("# list\n02:4B:7D:01:00:00\n") << program << "macs:2: ";
    QTest::newRow("range end outside")
        << QByteArray("02:4B:7D:00:FF:00-02:4B:7D:01:00:00\n") << program << "macs:1: 02:4B:7D:01:00:00 ";
    QTest::newRow("range backwards") << QByteArray("02:4B:7D:00:00:09-02:4B:7D:00:00:01") << program << "macs:1: ";
    QTest::newRow("three ends")
        << QByteArray("02:4B:7D:00:00:01-02:4B:7D:00:00:02-02:4B:7D:00:00:03\n") << program << "macs:1: ";
    QTest::newRow("listed twice")
        << QByteArray("02:4B:7D:00:00:01-02:4B:7D:00:00:09\n\n02:4B:7D:00:00:05 # again\n") << program
        << "macs:3: 02:4B:7D:00:00:05 is listed already on line 1";
    QTest::newRow("overlapping range")
        << QByteArray("02:4B:7D:00:00:05\n02:4B:7D:00:00:01-02:4B:7D:00:00:09\n") << program
        << "macs:2: 02:4B:7D:00:00:05 is listed already on line 1";
    QTest::newRow("no MAC") << QByteArray("# nothing yet\n") << program << "macs: lists no MAC";
    QTest::newRow("without --assembly")
        << QByteArray("02:4B:7D:00:00:01\n") << QStringList{"--program", "192.168.0.254"} << "--assembly";
    QTest::newRow("assembly UNKNOWN")
        << QByteArray("02:4B:7D:00:00:01\n") << QStringList{"--program", "--assembly", "UNKNOWN", "192.168.0.254"}
        << "--assembly";
    QTest::newRow("pool without ledger")
        << QByteArray("02:4B:7D:00:00:01\n")
        << QStringList{"--program", "--assembly", "HV4K", "--mac-pool", "POOL", "192.168.0.254"} << "--ledger";
    QTest::newRow("pool without program")
        << QByteArray("02:4B:7D:00:00:01\n")
        << QStringList{"--assembly", "HV4K", "--mac-pool", "POOL", "--ledger", "LEDGER", "192.168.0.254"}
        << "--program";
    QTest::newRow("ledger without pool")
        << QByteArray("02:4B:7D:00:00:01\n")
        << QStringList{"--program", "--assembly", "HV4K", "--ledger", "LEDGER", "192.168.0.254"} << "--mac-pool";
}

// Nothing is sent and no ledger is made.
void TestCheck::badMasterList()
{
    QFETCH(QByteArray, pool);
    QFETCH(QStringList, arguments);
    QFETCH(QString, errorPart);
    SimulatorThread sim;
    QVERIFY(sim.addUnit({Unit, QStringLiteral("HV4K"), QStringLiteral("2.09")}));
    QVERIFY(sim.withUnit(Unit, [](SimulatedUnit &u) { u.setWrongControlMacPrefix(); }));
    QTemporaryDir dir;
    const QString poolFile = writeFile(dir, "macs", pool);
    QVERIFY(!poolFile.isEmpty());
    arguments.replaceInStrings(QRegularExpression("^POOL$"), poolFile);
    arguments.replaceInStrings(QRegularExpression("^LEDGER$"), dir.filePath("ledger"));

    const Run check = runCheck(arguments);
    QCOMPARE(check.exitCode, 64);
    QCOMPARE(check.out, QByteArray());
    QCOMPARE(check.err.count('\n'), 1);
    QVERIFY2(check.err.startsWith("hvtk-check: ") && check.err.contains(errorPart.toUtf8()), check.err.constData());
    QVERIFY(!QFile::exists(dir.filePath("ledger")));
    QTest::qWait(100);
    QCOMPARE(sim.log().size(), 0);
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

// Three units in the jig, one of them silent: discovery finds two.
void TestCheck::expectedUnits_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("oneNotReady");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errorLine");
    const QStringList discover{"--discover", "--timeout", "2"};
    QTest::newRow("as many as expected") << discover + QStringList{"--expect", "2"} << false << 0 << "";
    QTest::newRow("more than expected") << discover + QStringList{"--expect", "1"} << false << 0 << "";
    QTest::newRow("one missing")
        << discover + QStringList{"--expect", "3"} << false << 2
        << "hvtk-check: 2 of the 3 units expected answered (--expect 3)\n";
    QTest::newRow("one missing, one not ready")
        << discover + QStringList{"--expect", "3"} << true << 2
        << "hvtk-check: 2 of the 3 units expected answered (--expect 3)\n";
    QTest::newRow("one missing, not ready without --expect") << discover << true << 1 << "";
    // A named unit that does not answer is missing too.
    QTest::newRow("named silent unit")
        << discover + QStringList{"--expect", "3", "192.168.0.23"} << false << 2
        << "hvtk-check: 2 of the 3 units expected answered (--expect 3)\n";
    QTest::newRow("without --discover") << QStringList{"--expect", "2", "192.168.0.21"} << false << 64 << "";
    QTest::newRow("zero") << discover + QStringList{"--expect", "0"} << false << 64 << "";
    QTest::newRow("not a number") << discover + QStringList{"--expect", "8x"} << false << 64 << "";
}

void TestCheck::expectedUnits()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, oneNotReady);
    QFETCH(int, exitCode);
    QFETCH(QString, errorLine);
    SimulatorThread sim;
    QVERIFY(addUnits(sim, {"192.168.0.21:HV4K:2.09", oneNotReady ? "192.168.0.22:HV4K:2.09 dip-on=2"
                                                                  : "192.168.0.22:HV4K:2.09",
                           "192.168.0.23:HV4K:2.09 silent"}));

    const Run check = runCheck(arguments);
    QCOMPARE(check.exitCode, exitCode);
    if (exitCode == 64) {
        QVERIFY2(check.err.startsWith("hvtk-check: --expect"), check.err.constData());
        QCOMPARE(sim.log().size(), 0);
        return;
    }
    QCOMPARE(QString::fromUtf8(check.err), errorLine);
    const QString summary = arguments.contains("192.168.0.23")
        ? QStringLiteral("3 unit(s) checked: 2 ready, 0 not ready, 1 without an answer.\n")
        : QStringLiteral("2 unit(s) checked: %1 ready, %2 not ready, 0 without an answer.\n")
              .arg(oneNotReady ? 1 : 2)
              .arg(oneNotReady ? 1 : 0);
    QVERIFY2(check.out.endsWith(summary.toUtf8()), check.out.constData());
}

QTEST_MAIN(TestCheck)
#include "tst_check.moc"
