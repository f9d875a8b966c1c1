// The line's database end to end: hvtk-check against simulated units with its
// ledger on SQLite and on a PostgreSQL 15 server the suite starts, each case
// on both, each with the ledger read back: a ledger that is not there, the
// uniqueness lines and the records, a refused MAC and units whose Dante MAC
// cannot be read, a full disk, and the server stopped in the middle of a run.
#include "support/ledgerfixture.h"
#include "support/programrun.h"
#include "support/simulatorthread.h"

#include "sim/simulatedunit.h"

#include <QtTest>

#include <sys/mount.h>

namespace {

const QString Program = QStringLiteral(HVTK_CHECK_PROGRAM);

ProgramRun runCheck(const QStringList &arguments, int waitMs = 30000)
{
    return runProgram(Program, arguments, waitMs);
}

QString writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return QString();
    return path;
}

QJsonArray unitsOf(const ProgramRun &run)
{
    return QJsonDocument::fromJson(run.out)["units"].toArray();
}

QJsonObject unitNamed(const QJsonArray &units, const QString &address)
{
    for (const QJsonValue &unit : units) {
        if (unit["address"].toString() == address)
            return unit.toObject();
    }
    return {};
}

// The unit takes `mac` as from the window's MAC SET.
bool takeMac(SimulatorThread &sim, const QString &unit, const QString &mac)
{
    QByteArray reply;
    sim.withUnit(QHostAddress(unit), [&](SimulatedUnit &u) { reply = u.respond(mac.toLatin1() + "MC\r"); });
    return reply.startsWith("R") && LineUnits::controlMac(sim, QHostAddress(unit)) == mac;
}

QStringList macsOf(const QList<QJsonObject> &rows)
{
    QStringList macs;
    for (const QJsonObject &row : rows)
        macs << row["mac"].toString();
    return macs;
}

} // namespace

class TestLedger : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void ledgerNotThere_data();
    void ledgerNotThere();
    void uniqueAndRecorded_data();
    void uniqueAndRecorded();
    void refusedAndUnreadMacs_data();
    void refusedAndUnreadMacs();
    void importOldLedger_data();
    void importOldLedger();
    void stoppedBySignal();
    void fullDisk();
    void serverStoppedMidRun();

private:
    void addKinds();
    QString ledgerOf(const QString &kind);

    LedgerFixture m_fixture;
    QString m_pool;
};

void TestLedger::initTestCase()
{
    QString error;
    if (!m_fixture.startServer(&error))
        qWarning("PostgreSQL cases are skipped: %s", qPrintable(error));
    m_pool = writeFile(m_fixture.folder().filePath("macs"), "02:4B:7D:00:30:00-02:4B:7D:00:30:FF\n");
    QVERIFY(!m_pool.isEmpty());
}

void TestLedger::addKinds()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
}

// A new ledger of `kind`; skips the case where PostgreSQL cannot run here.
QString TestLedger::ledgerOf(const QString &kind)
{
    if (kind == QLatin1String("postgresql") && !m_fixture.hasServer())
        return QString();
    QString error;
    const QString ledger = m_fixture.newLedger(kind, &error);
    if (ledger.isEmpty())
        qWarning("%s", qPrintable(error));
    return ledger;
}

void TestLedger::ledgerNotThere_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("ledger"); // MISSING: a mistyped name; EMPTY: a database without the schema
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errorPart");
    QTest::newRow("sqlite, mistyped") << "sqlite" << "MISSING" << 66 << "no such ledger";
    QTest::newRow("sqlite, no schema") << "sqlite" << "EMPTY" << 66 << "holds no ledger";
    QTest::newRow("sqlite, not a database") << "sqlite" << "TEXT" << 74 << "file is not a database";
    QTest::newRow("sqlite, /dev/full") << "sqlite" << "/dev/full" << 74 << "not a regular file";
    QTest::newRow("postgresql, mistyped") << "postgresql" << "MISSING" << 66 << "does not exist";
    QTest::newRow("postgresql, no schema") << "postgresql" << "EMPTY" << 66 << "holds no ledger";
    QTest::newRow("postgresql, no server")
        << "postgresql" << "postgresql://hvtk@127.0.0.1:1/ledger" << 74 << "127.0.0.1";
}

