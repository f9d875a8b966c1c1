// hvtk-check over many simulated units: one hvtk-unit-sim process runs the
// units, one hvtk-check run checks them all. Run inside a private LAN whose
// subnet holds the units, for example
//   scripts/private-lan --host 10.0.0.17/22 -- build/bench/bench_check 1000 5
// Units get the addresses after the workstation's, 10.0.0.18 onwards; every
// tenth has a DIP switch on, so 90 % must come out ready and 10 % not.
//   scripts/private-lan --host 10.0.0.17/22 -- build/bench/bench_check --program 100
// runs hvtk-check --program once over units that are all programmed as HV4K
// with a control MAC the checklist rejects, for a line that builds HV32K: each
// needs the model, its defaults-and-restart pause and a MAC of the master list.
#include "benchprocess.h"
#include "gate/ledgerconnection.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

using BenchProcess::out;
using BenchProcess::workstation;

struct Outcome
{
    BenchProcess::TimedRun run;
    int answered = 0;
    int ready = 0;
    int notReadyAsExpected = 0;
};

Outcome check(const QStringList &arguments)
{
    Outcome outcome{BenchProcess::runTimed(QStringLiteral(HVTK_CHECK_PROGRAM), arguments, 60000)};
    for (const QJsonValue &value : outcome.run.units) {
        const QJsonObject unit = value.toObject();
        outcome.answered += unit.value("answered").toBool();
        outcome.ready += unit.value("ready").toBool();
        outcome.notReadyAsExpected += unit.value("conditions").toArray() == QJsonArray{"DipSwitchesNotOff"};
    }
    return outcome;
}

void report(const QString &what, const Outcome &o)
{
    const BenchProcess::TimedRun &r = o.run;
    out() << what << ": exit " << r.exitCode << ", " << r.units.size() << " units, " << o.answered << " answered, "
          << o.ready << " ready, " << o.notReadyAsExpected << " with only the DIP switch line; wall "
          << r.wallMs << " ms (" << QString::number(double(r.wallMs) / qMax(1, int(r.units.size())), 'f', 2)
          << " ms per unit), CPU " << QString::number(r.cpuSeconds, 'f', 3) << " s; per unit median "
          << r.medianUnitMs << " ms, slowest " << r.slowestUnitMs << " ms\n";
    out().flush();
}

bool startSimulator(QProcess &simulator, const QString &unitsFile, int count)
{
    return BenchProcess::startSimulator(simulator, QStringLiteral(HVTK_UNIT_SIM), unitsFile, count);
}

// The floor of a run that programs a model: the defaults-and-restart pause
// after the acknowledgement, then two polls for the verdict (the first at once,
// the second at the next 300 ms tick: up to 600 ms with the MAC's round trip).
constexpr int DefaultsPauseMs = 12000;
constexpr int TwoPollsMs = 2 * 300;

