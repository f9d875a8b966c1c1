// Stations on one ledger, on SQLite and on a PostgreSQL 15 server the suite
// starts: stations started at the same moment, stations killed (kill -9) at
// random moments of their runs, two stations discovering one subnet, and
// three stations in three private LANs of their own on one database.
// Afterwards the ledger is read back and compared with what the simulated
// units hold: no MAC twice, every MAC a unit holds in the ledger for it.
#include "support/ledgerfixture.h"
#include "support/programrun.h"
#include "support/simulatorthread.h"

#include "channel/commandtext.h"
#include "monitor/assemblyprofiles.h"
#include "sim/simulatedunit.h"

#include <QtTest>

#include <signal.h>

namespace {

const QString Program = QStringLiteral(HVTK_CHECK_PROGRAM);
// Rounds of two stations killed at random moments, per ledger kind: 6 in the
// suite (24 kills in all); HVTK_LEDGER_KILL_ROUNDS=25 (at most, for the
// addresses of one /24) gives the hundred kills over both kinds.
int killRounds()
{
    const int rounds = qEnvironmentVariableIntValue("HVTK_LEDGER_KILL_ROUNDS");
    return rounds > 0 ? qMin(rounds, 25) : 6;
}

QString addressOf(int last)
{
    return QStringLiteral("192.168.0.%1").arg(last);
}

// What the ledger and the units hold together must hold: no MAC twice in the
// ledger or in the units, each unit's MAC from the master list in the ledger
// for this unit's Dante MAC. The first fault, or an empty text.
QString ledgerFault(SimulatorThread &sim, const QString &ledger, const QList<int> &units)
{
    const QList<QJsonObject> rows = LedgerRows::issued(ledger);
    if (LedgerRows::count(ledger, "issued_macs") != rows.size())
        return QStringLiteral("the ledger cannot be read");
    QHash<QString, QString> danteOf;
    for (const QJsonObject &row : rows) {
        const QString mac = row["mac"].toString();
        if (danteOf.contains(mac))
            return QStringLiteral("%1 twice in the ledger").arg(mac);
        danteOf.insert(mac, row["danteMac"].toString());
    }
    QHash<QString, int> holder;
    for (const int last : units) {
        UnitStatus status;
        sim.withUnit(QHostAddress(addressOf(last)), [&](SimulatedUnit &u) { status = u.status(); });
        const QString mac = status.controlMacText;
        if (holder.contains(mac))
            return QStringLiteral("%1 in .%2 and .%3").arg(mac).arg(holder[mac]).arg(last);
        holder.insert(mac, last);
        if (!mac.startsWith(QLatin1String("02:4B:7D:00:60:")))
            continue; // not programmed yet
        if (!danteOf.contains(mac))
            return QStringLiteral(".%1 holds %2, which the ledger does not").arg(last).arg(mac);
        if (danteOf[mac] != status.danteMacText)
            return QStringLiteral("the ledger gave %1 to %2, .%3 holds it").arg(mac, danteOf[mac]).arg(last);
    }
    return QString();
}

} // namespace

class TestLedgerStations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void stationsAtOnce_data();
    void stationsAtOnce();
    void stationsKilled_data();
    void stationsKilled();
    void twoStationsDiscover_data();
    void twoStationsDiscover();
    void threeLansOneDatabase();

private:
    void addKinds();
    QString ledgerOf(const QString &kind);
    QStringList program(const QString &ledger, const QString &station) const;

    LedgerFixture m_fixture;
    QString m_pool;
};

void TestLedgerStations::initTestCase()
{
    QString error;
    if (!m_fixture.startServer(&error))
        qWarning("PostgreSQL cases are skipped: %s", qPrintable(error));
    QFile pool(m_fixture.folder().filePath("macs"));
    QVERIFY(pool.open(QIODevice::WriteOnly));
    pool.write("02:4B:7D:00:60:00-02:4B:7D:00:60:FF\n");
    m_pool = pool.fileName();
}

void TestLedgerStations::addKinds()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
}

QString TestLedgerStations::ledgerOf(const QString &kind)
{
    if (kind == QLatin1String("postgresql") && !m_fixture.hasServer())
        return QString();
    QString error;
    const QString ledger = m_fixture.newLedger(kind, &error);
    if (ledger.isEmpty())
        qWarning("%s", qPrintable(error));
    return ledger;
}