// Exit 66 or 74 naming the ledger; no file is made and nothing is sent.
void TestLedger::ledgerNotThere()
{
    QFETCH(QString, kind);
    QFETCH(QString, ledger);
    QFETCH(int, exitCode);
    QFETCH(QString, errorPart);
    if (kind == QLatin1String("postgresql") && !m_fixture.hasServer())
        QSKIP("no PostgreSQL server here");
    SimulatorThread sim;
    QVERIFY(LineUnits::add(sim, {"192.168.0.21:HV4K wrong-control-mac"}));
    QString error;
    if (ledger == QLatin1String("MISSING")) {
        ledger = m_fixture.missingLedger(kind);
    } else if (ledger == QLatin1String("TEXT")) {
        ledger = writeFile(m_fixture.folder().filePath("notes.txt"), "not a ledger\n");
    } else if (ledger == QLatin1String("EMPTY")) {
        if (kind == QLatin1String("sqlite")) {
            ledger = m_fixture.folder().filePath("empty.db");
            QVERIFY(writeFile(ledger, QByteArray()) == ledger);
        } else {
            QVERIFY2(m_fixture.server().createDatabase("empty", &error), qPrintable(error));
            ledger = m_fixture.server().uri("empty");
        }
    }
    const QStringList files = m_fixture.folder().path().isEmpty() ? QStringList()
                                                                  : QDir(m_fixture.folder().path()).entryList();

    for (const QStringList &arguments :
         {QStringList{"--program", "--assembly", "HV4K", "--mac-pool", m_pool, "--ledger", ledger, "192.168.0.21"},
          QStringList{"--ledger", ledger, "192.168.0.21"}}) {
        const ProgramRun check = runCheck(arguments);
        QCOMPARE(check.exitCode, exitCode);
        QCOMPARE(check.out, QByteArray());
        QVERIFY2(check.err.startsWith("hvtk-check: " + ledger.toUtf8() + ": ") && check.err.contains(errorPart.toUtf8())
                     && check.err.count('\n') == 1,
                 check.err.constData());
    }
    QTest::qWait(100);
    QCOMPARE(sim.log().size(), 0);
    QCOMPARE(QDir(m_fixture.folder().path()).entryList(), files);
}

void TestLedger::uniqueAndRecorded_data()
{
    addKinds();
}

