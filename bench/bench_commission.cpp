// hvtk-commission over a site of simulated units: one hvtk-unit-sim process
// runs the units, one hvtk-commission --apply --record run gives each a new
// control address, Dante address, names and station ID and verifies it there;
// every unit's "pushing" line is written and synced before its first link
// datagram. Run
// inside a private LAN whose subnet holds old and new addresses, for example
//   scripts/private-lan --host 10.0.0.17/22 -- build/bench/bench_commission 250 3 [--no-record]
// Units get the addresses after the workstation's, 10.0.0.18 onwards, and
// move 512 addresses up. The floor of a run is the units' restart time plus
// the 350 ms of spacing between the link datagrams plus one 300 ms poll.
#include "benchprocess.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace {

constexpr int RestartMs = 3000;
constexpr int FloorMs = RestartMs + 350 + 300;
constexpr quint32 Move = 512;

using BenchProcess::out;
using BenchProcess::workstation;

QString mac(quint32 address)
{
    return QString::asprintf("02:4B:7D:00:%02X:%02X", (address >> 8) & 0xFF, address & 0xFF);
}

// The plan that moves every unit `Move` addresses up (or back down).
QByteArray plan(const QList<quint32> &units, bool up)
{
    QByteArray text = "controlMac,controlIp,controlMask,controlGateway,localName,danteIp,danteMask,danteGateway,"
                      "danteName,qsysCoreIp,stationId\n";
    for (int i = 0; i < units.size(); ++i) {
        const quint32 now = up ? units[i] + Move : units[i];
        text += QStringLiteral("%1,%2,255.255.252.0,10.0.0.1,Room %3%4,172.16.%5.%6,255.255.0.0,0.0.0.0,"
                               "Room-%3%4,10.0.0.2,%7\n")
                    .arg(mac(units[i]), QHostAddress(now).toString())
                    .arg(i + 1)
                    .arg(up ? QString() : QStringLiteral("b"))
                    .arg((i + 10) / 250)
                    .arg((i + 10) % 250)
                    .arg(i + 1)
                    .toUtf8();
    }
    return text;
}

struct Outcome
{
    BenchProcess::TimedRun run;
    int commissioned = 0;
};

Outcome commission(const QStringList &arguments)
{
    Outcome outcome{BenchProcess::runTimed(QStringLiteral(HVTK_COMMISSION_PROGRAM), arguments, 120000)};
    for (const QJsonValue &value : outcome.run.units)
        outcome.commissioned += value.toObject().value("outcome").toString() == QLatin1String("commissioned");
    return outcome;
}

void report(const QString &what, const Outcome &o)
{
    const BenchProcess::TimedRun &r = o.run;
    out() << what << ": exit " << r.exitCode << ", " << o.commissioned << " of " << r.units.size()
          << " commissioned; wall " << r.wallMs << " ms, floor " << FloorMs << " ms, " << (r.wallMs - FloorMs)
          << " ms above it; per unit median " << r.medianUnitMs << " ms, slowest " << r.slowestUnitMs
          << " ms; CPU " << QString::number(r.cpuSeconds, 'f', 3) << " s\n";
    out().flush();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? atoi(argv[1]) : 250;
    const int runs = argc > 2 ? atoi(argv[2]) : 3;
    // "--no-record": the runs as before the record was written ahead, to compare.
    const bool recorded = !(argc > 3 && QByteArray(argv[3]) == "--no-record");
    if (workstation() == 0 || count < 1 || count > 500) {
        out() << "run inside scripts/private-lan --host 10.0.0.17/22 with at most 500 units\n";
        return 1;
    }
    const quint32 first = workstation() + 1;

    QTemporaryDir dir;
    QFile unitsFile(dir.filePath(QStringLiteral("units.txt")));
    if (!unitsFile.open(QIODevice::WriteOnly))
        return 1;
    QList<quint32> units;
    QStringList oldAddresses;
    QStringList newAddresses;
    for (int i = 0; i < count; ++i) {
        units << first + quint32(i);
        oldAddresses << QHostAddress(units.last()).toString();
        newAddresses << QHostAddress(units.last() + Move).toString();
        unitsFile.write(QStringLiteral("%1:%2 restart=%3\n")
                            .arg(oldAddresses.last(), i % 2 ? QStringLiteral("TK12X:2.12") : QStringLiteral("HV4K:2.09"))
                            .arg(RestartMs)
                            .toUtf8());
    }
    unitsFile.close();
    for (const bool up : {true, false}) {
        QFile planFile(dir.filePath(up ? QStringLiteral("up.csv") : QStringLiteral("down.csv")));
        if (!planFile.open(QIODevice::WriteOnly))
            return 1;
        planFile.write(plan(units, up));
    }

    QProcess simulator;
    if (!BenchProcess::startSimulator(simulator, QStringLiteral(HVTK_UNIT_SIM), unitsFile.fileName(), count))
        return 1;
    out() << count << " simulated units (HV4K and TK12X, restart " << RestartMs << " ms), " << oldAddresses.first()
          << " to " << oldAddresses.last() << "\n";

    // Up and back down again, so that every run moves every unit.
    bool allGood = true;
    for (int run = 1; run <= runs; ++run) {
        const bool up = run % 2 == 1;
        const QString record = dir.filePath(QStringLiteral("run%1.jsonl").arg(run));
        QStringList arguments{QStringLiteral("--apply"), QStringLiteral("--json")};
        if (recorded)
            arguments << QStringLiteral("--record") << record;
        arguments << dir.filePath(up ? QStringLiteral("up.csv") : QStringLiteral("down.csv"));
        const Outcome outcome = commission(arguments + (up ? oldAddresses : newAddresses));
        report(QStringLiteral("run %1, %2 units %3").arg(run).arg(count).arg(up ? "moved up" : "moved back"), outcome);
        QFile written(record);
        const int pushing = written.open(QIODevice::ReadOnly) ? int(written.readAll().count("\"outcome\":\"pushing\""))
                                                               : 0;
        out() << "  record: " << pushing << " pushing lines written ahead\n";
        allGood = allGood && outcome.run.exitCode == 0 && outcome.commissioned == count
                  && pushing == (recorded ? count : 0);
    }
    simulator.kill();
    simulator.waitForFinished();
    return allGood ? 0 : 1;
}