QStringList TestLedgerStations::program(const QString &ledger, const QString &station) const
{
    return {"--program", "--assembly", "HV4K", "--mac-pool", m_pool, "--ledger", ledger, "--station", station};
}

void TestLedgerStations::stationsAtOnce_data()
{
    addKinds();
}

// Three stations started at the same moment, four units each.
void TestLedgerStations::stationsAtOnce()
{
    QFETCH(QString, kind);
    const QString ledger = ledgerOf(kind);
    if (ledger.isEmpty())
        QSKIP("no ledger of this kind here");
    SimulatorThread sim;
    QList<int> units;
    QStringList lines;
    for (int last = 21; last <= 32; ++last) {
        units << last;
        lines << addressOf(last) + QStringLiteral(":HV4K wrong-control-mac");
    }
    QVERIFY(LineUnits::add(sim, lines));
    std::vector<std::unique_ptr<QProcess>> stations;
    for (int station = 0; station < 3; ++station) {
        QStringList arguments = program(ledger, QStringLiteral("station %1").arg(station));
        for (int i = 0; i < 4; ++i)
            arguments << addressOf(21 + 4 * station + i);
        stations.push_back(std::make_unique<QProcess>());
        stations.back()->start(Program, arguments);
    }
    for (auto &station : stations) {
        QVERIFY(station->waitForFinished(30000));
        QCOMPARE(station->exitStatus(), QProcess::NormalExit);
        QVERIFY2(station->exitCode() == 0, station->readAllStandardError().constData());
    }
    QCOMPARE(LedgerRows::issued(ledger).size(), 12);
    const QString fault = ledgerFault(sim, ledger, units);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    for (const int last : units)
        QVERIFY(LineUnits::controlMac(sim, QHostAddress(addressOf(last))).startsWith("02:4B:7D:00:60:"));
}

void TestLedgerStations::stationsKilled_data()
{
    addKinds();
}

// Each round, two stations program three new units each and are killed at a
// random moment of their runs; after each round the ledger and the units are
// read back. Then each station, started again, finishes what was left.
void TestLedgerStations::stationsKilled()
{
    QFETCH(QString, kind);
    const QString ledger = ledgerOf(kind);
    if (ledger.isEmpty())
        QSKIP("no ledger of this kind here");
    SimulatorThread sim;
    QList<int> units;
    QStringList lines;
    for (int last = 100; last < 100 + 6 * killRounds(); ++last) {
        units << last;
        lines << addressOf(last) + QStringLiteral(":HV4K wrong-control-mac");
    }
    QVERIFY(LineUnits::add(sim, lines));
    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("kill moments seeded %u", seed);
    QRandomGenerator random(seed);
    for (int round = 0; round < killRounds(); ++round) {
        QProcess stations[2];
        qint64 killAtMs[2];
        for (int s = 0; s < 2; ++s) {
            QStringList arguments = program(ledger, QStringLiteral("station %1").arg(s));
            for (int i = 0; i < 3; ++i)
                arguments << addressOf(100 + 6 * round + 3 * s + i);
            killAtMs[s] = random.bounded(1200);
            stations[s].start(Program, arguments);
            QVERIFY(stations[s].waitForStarted());
        }
        QElapsedTimer clock;
        clock.start();
        while (stations[0].state() != QProcess::NotRunning || stations[1].state() != QProcess::NotRunning) {
            for (int s = 0; s < 2; ++s) {
                if (stations[s].state() != QProcess::NotRunning && clock.elapsed() >= killAtMs[s])
                    ::kill(pid_t(stations[s].processId()), SIGKILL);
            }
            QTest::qWait(5);
        }
        const QString fault = ledgerFault(sim, ledger, units);
        QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(fault)));
    }

    // Each station started again: its new run lifts the claims the killed
    // ones left, and it finishes their units.
    QProcess again[2];
    for (int s = 0; s < 2; ++s) {
        QStringList arguments = program(ledger, QStringLiteral("station %1").arg(s));
        for (int round = 0; round < killRounds(); ++round) {
            for (int i = 0; i < 3; ++i)
                arguments << addressOf(100 + 6 * round + 3 * s + i);
        }
        again[s].start(Program, arguments);
    }
    for (QProcess &station : again) {
        QVERIFY(station.waitForFinished(40000));
        QVERIFY2(station.exitCode() == 0, station.readAllStandardError().constData());
        QVERIFY(!station.readAllStandardOutput().contains("Programmed by station"));
    }
    const QString fault = ledgerFault(sim, ledger, units);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    for (const int last : units)
        QVERIFY(LineUnits::controlMac(sim, QHostAddress(addressOf(last))).startsWith("02:4B:7D:00:60:"));
}