// .21 and .22 report one control MAC; .23 holds the MAC the ledger gave to
// another Dante MAC, that of .24. A plain check with the ledger finds all
// three out and records every unit; --program then gives each a MAC of its
// own from the master list, and .24 keeps its own.
void TestLedger::uniqueAndRecorded()
{
    QFETCH(QString, kind);
    const QString ledger = ledgerOf(kind);
    if (ledger.isEmpty())
        QSKIP("no ledger of this kind here");
    SimulatorThread sim;
    QVERIFY(LineUnits::add(sim, {"192.168.0.21:HV4K", "192.168.0.22:HV4K", "192.168.0.23:HV4K",
                                 "192.168.0.24:HV4K wrong-control-mac"}));
    const QString shared = LineUnits::controlMac(sim, QHostAddress("192.168.0.21"));
    QVERIFY(takeMac(sim, "192.168.0.22", shared));
    const QStringList program{"--program", "--assembly", "HV4K", "--mac-pool", m_pool, "--ledger", ledger, "--json"};
    const ProgramRun first = runCheck(program + QStringList{"192.168.0.24"});
    QCOMPARE(first.exitCode, 0);
    const QString macOf24 = unitsOf(first).at(0)["programmed"]["mac"].toString();
    QCOMPARE(macOf24, QStringLiteral("02:4B:7D:00:30:00"));
    QVERIFY(takeMac(sim, "192.168.0.23", macOf24));

    const ProgramRun check = runCheck({"--ledger", ledger, "--json", "--station", "line 2 / B", "--operator",
                                       "Ana", "192.168.0.21", "192.168.0.22", "192.168.0.23"});
    QCOMPARE(check.exitCode, 1);
    QVERIFY2(check.err.isEmpty(), check.err.constData());
    const QJsonArray units = unitsOf(check);
    const QString danteOf24 = LedgerRows::issued(ledger).value(0)["danteMac"].toString();
    QVERIFY(danteOf24.startsWith("00:1D:C1:"));
    const QHash<QString, QJsonArray> expected{
        {"192.168.0.21", QJsonArray{QStringLiteral("-MAC %1 IS ALSO ON 192.168.0.22.").arg(shared)}},
        {"192.168.0.22", QJsonArray{QStringLiteral("-MAC %1 IS ALSO ON 192.168.0.21.").arg(shared)}},
        {"192.168.0.23",
         QJsonArray{QStringLiteral("-MAC %1 WAS ISSUED TO ANOTHER UNIT (DANTE MAC %2).").arg(macOf24, danteOf24)}},
    };
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        const QJsonObject unit = unitNamed(units, it.key());
        QVERIFY2(unit["checklist"].toArray() == it.value(),
                 qPrintable(it.key() + ": " + QJsonDocument(unit["checklist"].toArray()).toJson(QJsonDocument::Compact)));
        QCOMPARE(unit["ready"].toBool(), false);
    }

    // Every unit judged is a row of the records, of this run and station.
    const QList<QJsonObject> records = LedgerRows::records(ledger);
    QCOMPARE(records.size(), 4);
    QCOMPARE(records[0]["station"].toString(), QSysInfo::machineHostName());
    const QString runId = records[1]["run_id"].toString();
    QVERIFY(runId != records[0]["run_id"].toString());
    for (int i = 1; i < 4; ++i) {
        const QJsonObject row = records[i];
        QJsonObject record = row["record"].toObject();
        const QJsonObject printed = unitNamed(units, row["address"].toString());
        QCOMPARE(row["run_id"].toString(), runId);
        QCOMPARE(row["station"].toString(), QStringLiteral("line 2 / B"));
        QCOMPARE(row["operator"].toString(), QStringLiteral("Ana"));
        QVERIFY(!row["version"].toString().isEmpty());
        QCOMPARE(row["judged_at"].toString(), record.take("time").toString());
        QVERIFY(QDateTime::fromString(row["judged_at"].toString(), Qt::ISODateWithMs).isValid());
        QCOMPARE(record, printed);
        QCOMPARE(row["ready"].toInt(), printed["ready"].toBool() ? 1 : 0);
        QCOMPARE(row["model"].toString(), QStringLiteral("HV4K"));
        QCOMPARE(row["control_mac"].toString(), printed["controlMac"].toString());
        QCOMPARE(row["dante_mac"].toString(), printed["danteMac"].toString());
        QCOMPARE(QJsonDocument::fromJson(row["checklist"].toString().toUtf8()).array(), printed["checklist"].toArray());
        QCOMPARE(row["programming_failure"].toString(), QString());
    }

    // With --program each of the three gets a MAC of the list; .24 keeps its own.
    sim.clearLog();
    const ProgramRun programmed =
        runCheck(program + QStringList{"192.168.0.21", "192.168.0.22", "192.168.0.23", "192.168.0.24"});
    QCOMPARE(programmed.exitCode, 0);
    QSet<QString> held;
    for (int last = 21; last <= 24; ++last)
        held << LineUnits::controlMac(sim, QHostAddress(QStringLiteral("192.168.0.%1").arg(last)));
    QCOMPARE(held.size(), 4);
    QCOMPARE(LineUnits::commandsTo(sim.log(), QHostAddress("192.168.0.24")), QList<QByteArray>());
    const QList<QJsonObject> issued = LedgerRows::issued(ledger);
    QCOMPARE(issued.size(), 4);
    const QStringList macs = macsOf(issued);
    QCOMPARE(QSet<QString>(macs.begin(), macs.end()), held);
    QCOMPARE(LedgerRows::count(ledger, "unit_records"), 8);
    QCOMPARE(LedgerRows::count(ledger, "unit_claims"), 0); // lapsed with the run
}

