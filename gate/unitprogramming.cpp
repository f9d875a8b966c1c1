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
    if (!claimed(nowMs))
        return;
    if (modelMismatch() && !m_assemblySent) {
        m_assemblySent = true;
        markSentAssembly(Assembly::name(m_line.assembly));
        sendCommand(CommandText::assembly(m_line.assembly), nowMs);
        return;
    }
    if (m_line.pool && !m_macSent) {
        QString error;
        const bool own = holdsOwnMac(&error);
        if (!error.isEmpty()) {
            failProgramming(error, nowMs);
            return;
        }
        if (!own) {
            m_macSent = true;
            giveMac(nowMs);
            return;
        }
    }
    m_step = Step::Judge;
}

// Before anything is sent: the unit is this run's, or another station's.
bool UnitProgramming::claimed(qint64 nowMs)
{
    if (m_claimed || !m_line.ledger)
        return true;
    const Ledger::Claim claim = m_line.ledger->claim(status().danteMacText, QDateTime::currentDateTimeUtc());
    if (!claim.error.isEmpty()) {
        failProgramming(claim.error, nowMs);
        return false;
    }
    if (!claim.ours) {
        leaveToStation(claim.station, nowMs);
        return false;
    }
    m_claimed = true;
    return true;
}

bool UnitProgramming::holdsOwnMac(QString *error)
{
    if (status().hasCondition(ControlMacInvalid))
        return false;
    const std::optional<Ledger::Issue> issue = m_line.ledger->issueOf(status().controlMacText, error);
    return issue && issue->danteMac == status().danteMacText && issue->outcome != QLatin1String("refused");
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
    markSentMac(allocation.mac);
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
        const QString reason = ResultCodes::refusal(code);
        // A refused MAC is never handed out again, to this unit or another.
        if (!m_macGiven.isEmpty())
            m_line.ledger->markRefused(m_macGiven, reason);
        fail(reason, nowMs);
        return;
    }
    m_command.clear();
    if (!m_macGiven.isEmpty()) {
        setProgrammedMac(m_macGiven);
        if (!m_line.ledger->markProgrammed(m_macGiven)) {
            failProgramming(QStringLiteral("MAC %1: %2").arg(m_macGiven, m_line.ledger->failures().last()), nowMs);
            return;
        }
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

// The pending command failed. A MAC without an acknowledgement stays this
// unit's in the ledger: it may have reached the unit.
void UnitProgramming::fail(const QString &reason, qint64 nowMs)
{
    failProgramming(m_macGiven.isEmpty() ? reason : QStringLiteral("MAC %1: %2").arg(m_macGiven, reason), nowMs);
}

Ledger::Unit UnitProgramming::ledgerUnit() const
{
    return {status().danteMacText, !status().hasCondition(DanteMacInvalid), address().toString(),
            status().modelToken};
}
