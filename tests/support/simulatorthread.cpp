#include "support/simulatorthread.h"

#include <QUdpSocket>

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/time.h>

namespace {

// The kernel's receive time of the last datagram read from the socket. The
// first call also switches receive stamps on; it may find none yet.
bool lastReceiveTime(const QUdpSocket *socket, qint64 *microseconds)
{
    timeval stamp{};
    if (ioctl(int(socket->socketDescriptor()), SIOCGSTAMP, &stamp) != 0)
        return false;
    *microseconds = qint64(stamp.tv_sec) * 1000000 + stamp.tv_usec;
    return true;
}

QUdpSocket *socketBoundTo(const UnitSimulator &simulator, const QHostAddress &address)
{
    const QList<QUdpSocket *> sockets = simulator.findChildren<QUdpSocket *>();
    for (QUdpSocket *socket : sockets) {
        if (socket->state() == QAbstractSocket::BoundState && socket->localAddress() == address)
            return socket;
    }
    return nullptr;
}

} // namespace

SimulatorThread::SimulatorThread()
{
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            m_simulator = new UnitSimulator;
            // Direct: runs right after the simulator has read the datagram,
            // before it reads the next one.
            QObject::connect(m_simulator, &UnitSimulator::datagramReceived, m_context,
                             [this](const SimDatagram &datagram) { stampArrival(datagram); },
                             Qt::DirectConnection);
        },
        Qt::BlockingQueuedConnection);
}

SimulatorThread::~SimulatorThread()
{
    QMetaObject::invokeMethod(m_context, [this] { delete m_simulator; },
                              Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void SimulatorThread::stampArrival(const SimDatagram &datagram)
{
    const QUdpSocket *socket = socketBoundTo(*m_simulator, datagram.destination);
    qint64 arrivedUs = 0;
    if (!socket || !lastReceiveTime(socket, &arrivedUs))
        return;
    m_arrivals.append({datagram.destination, datagram.data, arrivedUs});
}

bool SimulatorThread::addUnit(const UnitConfig &config)
{
    return run([&](UnitSimulator &simulator) {
        if (!simulator.addUnit(config))
            return false;
        qint64 ignored = 0;
        lastReceiveTime(socketBoundTo(simulator, config.address), &ignored); // switches stamps on
        return true;
    });
}

bool SimulatorThread::withUnit(const QHostAddress &address,
                               const std::function<void(SimulatedUnit &)> &change)
{
    return run([&](UnitSimulator &simulator) {
        SimulatedUnit *unit = simulator.unit(address);
        if (unit)
            change(*unit);
        return unit != nullptr;
    });
}

QList<SimDatagram> SimulatorThread::log()
{
    return run([](UnitSimulator &simulator) { return simulator.log(); });
}

QList<SimulatorThread::Arrival> SimulatorThread::arrivals()
{
    return run([this](UnitSimulator &) { return m_arrivals; });
}

void SimulatorThread::clearLog()
{
    run([this](UnitSimulator &simulator) {
        simulator.clearLog();
        m_arrivals.clear();
    });
}