void TestLedger::refusedAndUnreadMacs_data()
{
    addKinds();
}

// A refused MAC is never offered again, to the unit that refused it or to
// another. .32 and .33 report one Dante MAC outside the vendor's range, so it
// tells nothing about which unit is which: neither may be given the MAC the
// other was given.
void TestLedger::refusedAndUnreadMacs()
{
    QFETCH(QString, kind);
    const QString ledger = ledgerOf(kind);
    if (ledger.isEmpty())
        QSKIP("no ledger of this kind here");
    SimulatorThread sim;
    QVERIFY(LineUnits::add(sim, {"192.168.0.31:HV4K wrong-control-mac refuse-mac",
                                 "192.168.0.32:HV4K wrong-control-mac wrong-dante-mac",
                                 "192.168.0.33:HV4K wrong-control-mac wrong-dante-mac",
                                 "192.168.0.34:HV4K wrong-control-mac"}));
    UnitStatus of32;
    QVERIFY(sim.withUnit(QHostAddress("192.168.0.32"), [&](SimulatedUnit &u) { of32 = u.status(); }));
    const QString unread = of32.danteMacText;
    QVERIFY(sim.withUnit(QHostAddress("192.168.0.33"), [&](SimulatedUnit &u) {
        u.updateStatus([&](UnitStatus &s) {
            s.danteMac = of32.danteMac;
            s.danteMacText = of32.danteMacText;
        });
    }));
    const QStringList program{"--program", "--assembly", "HV4K", "--mac-pool", m_pool, "--ledger", ledger, "--json"};

    // Refused twice: two MACs, each once, both marked refused.
    for (int run = 0; run < 2; ++run)
        QCOMPARE(runCheck(program + QStringList{"192.168.0.31"}).exitCode, 1);
    const QList<QString> offered = LineUnits::macsSent(sim.log()).values("192.168.0.31");
    QCOMPARE(offered.size(), 2);
    QVERIFY2(offered[0] != offered[1], qPrintable(offered[0]));
    // The next unit gets neither.
    const ProgramRun next = runCheck(program + QStringList{"192.168.0.34"});
    QCOMPARE(next.exitCode, 0);
    const QString macOf34 = unitsOf(next).at(0)["programmed"]["mac"].toString();
    QVERIFY(!offered.contains(macOf34));

    // The units without a Dante MAC of their own, one after the other.
    QCOMPARE(runCheck(program + QStringList{"192.168.0.32"}).exitCode, 1);
    QCOMPARE(runCheck(program + QStringList{"192.168.0.33"}).exitCode, 1);
    const QString macOf32 = LineUnits::controlMac(sim, QHostAddress("192.168.0.32"));
    const QString macOf33 = LineUnits::controlMac(sim, QHostAddress("192.168.0.33"));
    QVERIFY2(macOf32 != macOf33, qPrintable(macOf32));

    QList<QJsonObject> rows = LedgerRows::issued(ledger);
    QCOMPARE(rows.size(), 5);
    const QStringList macs = macsOf(rows);
    QCOMPARE(QSet<QString>(macs.begin(), macs.end()).size(), 5);
    QCOMPARE(rows[0]["outcome"].toString(), QStringLiteral("refused"));
    QCOMPARE(rows[1]["outcome"].toString(), QStringLiteral("refused"));
    QCOMPARE(rows[1]["reason"].toString(),
             QStringLiteral("E16: Invalid MAC (mismatch in Vendor range)"));
    QCOMPARE(rows[3]["read"].toBool(), false);
    QCOMPARE(rows[3]["danteMac"].toString(), unread);
    QCOMPARE(rows[4]["danteMac"].toString(), unread);
}

void TestLedger::importOldLedger_data()
{
    addKinds();
}

