#include "support/simulatorthread.h"

SimulatorThread::SimulatorThread()
{
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
    QMetaObject::invokeMethod(m_context, [this] { m_simulator = new UnitSimulator; },
                              Qt::BlockingQueuedConnection);
}

SimulatorThread::~SimulatorThread()
{
    QMetaObject::invokeMethod(m_context, [this] { delete m_simulator; },
                              Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

bool SimulatorThread::addUnit(const UnitConfig &config)
{
    return run([&](UnitSimulator &simulator) { return simulator.addUnit(config) != nullptr; });
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

void SimulatorThread::clearLog()
{
    run([](UnitSimulator &simulator) { simulator.clearLog(); });
}
