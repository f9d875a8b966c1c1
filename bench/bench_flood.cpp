// A flood of stray datagrams at the window's ports while it polls a simulated
// unit: how often the window calls the unit offline, whether its state stays
// the unit's own, what the kernel dropped, and the longest event-loop stall
// (how late a 10 ms timer fired). Run inside the private LAN:
//
//   scripts/private-lan -- env QT_QPA_PLATFORM=offscreen build/bench/bench_flood
//       [--rate 20000] [--seconds 5] [--runs 5] [--strays 4] [--ports unicast|both]
//
// --rate 0 sends --count datagrams as fast as the sockets take them instead.

#include "sim/statusencoder.h"
#include "support/simulatorthread.h"
#include "support/strayflood.h"
#include "support/windowprobe.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <atomic>
#include <memory>

namespace {

const QHostAddress UnitAddress(QStringLiteral("192.168.0.254"));
const QHostAddress Workstation(QStringLiteral("192.168.0.17"));
constexpr quint16 UnicastPort = 1234;
constexpr quint16 BroadcastPort = 1235;
constexpr int LargestPayload = 65507;

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

struct FloodPlan
{
    int rate = 20000;  // datagrams a second; 0: as fast as possible
    int seconds = 5;
    int count = 60000; // with rate 0
    int strays = 4;
    bool bothPorts = false;
};

struct RunFigures
{
    int sent = 0;
    int refused = 0;
    qint64 floodMs = 0;
    qint64 kernelDrops = 0;
    int pollsAnswered = 0;
    int offlineShown = 0;
    int foreignSeen = 0;
    qint64 longestStallMs = 0;
    bool ownStateAfter = false;
};

// A full status reply of the unit's own model that the unit never sent.
QByteArray foreignReply()
{
    UnitStatus state;
    state.ledIntensity = 3;
    state.danteName = QStringLiteral("spoofed");
    state.localName = QStringLiteral("spoofed");
    state.unitErrorCode = 9;
    return StatusEncoder::encode(StatusEncoder::versionText("HV4K", "2.09"), state, 256);
}

// One eighth each: foreign status replies, "HV" answer-like junk (a new
// detected-unit line each), short random bytes, large random datagrams (one
// in 64 of them the largest UDP payload), acknowledgements, error codes,
// empty datagrams, version answers.
QByteArray junk(int i, QRandomGenerator &random, const QByteArray &foreign)
{
    auto randomBytes = [&random](int size) {
        QByteArray bytes(size, '\0');
        for (char &byte : bytes)
            byte = char(random.bounded(256));
        return bytes;
    };
    switch (i % 8) {
    case 0: return foreign;
    case 1: return "HV" + QByteArray::number(random.bounded(1000000)) + " v2.09\r";
    case 2: return randomBytes(1 + random.bounded(1400));
    case 3: return randomBytes(i % 512 == 3 ? LargestPayload : 8000 + random.bounded(8000));
    case 4: return QByteArray("R\r");
    case 5: return QByteArray("E04\r");
    case 6: return QByteArray();
    default: return QByteArray("TK12X v2.12\r");
    }
}

RunFigures sendFlood(const FloodPlan &plan, int run)
{
    RunFigures figures;
    std::vector<std::unique_ptr<QUdpSocket>> senders;
    for (int host = 2; host < 2 + plan.strays; ++host) {
        auto socket = std::make_unique<QUdpSocket>();
        if (socket->bind(QHostAddress(QStringLiteral("192.168.0.%1").arg(host))))
            senders.push_back(std::move(socket));
    }
    if (senders.empty())
        return figures;
    QRandomGenerator random(quint32(20261208 + run));
    const QByteArray foreign = foreignReply();
    const int total = plan.rate > 0 ? plan.rate * plan.seconds : plan.count;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < total; ++i) {
        if (plan.rate > 0) {
            // Keep to the rate, a millisecond's share at a time.
            const qint64 dueUs = qint64(i) * 1000000 / plan.rate;
            const qint64 nowUs = clock.nsecsElapsed() / 1000;
            if (dueUs > nowUs + 1000)
                QThread::usleep(unsigned(dueUs - nowUs));
        }
        const QByteArray payload = junk(i, random, foreign);
        const quint16 port = plan.bothPorts && (i / 8) % 2 ? BroadcastPort : UnicastPort;
        QUdpSocket &sender = *senders[size_t(i) % senders.size()];
        if (sender.writeDatagram(payload, Workstation, port) == payload.size())
            ++figures.sent;
        else
            ++figures.refused;
    }
    figures.floodMs = clock.elapsed();
    return figures;
}