// A JSON-lines ledger of the earlier version, its last line torn by a power
// cut: every MAC it names stays used, the unit of a "programmed" line keeps
// its MAC, a MAC its unit refused stays refused; a second import adds nothing.
void TestLedger::importOldLedger()
{
    QFETCH(QString, kind);
    const QString ledger = ledgerOf(kind);
    if (ledger.isEmpty())
        QSKIP("no ledger of this kind here");
    SimulatorThread sim;
    QVERIFY(LineUnits::add(sim, {"192.168.0.61:HV4K wrong-control-mac", "192.168.0.62:HV4K wrong-control-mac"}));
    QString danteOf61;
    QVERIFY(sim.withUnit(QHostAddress("192.168.0.61"), [&](SimulatedUnit &u) { danteOf61 = u.status().danteMacText; }));
    const QByteArray old =
        R"({"time":"2026-11-02T08:00:00.000Z","mac":"02:4B:7D:00:30:00","danteMac":")" + danteOf61.toLatin1()
        + R"(","address":"192.168.0.61","model":"HV4K","station":"old","outcome":"programmed"})" "\n"
        R"({"time":"2026-11-02T08:01:00.000Z","mac":"02:4B:7D:00:30:01","danteMac":"00:1D:C1:07:00:99","address":"192.168.0.9","model":"HV4K","station":"old","outcome":"programmed"})" "\n"
        R"({"time":"2026-11-02T08:01:02.000Z","mac":"02:4B:7D:00:30:01","danteMac":"00:1D:C1:07:00:99","address":"192.168.0.9","model":"HV4K","station":"old","outcome":"failed","reason":"Status: Failed [E16]"})" "\n"
        R"({"time":"2026-11-02T08:02:00.000Z","mac":"02:4B:7D:00:30:02","danteMac":"00:1D:C1:0)";
    const QString file = writeFile(m_fixture.folder().filePath(kind + ".jsonl"), old);

    const ProgramRun imported = runCheck({"--import-ledger", file, "--ledger", ledger});
    QCOMPARE(imported.exitCode, 0);
    QVERIFY2(imported.err.startsWith("hvtk-check: " + file.toUtf8() + ":4: ") && imported.err.count('\n') == 1,
             imported.err.constData());
    QCOMPARE(imported.out, file.toUtf8() + ": 3 MAC(s) read, 3 new in " + ledger.toUtf8() + "\n");
    const QList<QJsonObject> rows = LedgerRows::issued(ledger);
    QCOMPARE(macsOf(rows), (QStringList{"02:4B:7D:00:30:00", "02:4B:7D:00:30:01", "02:4B:7D:00:30:02"}));
    QCOMPARE(rows[0]["outcome"].toString(), QStringLiteral("imported"));
    QCOMPARE(rows[0]["danteMac"].toString(), danteOf61);
    QCOMPARE(rows[0]["read"].toBool(), true);
    QCOMPARE(rows[1]["outcome"].toString(), QStringLiteral("refused"));
    QCOMPARE(rows[2]["outcome"].toString(), QStringLiteral("imported"));
    const ProgramRun again = runCheck({"--import-ledger", file, "--ledger", ledger});
    QCOMPARE(again.exitCode, 0);
    QVERIFY2(again.out.endsWith(": 3 MAC(s) read, 0 new in " + ledger.toUtf8() + "\n"), again.out.constData());

    // .61 gets its MAC again; .62 the first MAC the old ledger did not name.
    const ProgramRun programmed = runCheck({"--program", "--assembly", "HV4K", "--mac-pool", m_pool, "--ledger",
                                            ledger, "192.168.0.61", "192.168.0.62"});
    QCOMPARE(programmed.exitCode, 0);
    QCOMPARE(LineUnits::controlMac(sim, QHostAddress("192.168.0.61")), QStringLiteral("02:4B:7D:00:30:00"));
    QCOMPARE(LineUnits::controlMac(sim, QHostAddress("192.168.0.62")), QStringLiteral("02:4B:7D:00:30:03"));
    QCOMPARE(LedgerRows::issued(ledger).size(), 4);
}

