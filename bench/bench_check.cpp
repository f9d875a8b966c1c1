// hvtk-check over many simulated units: one hvtk-unit-sim process runs the
// units, one hvtk-check run checks them all. Run inside a private LAN whose
// subnet holds the units, for example
//   scripts/private-lan --host 10.0.0.17/22 -- build/bench/bench_check 1000 5
// Units get the addresses after the workstation's, 10.0.0.18 onwards; every
// tenth has a DIP switch on, so 90 % must come out ready and 10 % not.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QProcess>
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
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
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator.start(QStringLiteral(HVTK_UNIT_SIM), {QStringLiteral("--units"), unitsFile.fileName()});
    int started = 0;
    QElapsedTimer wait;
    wait.start();
    while (started < count && wait.elapsed() < 30000 && simulator.waitForReadyRead(1000)) {
        while (simulator.canReadLine())
            started += simulator.readLine().startsWith("unit ");
    }
    if (started < count) {
        out() << "the simulator started " << started << " of " << count << " units\n";
        return 1;
    }
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
