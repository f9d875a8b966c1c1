#include "benchprocess.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>

#include <sys/resource.h>

#include <algorithm>

namespace BenchProcess {

namespace {

double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

quint32 workstation()
{
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && address != QHostAddress(QHostAddress::LocalHost))
            return address.toIPv4Address();
    }
    return 0;
}

bool startSimulator(QProcess &simulator, const QString &simulatorProgram, const QString &unitsFile, int count)
{
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator.start(simulatorProgram, {QStringLiteral("--units"), unitsFile});
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

TimedRun runTimed(const QString &program, const QStringList &arguments, int timeoutMs)
{
    TimedRun run;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double cpuBefore = childCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs))
        return run;
    run.finished = true;
    run.wallMs = wall.elapsed();
    run.cpuSeconds = childCpuSeconds() - cpuBefore;
    run.exitCode = process.exitCode();
    run.units = QJsonDocument::fromJson(process.readAllStandardOutput()).object().value("units").toArray();
    QList<qint64> elapsed;
    for (const QJsonValue &unit : run.units)
        elapsed << qint64(unit.toObject().value("elapsedMs").toDouble());
    std::sort(elapsed.begin(), elapsed.end());
    if (!elapsed.isEmpty()) {
        run.medianUnitMs = elapsed[elapsed.size() / 2];
        run.slowestUnitMs = elapsed.last();
    }
    return run;
}

} // namespace BenchProcess
