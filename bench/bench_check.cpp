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
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

#include <algorithm>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

quint32 workstation()
{
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && address != QHostAddress(QHostAddress::LocalHost))
            return address.toIPv4Address();
    }
    return 0;
}

struct Outcome
{
    qint64 wallMs = 0;
    double cpuSeconds = 0;
    int exitCode = -1;
    int units = 0;
    int answered = 0;
    int ready = 0;
    int notReadyAsExpected = 0;
    qint64 slowestUnitMs = 0;
    qint64 medianUnitMs = 0;
};

Outcome check(const QStringList &arguments)
{
    Outcome outcome;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double cpuBefore = childCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    process.start(QStringLiteral(HVTK_CHECK_PROGRAM), arguments);
    if (!process.waitForFinished(60000))
        return outcome;
    outcome.wallMs = wall.elapsed();
    outcome.cpuSeconds = childCpuSeconds() - cpuBefore;
    outcome.exitCode = process.exitCode();
    const QJsonArray units = QJsonDocument::fromJson(process.readAllStandardOutput()).object().value("units").toArray();
    outcome.units = units.size();
    QList<qint64> elapsed;
    for (const QJsonValue &value : units) {
        const QJsonObject unit = value.toObject();
        outcome.answered += unit.value("answered").toBool();
        outcome.ready += unit.value("ready").toBool();
        outcome.notReadyAsExpected += unit.value("conditions").toArray() == QJsonArray{"DipSwitchesNotOff"};
        elapsed << qint64(unit.value("elapsedMs").toDouble());
    }
    std::sort(elapsed.begin(), elapsed.end());
    if (!elapsed.isEmpty()) {
        outcome.slowestUnitMs = elapsed.last();
        outcome.medianUnitMs = elapsed[elapsed.size() / 2];
    }
    return outcome;
}

void report(const QString &what, const Outcome &o)
{
    out() << what << ": exit " << o.exitCode << ", " << o.units << " units, " << o.answered << " answered, "
          << o.ready << " ready, " << o.notReadyAsExpected << " with only the DIP switch line; wall "
          << o.wallMs << " ms (" << QString::number(double(o.wallMs) / qMax(1, o.units), 'f', 2)
          << " ms per unit), CPU " << QString::number(o.cpuSeconds, 'f', 3) << " s; per unit median "
          << o.medianUnitMs << " ms, slowest " << o.slowestUnitMs << " ms\n";
    out().flush();
}

// Starts hvtk-unit-sim with the units of `unitsFile`; false when not all started.
bool startSimulator(QProcess &simulator, const QString &unitsFile, int count)
{
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator.start(QStringLiteral(HVTK_UNIT_SIM), {QStringLiteral("--units"), unitsFile});
    int started = 0;
    QElapsedTimer wait;
    wait.start();
    while (started < count && wait.elapsed() < 30000 && simulator.waitForReadyRead(1000)) {
        while (simulator.canReadLine())
            started += simulator.readLine().startsWith("unit ");
    }
    if (started < count)
        out() << "the simulator started " << started << " of " << count << " units\n";
    return started == count;
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

    const QString ledger = dir.filePath(QStringLiteral("ledger.jsonl"));
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double cpuBefore = childCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    process.start(QStringLiteral(HVTK_CHECK_PROGRAM),
                  QStringList{"--program", "--assembly", "HV32K", "--mac-pool", pool.fileName(), "--ledger", ledger,
                              "--json", "--timeout", "10"}
                      + addresses);
    if (!process.waitForFinished(120000))
        return 1;
    const qint64 wallMs = wall.elapsed();
    const double cpu = childCpuSeconds() - cpuBefore;
    const QJsonArray units = QJsonDocument::fromJson(process.readAllStandardOutput()).object().value("units").toArray();
    int ready = 0;
    int programmedBoth = 0;
    QList<qint64> elapsed;
    for (const QJsonValue &unit : units) {
        ready += unit["ready"].toBool();
        programmedBoth += unit["programmed"]["assembly"] == QJsonValue("HV32K")
            && !unit["programmed"]["mac"].toString().isEmpty();
        elapsed << qint64(unit["elapsedMs"].toDouble());
    }
    std::sort(elapsed.begin(), elapsed.end());
    QFile ledgerFile(ledger);
    ledgerFile.open(QIODevice::ReadOnly);
    QSet<QString> macs;
    int ledgerLines = 0;
    for (const QByteArray &line : ledgerFile.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        ++ledgerLines;
        macs << QJsonDocument::fromJson(line)["mac"].toString();
    }
    out() << "hvtk-check --program: exit " << process.exitCode() << ", " << units.size() << " units, " << ready
          << " ready, " << programmedBoth << " given model and MAC; ledger " << ledgerLines << " lines, "
          << macs.size() << " distinct MACs; wall " << wallMs << " ms = the " << DefaultsPauseMs << " ms pause + "
          << wallMs - DefaultsPauseMs << " ms (two polls: up to " << TwoPollsMs << " ms), CPU " << QString::number(cpu, 'f', 3)
          << " s; per unit median " << (elapsed.isEmpty() ? 0 : elapsed[elapsed.size() / 2]) << " ms, slowest "
          << (elapsed.isEmpty() ? 0 : elapsed.last()) << " ms\n";
    out().flush();
    simulator.kill();
    simulator.waitForFinished();
    const bool noneLost = units.size() == count && ready == count && programmedBoth == count
        && ledgerLines == count && macs.size() == count;
    return process.exitCode() == 0 && noneLost ? 0 : 1;
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
