#pragma once

#include "fleet/fleetunit.h"
#include "monitor/unitstatus.h"
#include "monitor/watchedunit.h"

#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QStringList>

// One unit under check: what the window would hold for it in private mode
// (its record and the assembly it is judged against), fed with every datagram
// it sends, and when its verdict stands: when two replies in a row left the
// same condition word, or when its timeout runs out.
class UnitCheck : public FleetUnit
{
public:
    // `assembly`: the assembly list index to judge against; "UNKNOWN" takes
    // the model the unit reports, as the window does.
    // `startedMs`: when its first request goes out, on the run's clock.
    UnitCheck(const QHostAddress &address, int assembly, qint64 startedMs, int timeoutMs);

    // The request the next poll sends.
    QByteArray request() const { return m_watched.request(); }
    QByteArray pollRequest() const override { return request(); }
    // Takes one datagram the unit sent at `nowMs` on the run's clock.
    void take(const QByteArray &datagram, qint64 nowMs) override;
    // The timeout: the unit is judged on what it sent so far.
    qint64 dueMs() const override { return m_finished ? -1 : startedMs() + m_timeoutMs; }
    void due(qint64 nowMs) override;

    // Two replies in a row left the same condition word.
    bool settled() const { return m_watched.settled(); }

    // The check of this unit ends at `nowMs` on the run's clock.
    void finish(qint64 nowMs, const QDateTime &time);
    bool finished() const override { return m_finished; }
    // From its first request to its verdict.
    qint64 elapsedMs() const { return m_elapsedMs; }
    QDateTime finishTime() const { return m_finishTime; }

    // The unit sent at least one reply the window takes.
    bool answered() const { return m_watched.replies() > 0; }
    // At least one status reply had a complete block: every condition was read.
    bool statusRead() const { return m_watched.statusRead(); }
    // Answered, every condition read, no checklist line open, no programming failed.
    bool ready() const;
    // Judged against a model the line builds (not "UNKNOWN"), the unit's
    // status reply names another one ("Halvo" counts as HV4).
    bool modelMismatch() const;
    // The window's checklist lines for the last state, then hvtk-check's own
    // line for a model mismatch; none for a unit that never answered.
    QStringList checklist() const;
    const UnitStatus &status() const { return m_watched.status(); }

    // What hvtk-check --program had the unit take (acknowledged); empty: nothing.
    QString programmedAssembly() const { return m_programmedAssembly; }
    QString programmedMac() const { return m_programmedMac; }
    // Why programming the unit failed; empty when it did not. Such a unit is not ready.
    QString programmingFailure() const { return m_programmingFailure; }
    // The station whose run claimed the unit in the ledger first; empty when
    // this run works on it. Such a unit is left alone and not counted.
    QString claimedBy() const { return m_claimedBy; }
    // What --program sent the unit, acknowledged or not; empty: nothing.
    QString sentAssembly() const { return m_sentAssembly; }
    QString sentMac() const { return m_sentMac; }
    // The run was stopped (SIGINT, SIGTERM) before the unit was judged.
    bool interrupted() const { return m_interrupted; }
    // Stops the unit's check where it is: nothing more is sent it.
    void interrupt(qint64 nowMs);

    // Lines the ledger adds to the checklist (a MAC that is not this unit's
    // alone); each makes the unit not ready.
    void addLedgerLine(const QString &line) { m_ledgerLines << line; }

protected:
    // The unit was programmed: what it sent before does not count for the
    // verdict, which waits again for a complete reply and two in a row.
    void judgeAfresh();
    void setProgrammedAssembly(const QString &assembly) { m_programmedAssembly = assembly; }
    void setProgrammedMac(const QString &mac) { m_programmedMac = mac; }
    // Ends the unit's check with its failure, judged on what it sent so far.
    void failProgramming(const QString &reason, qint64 nowMs);
    // Another station's run works on the unit: its check ends untouched.
    void leaveToStation(const QString &station, qint64 nowMs);
    void markSentAssembly(const QString &assembly) { m_sentAssembly = assembly; }
    void markSentMac(const QString &mac) { m_sentMac = mac; }

private:
    int m_lineAssembly = 0; // the assembly hvtk-check was given
    int m_timeoutMs = 0;
    WatchedUnit m_watched;
    bool m_finished = false;
    qint64 m_elapsedMs = 0;
    QDateTime m_finishTime;
    QString m_programmedAssembly;
    QString m_programmedMac;
    QString m_programmingFailure;
    QString m_claimedBy;
    QStringList m_ledgerLines;
    QString m_sentAssembly;
    QString m_sentMac;
    bool m_interrupted = false;
};
