#pragma once

#include "sim/unitsimulator.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <type_traits>

// Simulated units on a thread of their own. They read every datagram as soon
// as it arrives, also while the window's thread is blocked. Everything that
// touches the simulator or its units goes through run(), which executes on
// the simulator's thread and waits for the result.
class SimulatorThread
{
public:
    // A datagram that reached a unit, stamped by the kernel when it arrived,
    // so that the spacing of datagrams does not depend on when the
    // simulator's thread got round to reading them.
    struct Arrival
    {
        QHostAddress unit;
        QByteArray data;
        qint64 arrivedUs = 0; // kernel receive time, microseconds since the epoch
    };

    SimulatorThread();
    ~SimulatorThread();
    SimulatorThread(const SimulatorThread &) = delete;
    SimulatorThread &operator=(const SimulatorThread &) = delete;

    template <typename Function>
    auto run(Function function) -> decltype(function(std::declval<UnitSimulator &>()))
    {
        using Result = decltype(function(std::declval<UnitSimulator &>()));
        if constexpr (std::is_void_v<Result>) {
            QMetaObject::invokeMethod(m_context, [&] { function(*m_simulator); },
                                      Qt::BlockingQueuedConnection);
        } else {
            Result result{};
            QMetaObject::invokeMethod(m_context, [&] { result = function(*m_simulator); },
                                      Qt::BlockingQueuedConnection);
            return result;
        }
    }

    // Starts a unit; false when the simulator refuses it.
    bool addUnit(const UnitConfig &config);
    // Runs `change` on the unit at `address`; false when there is none.
    bool withUnit(const QHostAddress &address, const std::function<void(SimulatedUnit &)> &change);
    QList<SimDatagram> log();
    // Datagrams that reached a unit's own address, in arrival order.
    QList<Arrival> arrivals();
    // Empties the log and the arrivals.
    void clearLog();

private:
    void stampArrival(const SimDatagram &datagram); // on the simulator's thread

    QThread m_thread;
    QObject *m_context = nullptr;
    UnitSimulator *m_simulator = nullptr;
    QList<Arrival> m_arrivals; // touched on the simulator's thread only
};
