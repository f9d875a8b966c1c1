#include "commission/commissionunit.h"

#include "channel/resultcodes.h"
#include "monitor/assemblyprofiles.h"
#include "monitor/unitpoll.h"

namespace {

// Takes a status reply into `status` as hvtk-check does; true when its block
// was complete.
bool takeStatusReply(UnitStatus &status, StatusDecoder::AssemblyContext &assembly, const UnitPoll::Reply &reply)
{
    const StatusDecoder::Outcome outcome =
        UnitPoll::takeStatusReply(status, reply.header, reply.block, [&assembly](UnitStatus &s) {
            const int adopted = UnitPoll::assemblyToAdopt(assembly.assemblyIndex, s.modelToken, Assembly::names());
            if (adopted >= 0)
                assembly = UnitPoll::acceptAssembly(s, adopted).context;
            return assembly;
        });
    return outcome.blockDecoded;
}

} // namespace

CommissionUnit::CommissionUnit(const QHostAddress &address, qint64 startedMs, int findingMs)
    : FleetUnit(address, startedMs), m_findingMs(findingMs), m_foundAddress(address)
{
    m_assembly = UnitPoll::acceptAssembly(m_status, Assembly::Unknown).context;
}

QByteArray CommissionUnit::pollRequest() const
{
    switch (m_phase) {
    case Phase::Finding:
        return UnitPoll::request(m_status);
    case Phase::Verifying:
        return UnitPoll::request(m_afterStatus);
    default:
        return QByteArray();
    }
}

void CommissionUnit::take(const QByteArray &datagram, qint64 nowMs)
{
    const UnitPoll::Reply reply = UnitPoll::take(datagram);
    if (reply.kind == UnitPoll::ReplyKind::Ignored)
        return;
    switch (m_phase) {
    case Phase::Finding:
        if (reply.kind == UnitPoll::ReplyKind::Status) {
            if (takeStatusReply(m_status, m_assembly, reply)) {
                m_before = Identity::fromStatus(m_status);
                end(Phase::Found, nowMs);
            }
        } else {
            const QString code = UnitPoll::acknowledgementCode(reply.header);
            if (!ResultCodes::isSuccess(code))
                UnitPoll::takeFailure(m_status, code);
        }
        break;
    case Phase::Pushing:
        // Status replies to the polls before the push may still come.
        if (reply.kind == UnitPoll::ReplyKind::Acknowledgement) {
            sendAll(m_push->answer(UnitPoll::acknowledgementCode(reply.header), nowMs));
            followPush(nowMs);
        }
        break;
    case Phase::Verifying:
        if (reply.kind == UnitPoll::ReplyKind::Status) {
            if (takeStatusReply(m_afterStatus, m_assembly, reply)) {
                m_after = Identity::fromStatus(m_afterStatus);
                if (differences(*m_after, m_plan).isEmpty())
                    end(Phase::Commissioned, nowMs);
            }
        } else {
            const QString code = UnitPoll::acknowledgementCode(reply.header);
            if (!ResultCodes::isSuccess(code))
                UnitPoll::takeFailure(m_afterStatus, code);
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
    return Assembly::profile(Assembly::names().indexOf(m_status.modelToken)).intercom;
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
        m_afterStatus = UnitStatus();
        m_assembly = UnitPoll::acceptAssembly(m_afterStatus, Assembly::Unknown).context;
        // The first poll at once, not at the next tick.
        send(UnitPoll::request(m_afterStatus));
    }
}

void CommissionUnit::end(Phase phase, qint64 nowMs)
{
    m_phase = phase;
    m_outcomeMs = nowMs;
}
