// Discovery on a large site: one broadcast answered at once by many units.
//
//   scripts/private-lan --host 10.20.0.17/22 -- build/bench/bench_discovery
//       [--units 1000] [--ticks 6] [--mask 255.255.252.0 | --global]
//       [--answerer sim | light] [--default-buffer] [--show]
//
// The window scans 10.20.0.0/22 under a typed mask (or "Set Global"); the
// units answer from 10.20.0.1 upwards. For every scan tick it prints the
// units answered / units present, the time from the broadcast to the last line
// listed or refreshed, the CPU time of the GUI thread until the next tick,
// and the longest stall of the event loop (how late a 10 ms timer fired, that
// is how long the window did not react). "answered" counts the lines of age 5
// when the next tick begins.
//
// --answerer sim   the unit simulator, in a thread of its own (default)
// --answerer light one socket in a thread that answers for every unit
// --default-buffer the discovery socket keeps the system's default receive
//                  buffer, to show what the larger buffer buys
// --show           shows the window (offscreen), as in use: a hidden list
//                  view does not lay out its lines

#include "sim/unitsimulator.h"
#include "support/windowprobe.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QListWidget>
#include <QNetworkDatagram>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

QList<QHostAddress> unitAddresses(quint32 workstation, quint32 mask, int count)
{
    QList<QHostAddress> result;
    const quint32 network = workstation & mask;
    for (quint32 host = 1; host < ~mask && result.size() < count; ++host) {
        if ((network | host) != workstation)
            result << QHostAddress(network | host);
    }
    return result;
}

// Answers every discovery query for all units at once: one socket listens,
// and each unit answers from a socket bound to its own address.
class LightAnswerer : public QObject
{
public:
    explicit LightAnswerer(const QList<QHostAddress> &units)
    {
        m_listener.bind(QHostAddress::AnyIPv4, UnitSimulator::UnitPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
        for (const QHostAddress &unit : units) {
            auto socket = std::make_unique<QUdpSocket>();
            if (socket->bind(unit, 0))
                m_units.push_back(std::move(socket));
        }
        connect(&m_listener, &QUdpSocket::readyRead, this, [this] {
            while (m_listener.hasPendingDatagrams()) {
                const QNetworkDatagram query = m_listener.receiveDatagram();
                if (query.data() != "?V\r" || query.senderPort() != 1235)
                    continue;
                for (const auto &unit : m_units)
                    unit->writeDatagram(QByteArrayLiteral("HV4K v2.09\r"), query.senderAddress(),
                                        quint16(query.senderPort()));
            }
        });
    }
    int size() const { return int(m_units.size()); }

private:
    QUdpSocket m_listener;
    std::vector<std::unique_ptr<QUdpSocket>> m_units;
};

// Runs the answering side in a thread of its own, as the units would be
// separate machines.
class AnswererThread
{
public:
    AnswererThread(const QString &kind, const QList<QHostAddress> &units, quint32 unitMask)
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        QMetaObject::invokeMethod(&m_context, [&] {
            if (kind == QLatin1String("light")) {
                m_light = std::make_unique<LightAnswerer>(units);
                m_started = m_light->size();
                return;
            }
            m_simulator = std::make_unique<UnitSimulator>();
            for (const QHostAddress &address : units) {
                SimulatedUnit *unit = m_simulator->addUnit(UnitConfig{address});
                if (!unit) {
                    std::fprintf(stderr, "%s\n", qPrintable(m_simulator->errorString()));
                    break;
                }
                unit->updateStatus([unitMask](UnitStatus &status) { status.controlSubnetMask = unitMask; });
                ++m_started;
            }
        }, Qt::BlockingQueuedConnection);
    }
    ~AnswererThread()
    {
        QMetaObject::invokeMethod(&m_context, [&] {
            m_simulator.reset();
            m_light.reset();
        }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    int started() const { return m_started; }

private:
    QThread m_thread;
    QObject m_context;
    std::unique_ptr<UnitSimulator> m_simulator;
    std::unique_ptr<LightAnswerer> m_light;
    int m_started = 0;
};

struct Tick
{
    qint64 broadcastNs = 0;
    qint64 lastLineNs = -1;  // the last answers listed or refreshed
    qint64 cpuStartNs = 0;   // CPU time of the GUI thread at the tick
    qint64 busyNs = 0;       // CPU time of the GUI thread until the next tick
    qint64 longestStallNs = 0; // longest wait of a 10 ms timer beyond its interval
    int lines = 0;           // lines in the list just before the next tick
    int fresh = 0;           // of them answered during this tick (age 5)
};

QElapsedTimer s_clock;
QList<Tick> s_ticks;
QListWidget *s_list = nullptr;

// The list as it stands when the next tick begins.
void sampleList(Tick &tick)
{
    tick.lines = s_list->count();
    tick.fresh = 0;
    for (int row = 0; row < s_list->count(); ++row)
        tick.fresh += s_list->item(row)->data(Qt::UserRole).toInt() == 5;
}

qint64 guiThreadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void recordBroadcast(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg && message.startsWith(QLatin1String("BC: "))) {
        const qint64 cpu = guiThreadCpuNs();
        if (!s_ticks.isEmpty()) {
            s_ticks.last().busyNs = cpu - s_ticks.last().cpuStartNs;
            sampleList(s_ticks.last());
        }
        Tick tick;
        tick.broadcastNs = s_clock.nsecsElapsed();
        tick.cpuStartNs = cpu;
        s_ticks << tick;
    } else if (type != QtDebugMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    }
}

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Discovery of many units at once; run inside scripts/private-lan."));
    parser.addHelpOption();
    const QCommandLineOption unitsOption(QStringLiteral("units"), QStringLiteral("Units present."), QStringLiteral("N"), QStringLiteral("1000"));
    const QCommandLineOption ticksOption(QStringLiteral("ticks"), QStringLiteral("Scan ticks measured."), QStringLiteral("N"), QStringLiteral("6"));
    const QCommandLineOption maskOption(QStringLiteral("mask"), QStringLiteral("Mask typed into the scan mask field."), QStringLiteral("MASK"), QStringLiteral("255.255.252.0"));
    const QCommandLineOption globalOption(QStringLiteral("global"), QStringLiteral("Press \"Set Global\" instead of typing a mask."));
    const QCommandLineOption answererOption(QStringLiteral("answerer"), QStringLiteral("sim or light."), QStringLiteral("KIND"), QStringLiteral("sim"));
    const QCommandLineOption bufferOption(QStringLiteral("default-buffer"), QStringLiteral("Keep the default receive buffer."));
    const QCommandLineOption showOption(QStringLiteral("show"), QStringLiteral("Show the window, as in use."));
    parser.addOptions({unitsOption, ticksOption, maskOption, globalOption, answererOption, bufferOption, showOption});
    parser.process(app);

