#pragma once

#include "commission/identity.h"
#include "commission/linkpush.h"
#include "fleet/fleetunit.h"
#include "monitor/watchedunit.h"

#include <QHostAddress>

#include <optional>

// One unit of a commissioning run. First it is found: polled until it gives a
// complete status reply (or stays silent until the finding time runs out).
// Then, when the program pushes its planned identity, it gets the four link
// datagrams and is polled at its planned address until a complete status
// reply there shows every planned field, or the timeout runs out. A unit
// whose planned address lies on none of this workstation's subnets and that
// stays silent there has moved: pushed, but not verifiable from here.
class CommissionUnit : public FleetUnit
{
public:
    enum class Phase { Finding, Found, Silent, Pushing, Verifying, Commissioned, Failed, Moved };

    // `findingMs`: how long it may take to give a complete status reply.
    CommissionUnit(const QHostAddress &address, qint64 startedMs, int findingMs);

    QByteArray pollRequest() const override;
    void take(const QByteArray &datagram, qint64 nowMs) override;
    qint64 dueMs() const override;
    void due(qint64 nowMs) override;
    bool finished() const override;

    // Pushes `plan` with `datagrams` (LinkFields::datagrams of its texts)
    // and verifies it for at most `verifyMs` after the push. `reachable`:
    // the planned control address lies on one of this workstation's subnets.
    void push(const Identity &plan, const QList<QByteArray> &datagrams, int verifyMs, bool reachable, qint64 nowMs);
    // Ends the finding of a unit not wanted any more (found elsewhere) as silent.
    void stopFinding(qint64 nowMs);
    // Still waited for: finding, pushing or verifying.
    bool awaited() const { return !finished(); }

    Phase phase() const { return m_phase; }
    // Where it was found (address() follows the unit to its planned address).
    QHostAddress foundAddress() const { return m_foundAddress; }
    QString model() const { return m_found.status().modelToken; }
    // The model it reports is an intercom (link port base 5000).
    bool intercom() const;
    // As it reported itself when found.
    const Identity &before() const { return m_before; }
    // As it reported itself at its planned address last (after a push).
    const std::optional<Identity> &after() const { return m_after; }
    // On the run's clock: when it was found, or its push ended.
    qint64 outcomeMs() const { return m_outcomeMs; }
    // Why the push failed (the refusal or the silence), empty otherwise.
    QString failure() const { return m_failure; }
    int datagramsSent() const { return m_push ? m_push->sentCount() : 0; }

private:
    void sendAll(const QList<QByteArray> &datagrams);
    void followPush(qint64 nowMs);
    void end(Phase phase, qint64 nowMs);

    Phase m_phase = Phase::Finding;
    int m_findingMs = 0;
    QHostAddress m_foundAddress;
    WatchedUnit m_found;  // polled where it was found
    Identity m_before;
    Identity m_plan;
    std::optional<LinkPush> m_push;
    std::optional<Identity> m_after;
    WatchedUnit m_atPlan; // polled at its planned address after the push
    int m_verifyMs = 0;
    bool m_reachable = true;
    qint64 m_verifyUntilMs = -1;
    qint64 m_outcomeMs = 0;
    QString m_failure;
};
