#pragma once

#include "fleet/fleetoptions.h"
#include "fleet/fleetunit.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <functional>
#include <memory>
#include <vector>

// Works on many units at once from one UDP socket on a free local port, on
// the thread it lives on: every 300 ms each unit that is not finished gets its
// poll request (a lost request or reply is simply asked again), datagrams are
// given to the unit whose address sent them and anything from another sender
// is dropped; each unit is called again at the time it asks for. With
// discovery, the version query is broadcast first and every unit that answers
// joins at once; the query goes to every subnet of this workstation (each
// IPv4 address of every interface that is up, under the discovery mask).
// What a unit does is the program's (FleetUnit).
class FleetRun : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollIntervalMs = 300;
    // Discovery listens until no new unit has answered for this long...
    static constexpr int DiscoveryQuietMs = 500;
    // ...and at most this long after the broadcast.
    static constexpr int DiscoveryLongestMs = 2000;

    // Makes the unit at `address`, joining at `startedMs` on the run's clock.
    using UnitFactory = std::function<std::unique_ptr<FleetUnit>(const QHostAddress &address, qint64 startedMs)>;

    FleetRun(const FleetOptions &options, UnitFactory makeUnit, QObject *parent = nullptr);

    // Opens the socket and sends the first requests; false with `error` when
    // the socket cannot be opened.
    bool start(QString *error);
    // Goes on after finished(), once the program gave finished units more to
    // do: sends what they hold, polls them and finishes again when all are.
    void resume();
    // Sends nothing more: the socket is closed and the timers stopped;
    // finished() is not emitted.
    void stop();

    // Named units in the order named, then discovered units by address.
    const std::vector<std::unique_ptr<FleetUnit>> &units() const { return m_units; }
    // Where the discovery query went (empty without discovery), and the first
    // of them (null without discovery).
    QList<QHostAddress> discoveryAddresses() const { return m_discoveryAddresses; }
    QHostAddress discoveryAddress() const { return m_discoveryAddresses.value(0); }
    // The run's clock: milliseconds since start().
    qint64 elapsedMs() const { return m_clock.elapsed(); }

signals:
    // Every unit is finished (and discovery is over).
    void finished();
    // Something happened to some unit: a datagram, a poll or its time.
    void progressed();

private:
    void addUnit(const QHostAddress &address);
    void flush(FleetUnit &unit);
    void readDatagrams();
    void pollTick();
    void callDueUnits();
    void armDueTimer();
    void remap();
    void endDiscovery();
    void finishIfDone();

    FleetOptions m_options;
    UnitFactory m_makeUnit;
    QUdpSocket m_socket;
    QTimer m_pollTimer;
    QTimer m_dueTimer;
    QTimer m_discoveryQuiet;
    QTimer m_discoveryLongest;
    QElapsedTimer m_clock;
    std::vector<std::unique_ptr<FleetUnit>> m_units;
    QHash<quint32, std::size_t> m_byAddress; // IPv4 value -> index in m_units
    QList<QHostAddress> m_discoveryAddresses;
    bool m_discovering = false;
    bool m_done = false;
};