void waitMs(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

RunFigures floodRun(const FloodPlan &plan, int run, SimulatorThread &sim, WindowProbe &probe)
{
    // The unit changes during the flood: the window must follow it.
    const quint8 intensity = quint8(40 + run);
    int offlineShown = 0;
    const QMetaObject::Connection offline =
        QObject::connect(probe.ui().statusbar, &QStatusBar::messageChanged, [&](const QString &message) {
            offlineShown += message == QStringLiteral("Status: Offline.");
        });
    int foreignSeen = 0;
    QElapsedTimer pulse;
    qint64 longestStallMs = 0;
    QTimer pulseTimer;
    pulseTimer.setInterval(10);
    QObject::connect(&pulseTimer, &QTimer::timeout, [&] {
        longestStallMs = qMax(longestStallMs, pulse.restart());
        foreignSeen += probe.status().danteName == QStringLiteral("spoofed");
    });

    sim.clearLog();
    const qint64 dropsBefore = StrayFlood::udpReceiveBufferErrors();
    std::atomic<bool> done{false};
    RunFigures figures;
    std::unique_ptr<QThread> flooder(QThread::create([&] {
        figures = sendFlood(plan, run);
        done = true;
    }));
    pulse.start();
    pulseTimer.start();
    flooder->start();
    waitMs(50);
    sim.withUnit(UnitAddress, [intensity](SimulatedUnit &unit) { unit.setLedIntensity(intensity); });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    flooder->wait();
    figures.longestStallMs = longestStallMs;
    figures.kernelDrops = StrayFlood::udpReceiveBufferErrors() - dropsBefore;
    figures.offlineShown = offlineShown;
    figures.foreignSeen = foreignSeen;
    for (const SimDatagram &datagram : sim.log())
        figures.pollsAnswered += datagram.direction == SimDatagram::Out && datagram.peerPort == UnicastPort;
    pulseTimer.stop();
    QObject::disconnect(offline);

    waitMs(1000); // the next replies, once the buffers are drained
    const UnitStatus simulated =
        sim.run([](UnitSimulator &simulator) { return simulator.unit(UnitAddress)->status(); });
    figures.ownStateAfter = probe.online() && probe.status().ledIntensity == intensity &&
                            StrayFlood::replyFields(probe.status()) == StrayFlood::replyFields(simulated);
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption rate("rate", "Datagrams a second; 0: as fast as possible.", "n", "20000");
    const QCommandLineOption seconds("seconds", "Length of a flood at a rate.", "s", "5");
    const QCommandLineOption count("count", "Datagrams of a flood without a rate.", "n", "60000");
    const QCommandLineOption runs("runs", "Floods, one after another.", "n", "5");
    const QCommandLineOption strays("strays", "Stray senders (192.168.0.2 on).", "n", "4");
    const QCommandLineOption ports("ports", "unicast (1234) or both (1234 and 1235).", "which", "unicast");
    parser.addOptions({rate, seconds, count, runs, strays, ports});
    parser.process(app);
    FloodPlan plan;
    plan.rate = parser.value(rate).toInt();
    plan.seconds = parser.value(seconds).toInt();
    plan.count = parser.value(count).toInt();
    plan.strays = qBound(1, parser.value(strays).toInt(), 200);
    plan.bothPorts = parser.value(ports) == QStringLiteral("both");

    SimulatorThread sim;
    if (!sim.addUnit(UnitConfig{UnitAddress, QStringLiteral("HV4K"), QStringLiteral("2.09")})) {
        out() << "no simulated unit: run me in scripts/private-lan\n";
        return 1;
    }
    HVTKUtilities window;
    window.show();
    WindowProbe probe(window);
    if (probe.ui().m_txtIP->text() != UnitAddress.toString()) {
        out() << "run me in scripts/private-lan\n";
        return 1;
    }
    waitMs(1500);
    if (!probe.online()) {
        out() << "the unit did not come online\n";
        return 1;
    }
    const int receiveBuffer =
        probe.unicastSocket()->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
    out() << "flood from " << plan.strays << " strays at "
          << (plan.bothPorts ? "ports 1234 and 1235" : "port 1234") << ", "
          << (plan.rate > 0 ? QStringLiteral("%1 datagrams/s for %2 s").arg(plan.rate).arg(plan.seconds)
                            : QStringLiteral("%1 datagrams as fast as possible").arg(plan.count))
          << "; unicast receive buffer " << receiveBuffer << " bytes\n";
    out() << "run      sent  refused  flood ms  kernel drops  polls answered  offline shown  "
             "foreign seen  own state after  longest stall ms\n";
    int totalOffline = 0;
    bool allOwn = true;
    for (int run = 1; run <= parser.value(runs).toInt(); ++run) {
        const RunFigures f = floodRun(plan, run, sim, probe);
        out() << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10\n")
                     .arg(run, 3)
                     .arg(f.sent, 9)
                     .arg(f.refused, 8)
                     .arg(f.floodMs, 9)
                     .arg(f.kernelDrops, 13)
                     .arg(f.pollsAnswered, 15)
                     .arg(f.offlineShown, 14)
                     .arg(f.foreignSeen, 13)
                     .arg(f.ownStateAfter ? "yes" : "NO", 16)
                     .arg(f.longestStallMs, 17);
        out().flush();
        totalOffline += f.offlineShown;
        allOwn = allOwn && f.ownStateAfter && f.foreignSeen == 0;
    }
    out() << "offline shown " << totalOffline << " times in all\n";
    return allOwn ? 0 : 2;
}