int programBench(int count)
{
    QTemporaryDir dir;
    QFile unitsFile(dir.filePath(QStringLiteral("units.txt")));
    QFile pool(dir.filePath(QStringLiteral("macs.txt")));
    if (!unitsFile.open(QIODevice::WriteOnly) || !pool.open(QIODevice::WriteOnly))
        return 1;
    pool.write("02:4B:7D:00:40:00-02:4B:7D:00:7F:FF\n");
    pool.close();
    QStringList addresses;
    for (int i = 0; i < count; ++i) {
        const QString address = QHostAddress(workstation() + 1 + quint32(i)).toString();
        addresses << address;
        unitsFile.write((address + QStringLiteral(":HV4K:2.09 wrong-control-mac\n")).toUtf8());
    }
    unitsFile.close();
    QProcess simulator;
    if (!startSimulator(simulator, unitsFile.fileName(), count))
        return 1;
    out() << count << " simulated units (HV4K, control MAC rejected), " << addresses.first() << " to "
          << addresses.last() << "; the line builds HV32K\n";

    const QString ledger = dir.filePath(QStringLiteral("ledger.db"));
    {
        LedgerConnection connection;
        QString error;
        if (connection.create(ledger, &error) != LedgerConnection::Status::Open) {
            out() << error << "\n";
            return 1;
        }
    }
    const BenchProcess::TimedRun run = BenchProcess::runTimed(
        QStringLiteral(HVTK_CHECK_PROGRAM),
        QStringList{"--program", "--assembly", "HV32K", "--mac-pool", pool.fileName(), "--ledger", ledger, "--json",
                    "--timeout", "10"}
            + addresses,
        120000);
    if (!run.finished)
        return 1;
    const QJsonArray &units = run.units;
    int ready = 0;
    int programmedBoth = 0;
    for (const QJsonValue &unit : units) {
        ready += unit["ready"].toBool();
        programmedBoth += unit["programmed"]["assembly"] == QJsonValue("HV32K")
            && !unit["programmed"]["mac"].toString().isEmpty();
    }
    QSet<QString> macs;
    int ledgerLines = 0;
    {
        LedgerConnection connection;
        QString error;
        connection.open(ledger, &error);
        QSqlQuery rows(connection.database());
        rows.exec(QStringLiteral("SELECT mac FROM issued_macs WHERE outcome = 'programmed'"));
        while (rows.next()) {
            ++ledgerLines;
            macs << rows.value(0).toString();
        }
    }
    out() << "hvtk-check --program: exit " << run.exitCode << ", " << units.size() << " units, " << ready
          << " ready, " << programmedBoth << " given model and MAC; ledger " << ledgerLines << " rows, "
          << macs.size() << " distinct MACs; wall " << run.wallMs << " ms = the " << DefaultsPauseMs << " ms pause + "
          << run.wallMs - DefaultsPauseMs << " ms (two polls: up to " << TwoPollsMs << " ms), CPU "
          << QString::number(run.cpuSeconds, 'f', 3) << " s; per unit median " << run.medianUnitMs << " ms, slowest "
          << run.slowestUnitMs << " ms\n";
    out().flush();
    simulator.kill();
    simulator.waitForFinished();
    const bool noneLost = units.size() == count && ready == count && programmedBoth == count
        && ledgerLines == count && macs.size() == count;
    return run.exitCode == 0 && noneLost ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "--program") {
        if (workstation() == 0) {
            out() << "no IPv4 address: run inside scripts/private-lan --host 10.0.0.17/22\n";
            return 1;
        }
        return programBench(argc > 2 ? atoi(argv[2]) : 100);
    }
    const int count = argc > 1 ? atoi(argv[1]) : 1000;
    const int runs = argc > 2 ? atoi(argv[2]) : 3;
    const quint32 first = workstation() + 1;
    if (workstation() == 0) {
        out() << "no IPv4 address: run inside scripts/private-lan --host 10.0.0.17/22\n";
        return 1;
    }

    QTemporaryDir dir;
    QFile unitsFile(dir.filePath(QStringLiteral("units.txt")));
    if (!unitsFile.open(QIODevice::WriteOnly))
        return 1;
    QStringList addresses;
    for (int i = 0; i < count; ++i) {
        const QString address = QHostAddress(first + quint32(i)).toString();
        addresses << address;
        unitsFile.write((address + (i % 10 == 9 ? QStringLiteral(":TK12X:2.12 dip-on=2\n")
                                                : QStringLiteral(":HV4K:2.09\n")))
                            .toUtf8());
    }
    unitsFile.close();

    QProcess simulator;
    if (!startSimulator(simulator, unitsFile.fileName(), count))
        return 1;
    out() << count << " simulated units, " << addresses.first() << " to " << addresses.last() << "\n";

    bool allGood = true;
    for (int run = 1; run <= runs; ++run) {
        const Outcome named = check(QStringList{QStringLiteral("--json")} + addresses);
        report(QStringLiteral("run %1, %2 addresses named").arg(run).arg(count), named);
        allGood = allGood && named.answered == count && named.ready + named.notReadyAsExpected == count;
    }
    const Outcome discovered = check({QStringLiteral("--json"), QStringLiteral("--discover"),
                                      QStringLiteral("--mask"), QStringLiteral("0.0.0.0")});
    report(QStringLiteral("--discover --mask 0.0.0.0"), discovered);
    allGood = allGood && discovered.answered == count;

    simulator.kill();
    simulator.waitForFinished();
    return allGood ? 0 : 1;
}
