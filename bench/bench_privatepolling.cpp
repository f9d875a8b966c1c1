// CPU share of one core and resident memory of the window in private mode
// (readiness checklist redrawn every 200 ms) while it polls a simulated unit,
// then while the unit is gone. The window runs in this process; the unit is
// the hvtk-unit-sim program. Run inside the private LAN:
//
//   scripts/private-lan -- env QT_QPA_PLATFORM=offscreen build/bench/bench_privatepolling [SECONDS]

#include "support/windowprobe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

#include <sys/resource.h>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QByteArray residentMemory()
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).simplified();
    }
    return {};
}

// Runs the event loop for `ms` milliseconds without spinning.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU share over `seconds` and the number of poll ticks in that time.
QPair<double, int> measure(WindowProbe &probe, int seconds)
{
    int ticks = 0;
    const QMetaObject::Connection counting =
        QObject::connect(probe.pollTimer(), &QTimer::timeout, [&ticks] { ++ticks; });
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    const double share = 100.0 * (cpuSeconds() - before) / (wall.elapsed() / 1000.0);
    QObject::disconnect(counting);
    return {share, ticks};
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? atoi(argv[1]) : 20;
    QProcess unit;
    unit.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    unit.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../sim/hvtk-unit-sim"),
               {QStringLiteral("--unit"), QStringLiteral("192.168.0.254:HV4K:2.12")});
    if (!unit.waitForStarted())
        return 1;

    HVTKUtilities window;
    window.show();
    WindowProbe probe(window);
    WindowProbe::privateModeRequested() = true; // as the key chord does
    runFor(3000);
    if (!probe.privateMode() || !probe.online()) {
        out() << "the window did not come online in private mode\n";
        return 1;
    }
    const auto polling = measure(probe, seconds);
    out() << "private mode, polling a unit: " << QString::number(polling.first, 'f', 2)
          << " % of one core over " << seconds << " s (" << polling.second
          << " poll ticks); VmRSS " << residentMemory() << "\n";
    out().flush();

    unit.kill();
    unit.waitForFinished();
    runFor(3000);
    const auto offline = measure(probe, seconds);
    out() << "private mode, unit gone (offline): " << QString::number(offline.first, 'f', 2)
          << " % of one core over " << seconds << " s (" << offline.second
          << " poll ticks); VmRSS " << residentMemory() << "\n";
    return probe.online() ? 1 : 0;
}