void TestLedgerStations::twoStationsDiscover_data()
{
    addKinds();
}

// Two stations discover the same six units at the same moment: each unit is
// programmed by one of them; the other shows "Programmed by station NAME."
// and does not count it.
void TestLedgerStations::twoStationsDiscover()
{
    QFETCH(QString, kind);
    const QString ledger = ledgerOf(kind);
    if (ledger.isEmpty())
        QSKIP("no ledger of this kind here");
    SimulatorThread sim;
    QList<int> units;
    QStringList lines;
    for (int last = 61; last <= 66; ++last) {
        units << last;
        lines << addressOf(last) + (last % 2 ? QStringLiteral(":HV4K wrong-control-mac")
                                              : QStringLiteral(":HV32K wrong-control-mac"));
    }
    QVERIFY(LineUnits::add(sim, lines));
    QProcess stations[2];
    for (int s = 0; s < 2; ++s)
        stations[s].start(Program, program(ledger, QStringLiteral("S%1").arg(s)) << "--discover");
    QByteArray out[2];
    for (int s = 0; s < 2; ++s) {
        QVERIFY(stations[s].waitForFinished(40000));
        out[s] = stations[s].readAllStandardOutput();
        QVERIFY2(stations[s].exitCode() == 0, stations[s].readAllStandardError().constData());
    }
    int counted = 0;
    for (int s = 0; s < 2; ++s) {
        const QRegularExpressionMatch summary =
            QRegularExpression("\n(\\d+) unit\\(s\\) checked: (\\d+) ready").match(QString::fromUtf8(out[s]));
        QVERIFY2(summary.hasMatch(), out[s].constData());
        QCOMPARE(summary.captured(1), summary.captured(2));
        counted += summary.captured(1).toInt();
    }
    QCOMPARE(counted, 6);
    const QList<SimDatagram> log = sim.log();
    for (const int last : units) {
        const QHostAddress unit(addressOf(last));
        QList<QByteArray> expected;
        if (last % 2 == 0)
            expected << CommandText::assembly(int(Assembly::names().indexOf("HV4K")));
        expected << LineUnits::controlMac(sim, unit).toLatin1() + "MC\r";
        // From one station only; a command not acknowledged yet goes again with the next poll.
        QList<QByteArray> commands;
        QSet<quint16> senders;
        for (const SimDatagram &d : log) {
            if (d.direction != SimDatagram::In || d.unitAddress != unit || d.data == CommandText::statusRequest()
                || d.data == CommandText::versionQuery())
                continue;
            senders << d.peerPort;
            if (commands.isEmpty() || commands.last() != d.data)
                commands << d.data;
        }
        QCOMPARE(commands, expected);
        QCOMPARE(senders.size(), 1);
        // The station that did not program it names the one that did, or
        // never saw it (restarting while it listened).
        const QByteArray block = unit.toString().toUtf8() + "  HV4K";
        const int programmedBy = out[0].startsWith(block) || out[0].contains("\n" + block) ? 0 : 1;
        const QByteArray other = out[1 - programmedBy];
        const QByteArray claimed =
            (unit.toString() + QStringLiteral("  Programmed by station S%1.\n").arg(programmedBy)).toUtf8();
        const bool seen = other.startsWith(unit.toString().toUtf8() + "  ")
            || other.contains("\n" + unit.toString().toUtf8() + "  ");
        QVERIFY2(!seen || other.startsWith(claimed) || other.contains("\n" + claimed),
                 (out[0] + "----\n" + out[1]).constData());
    }
    const QString fault = ledgerFault(sim, ledger, units);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QCOMPARE(LedgerRows::count(ledger, "unit_claims"), 0);
}

