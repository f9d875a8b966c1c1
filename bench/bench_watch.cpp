// hvtk-watch under a Prometheus of its own over a site of simulated units:
// one hvtk-unit-sim process runs the units, one exporter serves them, and
// Prometheus scrapes every unit through it every 15 s with a 10 s timeout, as
// the example configuration does. Run inside a private LAN whose subnet holds
// the units, for example
//   scripts/private-lan --host 10.0.0.17/22 -- build/bench/bench_watch 1000 4
// (units, scrape rounds). Printed: whether every scrape of every unit
// succeeded within its timeout, the slowest scrape, the exporter's CPU time
// per round and per probe, and its resident memory.
#include "benchprocess.h"
#include "support/httpget.h"
#include "support/prometheusserver.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

namespace {

using BenchProcess::out;

constexpr int IntervalS = 15;
constexpr int TimeoutS = 10;

// User and system CPU seconds of process `pid` so far.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = stat.readAll().split(')').value(1).trimmed().split(' ');
    // After the command: state is field 3, utime 14 and stime 15 of the whole line.
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// "VmRSS" or "VmHWM" of process `pid`, in MiB.
double memoryMiB(qint64 pid, const QByteArray &key)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

double scalar(const PrometheusServer &prometheus, const QString &expression)
{
    QList<PrometheusServer::Series> series;
    QString error;
    if (!prometheus.query(expression, &series, &error) || series.isEmpty() || series.front().samples.isEmpty())
        return qQNaN();
    return series.front().samples.front().second;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = app.arguments().value(1, QStringLiteral("1000")).toInt();
    const int rounds = app.arguments().value(2, QStringLiteral("4")).toInt();
    const quint32 first = BenchProcess::workstation() + 1;
    if (first == 1 || count < 1 || rounds < 1) {
        out() << "usage: bench_watch UNITS ROUNDS, inside a private LAN with room for the units\n";
        return 2;
    }

    QTemporaryDir dir;
    QByteArray units;
    QJsonArray targets;
    for (int i = 0; i < count; ++i) {
        const QString address = QHostAddress(first + quint32(i)).toString();
        units += address.toUtf8() + ":HV4K:2.09\n";
        targets.append(address);
    }
    const QString unitsFile = dir.filePath(QStringLiteral("units.txt"));
    QFile unitsOut(unitsFile);
    if (!unitsOut.open(QIODevice::WriteOnly) || unitsOut.write(units) != units.size())
        return 1;
    unitsOut.close();
    QProcess simulator;
    if (!BenchProcess::startSimulator(simulator, QStringLiteral(HVTK_UNIT_SIM), unitsFile, count)) {
        out() << "the simulator did not start every unit\n";
        return 1;
    }

    const int exporterPort = freeLoopbackPort();
    QProcess exporter;
    exporter.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    exporter.start(QStringLiteral(HVTK_WATCH_PROGRAM), {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(exporterPort)});
    if (!exporter.waitForStarted())
        return 1;
    QThread::msleep(500);

    PrometheusServer prometheus;
    QFile targetFile(prometheus.filePath(QStringLiteral("targets.json")));
    if (!targetFile.open(QIODevice::WriteOnly))
        return 1;
    targetFile.write(QJsonDocument(QJsonArray{QJsonObject{{QStringLiteral("targets"), targets}}}).toJson());
    targetFile.close();
    const QByteArray configuration = QStringLiteral(
        "global:\n  scrape_interval: %1s\n  scrape_timeout: %2s\n"
        "scrape_configs:\n  - job_name: hvtk\n    metrics_path: /probe\n"
        "    file_sd_configs:\n      - files: [%3]\n"
        "    relabel_configs:\n"
        "      - source_labels: [__address__]\n        target_label: __param_target\n"
        "      - source_labels: [__param_target]\n        target_label: instance\n"
        "      - target_label: __address__\n        replacement: 127.0.0.1:%4\n")
        .arg(IntervalS).arg(TimeoutS).arg(targetFile.fileName()).arg(exporterPort).toUtf8();
    QString error;
    const double cpuBefore = cpuSeconds(exporter.processId());
    if (!prometheus.start(QStringLiteral(HVTK_PROMETHEUS), configuration, &error)) {
        out() << "prometheus: " << error << '\n';
        return 1;
    }
    // The rounds, and a moment for the last one's scrapes to end.
    QThread::msleep(quint64(rounds * IntervalS + 2) * 1000);
    const double cpu = cpuSeconds(exporter.processId()) - cpuBefore;
    const double rss = memoryMiB(exporter.processId(), "VmRSS");
    const double peak = memoryMiB(exporter.processId(), "VmHWM");

    const QString range = QStringLiteral("[%1s]").arg(rounds * IntervalS + 2);
    const double scrapes = scalar(prometheus, QStringLiteral("sum(count_over_time(up{job=\"hvtk\"}%1))").arg(range));
    const double failed = scalar(prometheus, QStringLiteral("sum(count_over_time((up{job=\"hvtk\"} == 0)%1))").arg(range));
    const double answered = scalar(prometheus, QStringLiteral("count(hvtk_up == 1)"));
    const double slowest = scalar(prometheus, QStringLiteral("max(max_over_time(scrape_duration_seconds{job=\"hvtk\"}%1))").arg(range));
    const double slowestProbe = scalar(prometheus, QStringLiteral("max(max_over_time(hvtk_probe_duration_seconds%1))").arg(range));
    const double median = scalar(prometheus, QStringLiteral("quantile(0.5, scrape_duration_seconds{job=\"hvtk\"})"));

    out() << count << " units, scraped every " << IntervalS << " s with a " << TimeoutS << " s timeout, "
          << rounds << " rounds:\n"
          << "  scrapes " << scrapes << ", failed " << (qIsNaN(failed) ? 0 : failed) << ", units up now " << answered << '\n'
          << "  scrape duration: median " << median << " s, slowest " << slowest << " s; slowest probe " << slowestProbe << " s\n"
          << "  exporter CPU " << cpu << " s in all, " << cpu / rounds << " s per round, "
          << 1000.0 * cpu / (scrapes > 0 ? scrapes : 1) << " ms per probe\n"
          << "  exporter memory: resident " << rss << " MiB, peak " << peak << " MiB\n";
    out().flush();

    prometheus.stop();
    exporter.terminate();
    exporter.waitForFinished(20000);
    simulator.terminate();
    simulator.waitForFinished(5000);
    return qIsNaN(failed) || failed == 0 ? 0 : 1;
}
