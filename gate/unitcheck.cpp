#include "gate/unitcheck.h"

#include "monitor/assemblyprofiles.h"
#include "monitor/checklist.h"
#include "monitor/unitpoll.h"

UnitCheck::UnitCheck(const QHostAddress &address, int assembly, qint64 startedMs, int timeoutMs)
    : FleetUnit(address, startedMs), m_lineAssembly(assembly), m_timeoutMs(timeoutMs), m_watched(assembly)
{
}

void UnitCheck::take(const QByteArray &datagram, qint64 nowMs)
{
    if (m_finished)
        return;
    if (m_watched.take(datagram) != UnitPoll::ReplyKind::Ignored && m_watched.settled())
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
        && Checklist::releaseReady(statusRead(), !checklist().isEmpty());
}

void UnitCheck::judgeAfresh()
{
    m_finished = false;
    m_watched.judgeAfresh();
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
    return m_lineAssembly != Assembly::Unknown && !status().modelToken.isEmpty()
        && StatusDecoder::assemblyIndexForModel(status().modelToken, Assembly::names()) != m_lineAssembly;
}

QStringList UnitCheck::checklist() const
{
    if (!answered())
        return {};
    QStringList lines = UnitPoll::checklistLines(status(), m_watched.assembly());
    if (modelMismatch())
        lines << QStringLiteral("-PROGRAMMED AS %1; THIS LINE BUILDS %2.")
                     .arg(status().modelToken, Assembly::name(m_lineAssembly));
    return lines + m_ledgerLines;
}
