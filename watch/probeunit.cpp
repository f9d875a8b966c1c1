#include "watch/probeunit.h"

#include "monitor/assemblyprofiles.h"

ProbeUnit::ProbeUnit(const QHostAddress &address, qint64 startedMs, int timeoutMs)
    : FleetUnit(address, startedMs)
    , m_unit(Assembly::Unknown)
    , m_timeoutMs(timeoutMs)
{
}

void ProbeUnit::take(const QByteArray &datagram, qint64 nowMs)
{
    if (m_finished)
        return;
    if (m_unit.take(datagram) == UnitPoll::ReplyKind::Status && m_unit.lastBlockComplete())
        m_controlMacs.insert(m_unit.status().controlMacText);
    // Two units answering at one address may never agree; that they both
    // answered is what the probe had to learn.
    if (m_unit.settled() || (m_controlMacs.size() > 1 && m_unit.replies() >= 2))
        finish(nowMs);
}

void ProbeUnit::finish(qint64 nowMs)
{
    m_finished = true;
    m_elapsedMs = nowMs - startedMs();
}
