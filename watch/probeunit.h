#pragma once

#include "fleet/fleetunit.h"
#include "monitor/watchedunit.h"

#include <QSet>
#include <QString>

// One unit probed for its service health: polled until two replies in a row
// leave the same condition word, or until the probe's time runs out. It only
// asks (status request or version query); it never commands. Every control
// MAC that answers at its address is kept: two of them are an address
// conflict.
class ProbeUnit : public FleetUnit
{
public:
    ProbeUnit(const QHostAddress &address, qint64 startedMs, int timeoutMs);

    QByteArray pollRequest() const override { return m_unit.request(); }
    void take(const QByteArray &datagram, qint64 nowMs) override;
    qint64 dueMs() const override { return m_finished ? -1 : startedMs() + m_timeoutMs; }
    void due(qint64 nowMs) override { finish(nowMs); }
    bool finished() const override { return m_finished; }

    const WatchedUnit &unit() const { return m_unit; }
    // The control MACs of the complete status replies from its address.
    const QSet<QString> &controlMacs() const { return m_controlMacs; }
    // From the first request to the end of the probe.
    qint64 elapsedMs() const { return m_elapsedMs; }

private:
    void finish(qint64 nowMs);

    WatchedUnit m_unit;
    int m_timeoutMs = 0;
    QSet<QString> m_controlMacs;
    bool m_finished = false;
    qint64 m_elapsedMs = 0;
};
