#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>

// One unit of a run over many units (FleetRun), as a program sees it: what a
// poll sends it, what it does with a datagram from it, what it does when its
// own time comes, and whether it is finished. A unit never touches the socket:
// what it wants sent waits in its outbox, and the run sends it to the unit's
// address after each call. A unit that will answer elsewhere from now on
// (one that restarts at a new address) moves with moveTo().
class FleetUnit
{
public:
    FleetUnit(const QHostAddress &address, qint64 startedMs);
    virtual ~FleetUnit() = default;

    QHostAddress address() const { return m_address; }
    // When the unit joined the run, on the run's clock.
    qint64 startedMs() const { return m_startedMs; }

    // What each poll tick sends the unit; empty sends nothing.
    virtual QByteArray pollRequest() const = 0;
    // One datagram from the unit's address.
    virtual void take(const QByteArray &datagram, qint64 nowMs) = 0;
    // When the run next calls due(); negative: never.
    virtual qint64 dueMs() const = 0;
    // The time the unit asked for (dueMs()) has come.
    virtual void due(qint64 nowMs) = 0;
    // A finished unit is neither polled nor given datagrams any more.
    virtual bool finished() const = 0;

    // Datagrams waiting to be sent to address(); the run takes them.
    QList<QByteArray> takeOutbox();

protected:
    void send(const QByteArray &datagram) { m_outbox << datagram; }
    void moveTo(const QHostAddress &address) { m_address = address; }

private:
    QHostAddress m_address;
    qint64 m_startedMs = 0;
    QList<QByteArray> m_outbox;
};