    HVTKUtilities window;
    if (parser.isSet(showOption))
        window.show();
    WindowProbe probe(window);
    probe.scanTimer()->stop();
    const QString workstationText = probe.ui().m_txtIP->text();
    const quint32 workstation = QHostAddress(workstationText).toIPv4Address();
    const quint32 siteMask = QHostAddress(parser.value(maskOption)).toIPv4Address();
    if (workstation == 0 || siteMask == 0) {
        std::fprintf(stderr, "needs a workstation address (got \"%s\") and a mask; run inside "
                             "scripts/private-lan --host 10.20.0.17/22\n", qPrintable(workstationText));
        return 2;
    }
    const int present = parser.value(unitsOption).toInt();
    const QList<QHostAddress> addresses = unitAddresses(workstation, siteMask, present);
    AnswererThread answerer(parser.value(answererOption), addresses, siteMask);
    if (answerer.started() != present) {
        std::fprintf(stderr, "only %d of %d units started\n", answerer.started(), present);
        return 2;
    }

    // How long the window did not react: the lateness of a 10 ms timer.
    QTimer stallProbe;
    stallProbe.setTimerType(Qt::PreciseTimer);
    qint64 lastProbeNs = -1;
    QObject::connect(&stallProbe, &QTimer::timeout, [&] {
        const qint64 now = s_clock.nsecsElapsed();
        if (lastProbeNs >= 0 && !s_ticks.isEmpty())
            s_ticks.last().longestStallNs = qMax(s_ticks.last().longestStallNs, now - lastProbeNs - 10000000);
        lastProbeNs = now;
    });
    stallProbe.start(10);

    // The window has listed or refreshed the lines of the answers waiting:
    // connected after the window's own slot, this runs when that is done.
    QListWidget *list = probe.ui().m_lstDetectedUnits;
    s_list = list;
    QObject::connect(probe.broadcastSocket(), &QUdpSocket::readyRead, [&] {
        if (!s_ticks.isEmpty())
            s_ticks.last().lastLineNs = s_clock.nsecsElapsed();
    });

    s_clock.start();
    qInstallMessageHandler(recordBroadcast);
    if (parser.isSet(globalOption))
        probe.ui().m_cmdBdcstSMSelect->click();
    else
        probe.ui().m_txtScanSM->setText(parser.value(maskOption));
    if (parser.isSet(bufferOption))
        probe.broadcastSocket()->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 212992);
    probe.scanTimer()->start(2000);

    const int ticks = parser.value(ticksOption).toInt();
    QEventLoop loop;
    QTimer::singleShot(ticks * 2000 - 50, &loop, &QEventLoop::quit);
    loop.exec();
    qInstallMessageHandler(nullptr);
    s_ticks.last().busyNs = guiThreadCpuNs() - s_ticks.last().cpuStartNs;
    sampleList(s_ticks.last());

    std::printf("units present %d, answerer %s, mask %s, receive buffer %s bytes\n", present,
                qPrintable(parser.value(answererOption)),
                parser.isSet(globalOption) ? "0.0.0.0 (Set Global)" : qPrintable(parser.value(maskOption)),
                qPrintable(probe.broadcastSocket()->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toString()));
    std::printf("tick  answered/present  lines  broadcast->last line ms  GUI thread CPU ms  longest stall ms\n");
    for (int i = 0; i < s_ticks.size() && i < ticks; ++i) {
        const Tick &tick = s_ticks[i];
        std::printf("%4d  %8d/%-7d  %5d  %23.1f  %17.1f  %16.1f\n", i + 1, tick.fresh, present, tick.lines,
                    tick.lastLineNs < 0 ? -1.0 : ms(tick.lastLineNs - tick.broadcastNs),
                    ms(tick.busyNs), ms(tick.longestStallNs));
    }
    return 0;
}
