#pragma once

#include "gate/checkoptions.h"
#include "gate/unitcheck.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <vector>

// Checks many units at once from one UDP socket on a free local port, on the
// thread it lives on: every 300 ms each unit that has not settled is asked
// again (a lost request or reply is simply asked again), replies are matched
// to units by sender address, and anything from another sender is dropped.
// With discovery, the version query is broadcast first and every unit that
// answers joins the check at once.
class CheckRun : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollIntervalMs = 300;
    // Discovery listens until no new unit has answered for this long...
    static constexpr int DiscoveryQuietMs = 500;
    // ...and at most this long after the broadcast.
    static constexpr int DiscoveryLongestMs = 2000;

    explicit CheckRun(const CheckOptions &options, QObject *parent = nullptr);

    // Opens the socket and sends the first requests; false with `error` when
    // the socket cannot be opened.
    bool start(QString *error);

    // Named units in the order named, then discovered units by address.
    const std::vector<UnitCheck> &units() const { return m_units; }
    // Where the discovery query went (null without discovery).
    QHostAddress discoveryAddress() const { return m_discoveryAddress; }

signals:
    void finished();

private:
    void addUnit(const QHostAddress &address);
    void ask(UnitCheck &unit);
    void readDatagrams();
    void pollTick();
    void finishOverdue();
    void armDeadline();
    void endDiscovery();
    void finishIfDone();

    CheckOptions m_options;
    QUdpSocket m_socket;
    QTimer m_pollTimer;
    QTimer m_deadlineTimer;
    QTimer m_discoveryQuiet;
    QTimer m_discoveryLongest;
    QElapsedTimer m_clock;
    std::vector<UnitCheck> m_units;
    QHash<quint32, std::size_t> m_byAddress; // IPv4 value -> index in m_units
    QHostAddress m_discoveryAddress;
    bool m_discovering = false;
    bool m_done = false;
};
