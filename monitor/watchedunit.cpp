#include "monitor/watchedunit.h"

#include "channel/resultcodes.h"
#include "monitor/assemblyprofiles.h"

WatchedUnit::WatchedUnit(int assembly)
{
    // The window's state for a unit it starts to poll: record cleared, then
    // the assembly chosen (or "UNKNOWN").
    m_assembly = UnitPoll::acceptAssembly(m_status, assembly).context;
}

UnitPoll::ReplyKind WatchedUnit::take(const QByteArray &datagram)
{
    const UnitPoll::Reply reply = UnitPoll::take(datagram);
    if (reply.kind == UnitPoll::ReplyKind::Ignored)
        return reply.kind;

    if (reply.kind == UnitPoll::ReplyKind::Status) {
        takeStatusReply(reply);
    } else {
        const QString code = UnitPoll::acknowledgementCode(reply.header);
        if (!ResultCodes::isSuccess(code))
            UnitPoll::takeFailure(m_status, code);
    }

    ++m_replies;
    ++m_judgedReplies;
    m_settled = m_judgedReplies >= 2 && m_status.conditionFlags == m_lastFlags;
    m_lastFlags = m_status.conditionFlags;
    return reply.kind;
}

void WatchedUnit::takeStatusReply(const UnitPoll::Reply &reply)
{
    const StatusDecoder::Outcome outcome =
        UnitPoll::takeStatusReply(m_status, reply.header, reply.block, [this](UnitStatus &status) {
            const int adopted =
                UnitPoll::assemblyToAdopt(m_assembly.assemblyIndex, status.modelToken, Assembly::names());
            if (adopted >= 0)
                m_assembly = UnitPoll::acceptAssembly(status, adopted).context;
            return m_assembly;
        });
    m_lastBlockComplete = outcome.blockDecoded;
    m_statusRead = m_statusRead || outcome.blockDecoded;
}

void WatchedUnit::judgeAfresh()
{
    m_settled = false;
    m_statusRead = false;
    m_judgedReplies = 0;
}
