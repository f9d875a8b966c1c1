#pragma once

#include "sim/unitsimulator.h"

#include <QObject>
#include <QThread>

#include <type_traits>

// Simulated units on a thread of their own. They read every datagram the
// moment it arrives, also while the window's thread is blocked, so the times
// in their log are true arrival times. Everything that touches the simulator
// or its units goes through run(), which executes on the simulator's thread
// and waits for the result.
class SimulatorThread
{
public:
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
    void clearLog();

private:
    QThread m_thread;
    QObject *m_context = nullptr;
    UnitSimulator *m_simulator = nullptr;
};