// SIGTERM in the middle of a run: nothing more is sent; the unit waiting out
// its restart pause is reported, recorded and in the ledger as not judged,
// with what it was sent; exit 143.
void TestLedger::stoppedBySignal()
{
    const QString ledger = ledgerOf("sqlite");
    QVERIFY(!ledger.isEmpty());
    SimulatorThread sim;
    QVERIFY(LineUnits::add(sim, {"192.168.0.71:HV32K wrong-control-mac", "192.168.0.72:HV4K wrong-control-mac"}));
    const QString record = m_fixture.folder().filePath("stopped.jsonl");
    QProcess process;
    process.start(Program, {"--program", "--assembly", "HV4K", "--mac-pool", m_pool, "--ledger", ledger, "--json",
                            "--record", record, "192.168.0.71", "192.168.0.72"});
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!LineUnits::commandsTo(sim.log(), QHostAddress("192.168.0.71")).isEmpty()
                                 && LineUnits::macsSent(sim.log()).contains("192.168.0.72"),
                             10000);
    QTest::qWait(500);
    process.terminate();
    const QDateTime stoppedAt = QDateTime::currentDateTimeUtc();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 143);
    for (const SimDatagram &d : sim.log())
        QVERIFY2(d.direction != SimDatagram::In || d.time < stoppedAt.addMSecs(100), d.data.constData());

    const QJsonArray units = QJsonDocument::fromJson(process.readAllStandardOutput())["units"].toArray();
    QCOMPARE(units.size(), 2);
    const QJsonObject stopped = unitNamed(units, "192.168.0.71");
    QCOMPARE(stopped["interrupted"].toBool(), true);
    QCOMPARE(stopped["ready"].toBool(), false);
    QCOMPARE(stopped["sent"].toObject(), (QJsonObject{{"assembly", "HV4K"}}));
    QCOMPARE(stopped["programmed"].toObject(), (QJsonObject{{"assembly", "HV4K"}}));
    const QList<QJsonObject> rows = LedgerRows::records(ledger);
    QCOMPARE(rows.size(), 2);
    QFile lines(record);
    QVERIFY(lines.open(QIODevice::ReadOnly));
    QCOMPARE(lines.readAll().count('\n'), 2);
    for (const QJsonObject &row : rows) {
        QJsonObject recorded = row["record"].toObject();
        recorded.remove("time");
        QCOMPARE(recorded, unitNamed(units, row["address"].toString()));
    }
    QCOMPARE(LedgerRows::count(ledger, "unit_claims"), 0);
}

