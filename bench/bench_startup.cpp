// What the real program costs: time from process start to its first poll
// datagram, side by side with the floor under it (startup-floor: the same form
// shown and one datagram sent, nothing else), then, against a simulated unit,
// the CPU share of one core and the resident memory while it polls, and the
// CPU share while the unit is gone. Run inside the private LAN:
//
//   scripts/private-lan -- build/bench/bench_startup [STARTS] [SECONDS] [CORE]
//
// The program and the floor start in turns, STARTS times each, both pinned to
// CORE with taskset: a start's time swings with the core it lands on.

#include "channel/commandtext.h"
#include "support/datagramcapture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>
#include <QThread>

#include <algorithm>
#include <unistd.h>

namespace {

const QHostAddress UnitAddress(QStringLiteral("192.168.0.254"));

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QProcessEnvironment offscreen()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

void stop(QProcess &process)
{
    process.kill();
    process.waitForFinished(5000);
}

// Runs the event loop for `ms` milliseconds without spinning.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// utime + stime of a process, in seconds.
double cpuSeconds(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // Fields after the command name in parentheses: state is field 3, utime 14, stime 15.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / sysconf(_SC_CLK_TCK);
}

QByteArray statusLine(qint64 pid, const QByteArray &field)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).simplified();
    }
    return {};
}

double cpuShare(qint64 pid, int seconds)
{
    const double before = cpuSeconds(pid);
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    return 100.0 * (cpuSeconds(pid) - before) / (wall.elapsed() / 1000.0);
}

// Milliseconds from starting `program` pinned to `core` to its first datagram
// at the unit's address, or -1 when none came within 10 s or it was not a
// status request.
qint64 msToFirstPoll(const QString &program, int core)
{
    DatagramCapture capture;
    if (!capture.bind(UnitAddress)) {
        out() << "cannot bind " << UnitAddress.toString() << ':' << CommandText::UnitPort
              << " (run me in scripts/private-lan)\n";
        return -1;
    }
    QProcess process;
    process.setProcessEnvironment(offscreen());
    process.setStandardErrorFile(QProcess::nullDevice()); // the scan's debug lines
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral("taskset"), {QStringLiteral("-c"), QString::number(core), program});
    while (capture.datagrams().isEmpty() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    const qint64 ms = clock.elapsed();
    const QByteArray first = capture.payloads().value(0);
    stop(process);
    return first == CommandText::statusRequest() ? ms : -1;
}

qint64 median(QList<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

QString summary(const QList<qint64> &times)
{
    const auto [least, most] = std::minmax_element(times.begin(), times.end());
    return QStringLiteral("median %1 ms (min %2, max %3)").arg(median(times)).arg(*least).arg(*most);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? atoi(argv[1]) : 25;
    const int seconds = argc > 2 ? atoi(argv[2]) : 20;
    const int core = argc > 3 ? atoi(argv[3]) : 1;
    const QString dir = QCoreApplication::applicationDirPath();
    const QString program = dir + QStringLiteral("/../hvtk-utilities");
    const QString floorProgram = dir + QStringLiteral("/startup-floor");
    const QString simulator = dir + QStringLiteral("/../sim/hvtk-unit-sim");

    // 1. Process start to the first poll datagram at the unit's address, the
    // program and the floor in turns.
    QList<qint64> programTimes;
    QList<qint64> floorTimes;
    const auto measure = [core](const QString &name, QList<qint64> &times) {
        const qint64 ms = msToFirstPoll(name, core);
        if (ms < 0) {
            out() << "no poll request from " << name << " within 10 s\n";
            return false;
        }
        times << ms;
        QThread::msleep(200);
        return true;
    };
    for (int run = 0; run < runs; ++run) {
        if (!measure(program, programTimes) || !measure(floorProgram, floorTimes))
            return 1;
    }
    out() << "start to first poll datagram, " << runs << " starts each in turns on core " << core
          << ": program " << summary(programTimes) << "; floor " << summary(floorTimes) << "; ratio "
          << QString::number(double(median(programTimes)) / double(median(floorTimes)), 'f', 2) << "\n";
    out().flush();

    // 2. Polling a simulated unit (every 300 ms after each reply), then offline.
    QProcess unit;
    unit.setProcessChannelMode(QProcess::MergedChannels);
    unit.start(simulator, {QStringLiteral("--unit"), QStringLiteral("192.168.0.254:HV4K:2.12"),
                           QStringLiteral("--log")});
    unit.waitForStarted();
    QProcess tool;
    tool.setProcessEnvironment(offscreen());
    tool.setStandardErrorFile(QProcess::nullDevice());
    tool.start(program, QStringList());
    tool.waitForStarted();
    const qint64 pid = tool.processId();
    runFor(3000);
    unit.readAll();
    const double polling = cpuShare(pid, seconds);
    const int requests = unit.readAll().count("GSHV");
    out() << "polling a unit: " << QString::number(polling, 'f', 2) << " % of one core over "
          << seconds << " s (" << requests << " status requests answered); VmRSS " << statusLine(pid, "VmRSS:") << ", VmHWM "
          << statusLine(pid, "VmHWM:") << "\n";
    out().flush();

    stop(unit);
    runFor(3000);
    const double offline = cpuShare(pid, seconds);
    out() << "unit gone (offline): " << QString::number(offline, 'f', 2) << " % of one core over "
          << seconds << " s; VmRSS " << statusLine(pid, "VmRSS:") << "\n";
    stop(tool);
    return 0;
}