// Three lines, each a private LAN of its own (a network namespace inside the
// suite's) with 100 units on 10.20.N.0/24 in an hvtk-unit-sim and a station
// that programs them all; the stations reach the one PostgreSQL database
// through the server's Unix-domain socket, started at the same moment.
// Every unit leaves ready with a MAC of its own, the one the ledger holds
// for its Dante MAC: 300 units, 300 distinct MACs.
void TestLedgerStations::threeLansOneDatabase()
{
    if (!m_fixture.hasServer())
        QSKIP("no PostgreSQL server here");
    const QString ledger = ledgerOf(QStringLiteral("postgresql"));
    QVERIFY(!ledger.isEmpty());
    const QString viaSocket = ledger + QStringLiteral("?host=") + m_fixture.server().socketFolder();
    QFile pool(m_fixture.folder().filePath("macs-300"));
    QVERIFY(pool.open(QIODevice::WriteOnly));
    pool.write("02:4B:7D:00:70:00-02:4B:7D:00:71:FF\n");
    pool.close();

    constexpr int Lans = 3;
    constexpr int UnitsPerLan = 100;
    QProcess stations[Lans];
    for (int lan = 0; lan < Lans; ++lan) {
        const QString subnet = QStringLiteral("10.20.%1.").arg(lan + 1);
        QFile units(m_fixture.folder().filePath(QStringLiteral("lan%1.txt").arg(lan)));
        QVERIFY(units.open(QIODevice::WriteOnly));
        QStringList check{"--program", "--assembly", "HV4K", "--mac-pool", pool.fileName(), "--ledger", viaSocket,
                          "--station", QStringLiteral("line %1").arg(lan + 1), "--json"};
        for (int i = 0; i < UnitsPerLan; ++i) {
            const QString address = subnet + QString::number(100 + i);
            units.write((address + QStringLiteral(":HV4K wrong-control-mac restart=300\n")).toUtf8());
            check << address;
        }
        units.close();
        // The units live as long as the station runs.
        const QString script = QStringLiteral("\"$1\" --units \"$2\" >/dev/null 2>&1 & sim=$!; shift 2; "
                                              "\"$@\"; status=$?; kill $sim; wait $sim 2>/dev/null; exit $status");
        stations[lan].start(QStringLiteral(HVTK_PRIVATE_LAN),
                            QStringList{"--host", subnet + QStringLiteral("17/24"), "--", "sh", "-c", script, "lan",
                                        QStringLiteral(HVTK_UNIT_SIM), units.fileName(), Program}
                                + check);
    }
    QHash<QString, QString> danteOfMac; // as the units were judged after programming
    for (int lan = 0; lan < Lans; ++lan) {
        QVERIFY(stations[lan].waitForFinished(60000));
        const QByteArray err = stations[lan].readAllStandardError();
        if (stations[lan].exitCode() == 3)
            QSKIP("no private LAN can be made inside the suite's");
        QVERIFY2(stations[lan].exitCode() == 0, err.constData());
        const QJsonArray units = QJsonDocument::fromJson(stations[lan].readAllStandardOutput())["units"].toArray();
        QCOMPARE(units.size(), UnitsPerLan);
        for (const QJsonValue &unit : units) {
            const QString mac = unit["controlMac"].toString();
            QVERIFY(unit["ready"].toBool());
            QCOMPARE(unit["programmed"]["mac"].toString(), mac);
            QVERIFY2(!danteOfMac.contains(mac), qPrintable(mac + " twice"));
            danteOfMac.insert(mac, unit["danteMac"].toString());
        }
    }
    QCOMPARE(danteOfMac.size(), Lans * UnitsPerLan);
    const QList<QJsonObject> rows = LedgerRows::issued(ledger);
    QCOMPARE(rows.size(), Lans * UnitsPerLan);
    for (const QJsonObject &row : rows) {
        QCOMPARE(danteOfMac.value(row["mac"].toString()), row["danteMac"].toString());
        QCOMPARE(row["outcome"].toString(), QStringLiteral("programmed"));
    }
}

QTEST_GUILESS_MAIN(TestLedgerStations)
#include "tst_ledgerstations.moc"