// The ledger on a full file system: the units that needed a MAC fail with
// SQLite's own message, nothing is sent them, exit 74; once there is room the
// ledger is read as before and nothing is handed out twice. A tmpfs of its
// own where this suite may mount one (root); skipped otherwise.
void TestLedger::fullDisk()
{
    QTemporaryDir mountPoint;
    const QByteArray point = QFile::encodeName(mountPoint.path());
    if (::mount("tmpfs", point.constData(), "tmpfs", 0, "size=256k") != 0)
        QSKIP("no tmpfs can be mounted here (needs root)");
    const auto unmount = qScopeGuard([&] { ::umount2(point.constData(), MNT_DETACH); });
    const QString ledger = mountPoint.filePath("ledger.db");
    const ProgramRun created = runCheck({"--create-ledger", "--ledger", ledger});
    QCOMPARE(created.exitCode, 0);
    QCOMPARE(created.out, ledger.toUtf8() + ": ledger created (schema version 1)\n");
    // Fills what is left.
    QFile filler(mountPoint.filePath("filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
    filler.close();

    SimulatorThread sim;
    QVERIFY(LineUnits::add(sim, {"192.168.0.41:HV4K wrong-control-mac", "192.168.0.42:HV4K wrong-control-mac"}));
    const QStringList program{"--program", "--assembly", "HV4K", "--mac-pool", m_pool, "--ledger", ledger,
                              "--json", "192.168.0.41", "192.168.0.42"};
    const ProgramRun full = runCheck(program);
    QCOMPARE(full.exitCode, 74);
    QVERIFY2(full.err.contains(ledger.toUtf8() + ": database or disk is full"), full.err.constData());
    for (const QJsonValue &unit : unitsOf(full)) {
        QCOMPARE(unit["ready"].toBool(), false);
        QVERIFY2(unit["programmingFailure"].toString().contains("database or disk is full"),
                 qPrintable(unit["programmingFailure"].toString()));
    }
    QCOMPARE(LineUnits::macsSent(sim.log()).size(), 0);

    QVERIFY(filler.remove());
    QCOMPARE(LedgerRows::issued(ledger).size(), 0);
    const ProgramRun roomy = runCheck(program);
    QCOMPARE(roomy.exitCode, 0);
    const QStringList macs = macsOf(LedgerRows::issued(ledger));
    QCOMPARE(macs.size(), 2);
    QCOMPARE(QSet<QString>(macs.begin(), macs.end()).size(), 2);
}

// .51 needs only a MAC and gets it at once; .52 is another model, so its MAC
// comes after the 12 s restart pause, when the server is gone: .52 fails with
// the server's message, nothing is sent it, exit 74. With the server back,
// .51 keeps its MAC and .52 gets another.
void TestLedger::serverStoppedMidRun()
{
    if (!m_fixture.hasServer())
        QSKIP("no PostgreSQL server here");
    const QString ledger = ledgerOf("postgresql");
    QVERIFY(!ledger.isEmpty());
    SimulatorThread sim;
    QVERIFY(LineUnits::add(sim, {"192.168.0.51:HV4K wrong-control-mac", "192.168.0.52:HV32K wrong-control-mac"}));
    const QStringList program{"--program", "--assembly", "HV4K", "--mac-pool", m_pool, "--ledger", ledger,
                              "--json", "192.168.0.51", "192.168.0.52"};
    QString error;
    bool stopped = false;
    const ProgramRun broken = runProgram(Program, program, 40000, [&] {
        if (!stopped && LineUnits::macsSent(sim.log()).size() == 1) {
            stopped = true;
            QVERIFY2(m_fixture.server().stop(&error), qPrintable(error));
        }
    });
    QVERIFY(stopped);
    QVERIFY2(m_fixture.server().restart(&error), qPrintable(error));
    QCOMPARE(broken.exitCode, 74);
    QVERIFY2(broken.err.startsWith("hvtk-check: " + ledger.toUtf8() + ": "), broken.err.constData());
    const QJsonObject failed = unitNamed(unitsOf(broken), "192.168.0.52");
    QCOMPARE(failed["ready"].toBool(), false);
    QVERIFY(!failed["programmingFailure"].toString().isEmpty());
    QCOMPARE(failed["programmed"]["assembly"].toString(), QStringLiteral("HV4K"));
    QCOMPARE(LineUnits::macsSent(sim.log()).values("192.168.0.52"), QList<QString>());
    const QString macOf51 = LineUnits::controlMac(sim, QHostAddress("192.168.0.51"));
    QCOMPARE(macsOf(LedgerRows::issued(ledger)), QStringList{macOf51});

    sim.clearLog();
    const ProgramRun again = runCheck(program);
    QCOMPARE(again.exitCode, 0);
    QCOMPARE(LineUnits::commandsTo(sim.log(), QHostAddress("192.168.0.51")), QList<QByteArray>());
    QCOMPARE(LineUnits::controlMac(sim, QHostAddress("192.168.0.51")), macOf51);
    const QStringList macs = macsOf(LedgerRows::issued(ledger));
    QCOMPARE(macs.size(), 2);
    QCOMPARE(macs[1], LineUnits::controlMac(sim, QHostAddress("192.168.0.52")));
    QVERIFY(macs[0] != macs[1]);
}

QTEST_GUILESS_MAIN(TestLedger)
#include "tst_ledger.moc"
