#include "commission/commissionunit.h"

#include "monitor/assemblyprofiles.h"
#include "monitor/unitpoll.h"

namespace {

// Takes a datagram from the unit as hvtk-check does; true when it was a
// status reply with a complete block.
bool tookCompleteStatus(WatchedUnit &unit, const QByteArray &datagram)
{
    return unit.take(datagram) == UnitPoll::ReplyKind::Status && unit.lastBlockComplete();
}

} // namespace

CommissionUnit::CommissionUnit(const QHostAddress &address, qint64 startedMs, int findingMs)
    : FleetUnit(address, startedMs)
    , m_findingMs(findingMs)
    , m_foundAddress(address)
    , m_found(Assembly::Unknown)
    , m_atPlan(Assembly::Unknown)
{
}

QByteArray CommissionUnit::pollRequest() const
{
    switch (m_phase) {
    case Phase::Finding:
        return m_found.request();
    case Phase::Verifying:
        return m_atPlan.request();
    default:
        return QByteArray();
    }
}

void CommissionUnit::take(const QByteArray &datagram, qint64 nowMs)
{
    switch (m_phase) {
    case Phase::Finding:
        if (tookCompleteStatus(m_found, datagram)) {
            m_before = Identity::fromStatus(m_found.status());
            end(Phase::Found, nowMs);
        }
        break;
    case Phase::Pushing: {
        // Status replies to the polls before the push may still come.
        const UnitPoll::Reply reply = UnitPoll::take(datagram);
        if (reply.kind == UnitPoll::ReplyKind::Acknowledgement) {
            sendAll(m_push->answer(UnitPoll::acknowledgementCode(reply.header), nowMs));
            followPush(nowMs);
        }
        break;
    }
    case Phase::Verifying:
        if (tookCompleteStatus(m_atPlan, datagram)) {
            m_after = Identity::fromStatus(m_atPlan.status());
            if (differences(*m_after, m_plan).isEmpty())
                end(Phase::Commissioned, nowMs);
        }
        break;
    default:
        break;
    }
}

qint64 CommissionUnit::dueMs() const
{
    switch (m_phase) {
    case Phase::Finding:
        return startedMs() + m_findingMs;
    case Phase::Pushing:
        return m_push->dueMs();
    case Phase::Verifying:
        return m_verifyUntilMs;
    default:
        return -1;
    }
}

void CommissionUnit::due(qint64 nowMs)
{
    switch (m_phase) {
    case Phase::Finding:
        if (nowMs >= startedMs() + m_findingMs)
            end(Phase::Silent, nowMs);
        break;
    case Phase::Pushing:
        sendAll(m_push->due(nowMs));
        followPush(nowMs);
        break;
    case Phase::Verifying:
        if (nowMs >= m_verifyUntilMs) {
            if (!m_after && !m_reachable) {
                end(Phase::Moved, nowMs);
                break;
            }
            m_failure = m_after ? QStringLiteral("fields still differ at the planned address")
                                : QStringLiteral("no answer at the planned address");
            end(Phase::Failed, nowMs);
        }
        break;
    default:
        break;
    }
}

bool CommissionUnit::finished() const
{
    return m_phase != Phase::Finding && m_phase != Phase::Pushing && m_phase != Phase::Verifying;
}

bool CommissionUnit::intercom() const
{
    return Assembly::profile(Assembly::names().indexOf(model())).intercom;
}

void CommissionUnit::push(const Identity &plan, const QList<QByteArray> &datagrams, int verifyMs, bool reachable,
                          qint64 nowMs)
{
    m_plan = plan;
    m_verifyMs = verifyMs;
    m_reachable = reachable;
    m_phase = Phase::Pushing;
    m_push.emplace(datagrams);
    sendAll(m_push->start(nowMs));
    followPush(nowMs);
}

void CommissionUnit::stopFinding(qint64 nowMs)
{
    if (m_phase == Phase::Finding)
        end(Phase::Silent, nowMs);
}

void CommissionUnit::sendAll(const QList<QByteArray> &datagrams)
{
    for (const QByteArray &datagram : datagrams)
        send(datagram);
}

// After the last datagram the unit restarts and answers at its planned address.
void CommissionUnit::followPush(qint64 nowMs)
{
    if (m_push->state() == LinkPush::State::Failed) {
        m_failure = m_push->failure();
        end(Phase::Failed, nowMs);
    } else if (m_push->state() == LinkPush::State::Sent) {
        moveTo(QHostAddress(m_plan.controlIp));
        m_phase = Phase::Verifying;
        m_verifyUntilMs = nowMs + m_verifyMs;
        m_atPlan = WatchedUnit(Assembly::Unknown);
        // The first poll at once, not at the next tick.
        send(m_atPlan.request());
    }
}

void CommissionUnit::end(Phase phase, qint64 nowMs)
{
    m_phase = phase;
    m_outcomeMs = nowMs;
}
