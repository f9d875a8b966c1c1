#include "gate/unitcheck.h"

#include "channel/resultcodes.h"
#include "monitor/assemblyprofiles.h"
#include "monitor/checklist.h"
#include "monitor/unitpoll.h"

UnitCheck::UnitCheck(const QHostAddress &address, int assembly, qint64 startedMs, int timeoutMs)
    : FleetUnit(address, startedMs), m_lineAssembly(assembly), m_timeoutMs(timeoutMs)
{
    // The window's state for a unit it starts to poll: offline, record
    // cleared, then the assembly the technician chose (or "UNKNOWN").
    m_assembly = UnitPoll::acceptAssembly(m_status, assembly).context;
}

QByteArray UnitCheck::request() const
{
    return UnitPoll::request(m_status);
}

void UnitCheck::take(const QByteArray &datagram, qint64 nowMs)
{
    const UnitPoll::Reply reply = UnitPoll::take(datagram);
    if (reply.kind == UnitPoll::ReplyKind::Ignored || m_finished)
        return;

    if (reply.kind == UnitPoll::ReplyKind::Status) {
        const StatusDecoder::Outcome outcome =
            UnitPoll::takeStatusReply(m_status, reply.header, reply.block, [this](UnitStatus &status) {
                const int adopted =
                    UnitPoll::assemblyToAdopt(m_assembly.assemblyIndex, status.modelToken, Assembly::names());
                if (adopted >= 0)
                    m_assembly = UnitPoll::acceptAssembly(status, adopted).context;
                return m_assembly;
            });
        m_statusRead = m_statusRead || outcome.blockDecoded;
    } else {
        const QString code = UnitPoll::acknowledgementCode(reply.header);
        if (!ResultCodes::isSuccess(code))
            UnitPoll::takeFailure(m_status, code);
    }

    ++m_replies;
    ++m_judgedReplies;
    m_settled = m_judgedReplies >= 2 && m_status.conditionFlags == m_lastFlags;
    m_lastFlags = m_status.conditionFlags;
    if (m_settled)
        finish(nowMs, QDateTime::currentDateTimeUtc());
}

void UnitCheck::due(qint64 nowMs)
{
    finish(nowMs, QDateTime::currentDateTimeUtc());
}

void UnitCheck::finish(qint64 nowMs, const QDateTime &time)
{
    m_finished = true;
    m_elapsedMs = nowMs - startedMs();
    m_finishTime = time;
}

void UnitCheck::interrupt(qint64 nowMs)
{
    if (m_finished)
        return;
    m_interrupted = true;
    finish(nowMs, QDateTime::currentDateTimeUtc());
}

bool UnitCheck::ready() const
{
    return answered() && m_programmingFailure.isEmpty() && !m_interrupted
        && Checklist::releaseReady(m_statusRead, !checklist().isEmpty());
}

void UnitCheck::judgeAfresh()
{
    m_finished = false;
    m_settled = false;
    m_statusRead = false;
    m_judgedReplies = 0;
}

void UnitCheck::failProgramming(const QString &reason, qint64 nowMs)
{
    m_programmingFailure = reason;
    finish(nowMs, QDateTime::currentDateTimeUtc());
}

void UnitCheck::leaveToStation(const QString &station, qint64 nowMs)
{
    m_claimedBy = station;
    finish(nowMs, QDateTime::currentDateTimeUtc());
}

bool UnitCheck::modelMismatch() const
{
    return m_lineAssembly != Assembly::Unknown && !m_status.modelToken.isEmpty()
        && StatusDecoder::assemblyIndexForModel(m_status.modelToken, Assembly::names()) != m_lineAssembly;
}

QStringList UnitCheck::checklist() const
{
    if (!answered())
        return {};
    QStringList lines = UnitPoll::checklistLines(m_status, m_assembly);
    if (modelMismatch())
        lines << QStringLiteral("-PROGRAMMED AS %1; THIS LINE BUILDS %2.")
                     .arg(m_status.modelToken, Assembly::name(m_lineAssembly));
    return lines + m_ledgerLines;
}
