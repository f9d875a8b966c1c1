#include "gate/unitprogramming.h"

#include "channel/commandtext.h"
#include "channel/resultcodes.h"
#include "monitor/assemblyprofiles.h"
#include "monitor/pollinterval.h"
#include "monitor/unitpoll.h"

UnitProgramming::UnitProgramming(const QHostAddress &address, const Line &line, qint64 startedMs, int timeoutMs)
    : UnitCheck(address, line.assembly, startedMs, timeoutMs)
    , m_line(line)
    , m_timeoutMs(timeoutMs)
    , m_stepStartMs(startedMs)
{
}

QByteArray UnitProgramming::pollRequest() const
{
    switch (m_step) {
    case Step::AwaitAcknowledgement:
        return m_command; // a lost command or acknowledgement: sent again, as a poll is
    case Step::Restarting:
        return QByteArray();
    case Step::Look:
    case Step::Judge:
        break;
    }
    return request();
}

void UnitProgramming::take(const QByteArray &datagram, qint64 nowMs)
{
    switch (m_step) {
    case Step::Look:
        UnitCheck::take(datagram, nowMs);
        if (statusRead())
            look(nowMs);
        break;
    case Step::AwaitAcknowledgement: {
        // A status reply to a poll sent before the command does not answer it.
        const UnitPoll::Reply reply = UnitPoll::take(datagram);
        if (reply.kind == UnitPoll::ReplyKind::Acknowledgement)
            acknowledged(UnitPoll::acknowledgementCode(reply.header), nowMs);
        break;
    }
    case Step::Restarting:
        break;
    case Step::Judge:
        UnitCheck::take(datagram, nowMs);
        break;
    }
}

qint64 UnitProgramming::dueMs() const
{
    if (finished())
        return -1;
    return m_step == Step::Restarting ? m_restartEndMs : m_stepStartMs + m_timeoutMs;
}

void UnitProgramming::due(qint64 nowMs)
{
    switch (m_step) {
    case Step::Restarting:
        resumePolling(nowMs);
        break;
    case Step::AwaitAcknowledgement:
        fail(QStringLiteral("no acknowledgement within %1 s").arg(m_timeoutMs / 1000.0), nowMs);
        break;
    case Step::Look:
    case Step::Judge:
        UnitCheck::due(nowMs);
        break;
    }
}

// A complete status reply shows what the unit still needs.
void UnitProgramming::look(qint64 nowMs)
{
    if (modelMismatch() && !m_assemblySent) {
        m_assemblySent = true;
        sendCommand(CommandText::assembly(m_line.assembly), nowMs);
    } else if (status().hasCondition(ControlMacInvalid) && m_line.pool && !m_macSent) {
        m_macSent = true;
        giveMac(nowMs);
    } else {
        m_step = Step::Judge;
    }
}

void UnitProgramming::giveMac(qint64 nowMs)
{
    const Ledger::Allocation allocation =
        m_line.ledger->allocate(*m_line.pool, ledgerUnit(), QDateTime::currentDateTimeUtc());
    if (allocation.mac.isEmpty()) {
        failProgramming(allocation.error, nowMs);
        return;
    }
    m_macGiven = allocation.mac;
    // The window's MAC SET for this text typed into its MAC field, its type box hidden.
    sendCommand(CommandText::macAddress(allocation.mac, false), nowMs);
}

void UnitProgramming::sendCommand(const QByteArray &command, qint64 nowMs)
{
    m_command = command;
    m_step = Step::AwaitAcknowledgement;
    m_stepStartMs = nowMs;
    judgeAfresh();
    send(command);
}

void UnitProgramming::acknowledged(const QString &code, qint64 nowMs)
{
    if (!ResultCodes::isSuccess(code)) {
        fail(ResultCodes::refusal(code), nowMs);
        return;
    }
    m_command.clear();
    if (!m_macGiven.isEmpty()) {
        setProgrammedMac(m_macGiven);
        resumePolling(nowMs);
        return;
    }
    // As the window after the first programming: the unit loads its defaults
    // and restarts; it is not asked again before the pause is over.
    setProgrammedAssembly(Assembly::name(m_line.assembly));
    m_step = Step::Restarting;
    m_restartEndMs = nowMs + PollInterval::DefaultsWait;
}

void UnitProgramming::resumePolling(qint64 nowMs)
{
    m_step = Step::Look;
    m_stepStartMs = nowMs;
    send(request());
}

// The pending command failed: a MAC handed out for it is marked in the ledger.
void UnitProgramming::fail(const QString &reason, qint64 nowMs)
{
    QString failure = reason;
    if (!m_macGiven.isEmpty()) {
        failure = QStringLiteral("MAC %1: %2").arg(m_macGiven, reason);
        QString error;
        if (!m_line.ledger->recordFailure(m_macGiven, ledgerUnit(), reason, QDateTime::currentDateTimeUtc(), &error))
            failure += QStringLiteral("; ") + error;
    }
    failProgramming(failure, nowMs);
}

Ledger::Unit UnitProgramming::ledgerUnit() const
{
    return {status().danteMacText, !status().hasCondition(DanteMacInvalid), address().toString(),
            status().modelToken};
}
