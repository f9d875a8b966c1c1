// The window's waits for a restarting unit, as the unit sees them: from its
// acknowledgement to the next poll, after a reboot (10 s wait) and after the
// first programming of an assembly (12 s wait, the unit loads its defaults).
// Each is measured ROUNDS times (default 5); the median and the minimum are
// printed beside what the window must not undercut: the tick after the
// acknowledgement (300 ms) plus the wait. Run inside the private LAN:
//
//   scripts/private-lan -- env QT_QPA_PLATFORM=offscreen build/bench/bench_waits [ROUNDS]

#include "support/simulatorthread.h"
#include "support/windowprobe.h"

#include "app/windowports.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

namespace {

const QHostAddress Unit("192.168.0.254"); // the address the window starts with
constexpr int AfterReplyTick = 300;

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds or `ms` pass; what `done` says last.
template <typename Condition>
bool runUntil(Condition done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        runFor(20);
    return done();
}

// The milliseconds from the unit's answer to `command` in `log` to the next
// request of the poll channel it received after that answer (the scan's
// broadcasts come from another port); -1 while there is none.
qint64 ackToNextRequest(const QList<SimDatagram> &log, const QByteArray &command)
{
    bool commanded = false;
    qint64 acknowledged = -1;
    for (const SimDatagram &d : log) {
        if (d.unitAddress != Unit || d.peerPort != WindowPorts::UnicastPort)
            continue;
        if (d.direction == SimDatagram::In && d.data == command && !commanded)
            commanded = true;
        else if (d.direction == SimDatagram::Out && commanded && acknowledged < 0)
            acknowledged = d.elapsedMs;
        else if (d.direction == SimDatagram::In && acknowledged >= 0)
            return d.elapsedMs - acknowledged;
    }
    return -1;
}

// Sends `command` with `flag` and returns the milliseconds from the unit's
// acknowledgement to the next request it received; -1 when either is missing.
qint64 measureWait(SimulatorThread &sim, WindowProbe &probe, const QByteArray &command, int flag, int waitMs)
{
    if (!runUntil([&] { return probe.online(); }, 5000)) {
        out() << "the window is not online with " << probe.ui().m_txtIP->text() << "\n";
        return -1;
    }
    sim.clearLog();
    probe.sendCommand(Unit, command, QStringLiteral("Status: Sending..."), flag);
    qint64 wait = -1;
    runUntil([&] { return (wait = ackToNextRequest(sim.log(), command)) >= 0; }, waitMs + 5000);
    return wait;
}

void report(const char *what, QList<qint64> waits, int floorMs)
{
    std::sort(waits.begin(), waits.end());
    out() << what << ": median " << waits.at(waits.size() / 2) << " ms, minimum " << waits.first()
          << " ms over " << waits.size() << " (floor " << floorMs << " ms) on Qt " << qVersion() << "\n";
    out().flush();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(1, atoi(argv[1])) : 5;

    SimulatorThread sim;
    if (!sim.addUnit({Unit, QStringLiteral("HV4K"), QStringLiteral("2.12")})) {
        out() << "the simulated unit could not start\n";
        return 1;
    }
    sim.withUnit(Unit, [](SimulatedUnit &unit) { unit.setRestartTime(500); });

    HVTKUtilities window;
    window.show();
    WindowProbe probe(window);

    QList<qint64> restartWaits;
    QList<qint64> defaultsWaits;
    for (int round = 0; round < rounds; ++round) {
        const qint64 restart = measureWait(sim, probe, QByteArrayLiteral("XX\r"), WindowProbe::RestartPending, 10000);
        // Each round programs the assembly afresh: HV16K, then HV4K again.
        const QByteArray assembly = round % 2 == 0 ? QByteArrayLiteral("6PAHV\r") : QByteArrayLiteral("3PAHV\r");
        const qint64 defaults = measureWait(sim, probe, assembly, WindowProbe::DefaultsPending, 12000);
        if (restart < 0 || defaults < 0) {
            out() << "round " << round + 1 << ": the unit did not acknowledge or was not polled again\n";
            return 1;
        }
        restartWaits << restart;
        defaultsWaits << defaults;
    }
    report("restart wait after a reboot", restartWaits, AfterReplyTick + 10000);
    report("defaults wait after the first assembly programming", defaultsWaits, AfterReplyTick + 12000);
    const bool short_ = *std::min_element(restartWaits.begin(), restartWaits.end()) < AfterReplyTick + 10000 - 1
                        || *std::min_element(defaultsWaits.begin(), defaultsWaits.end()) < AfterReplyTick + 12000 - 1;
    return short_ ? 1 : 0;
}
