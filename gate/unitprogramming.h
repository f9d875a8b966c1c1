#pragma once

#include "gate/ledger.h"
#include "gate/macpool.h"
#include "gate/unitcheck.h"

// What hvtk-check --program does to one unit before judging it, by the
// window's own commands: a unit that reports another model than the line
// builds gets the assembly SET and, once it acknowledged it, the window's
// defaults-and-restart pause; a unit whose control MAC the checklist rejects
// gets the MAC SET with the next free MAC of the master list, committed to the
// ledger before it is sent. With a ledger, a control MAC the checklist accepts
// but the ledger never handed to this unit (by its Dante MAC) is replaced the
// same way, and the unit is first claimed in the ledger for this run: a unit
// another station's run claimed is left alone. Each is sent at most once; until it is
// acknowledged it is sent again with every poll, as a poll is. Then the unit is
// polled and judged as every other. A refusal ("E" code), a missing
// acknowledgement or an exhausted list ends the unit with its failure.
class UnitProgramming : public UnitCheck
{
public:
    // What every unit of a run programs with; `pool` and `ledger` null: no MAC is given.
    struct Line
    {
        int assembly = 0; // the model the line builds (not "UNKNOWN")
        const MacPool *pool = nullptr;
        Ledger *ledger = nullptr;
    };

    UnitProgramming(const QHostAddress &address, const Line &line, qint64 startedMs, int timeoutMs);

    QByteArray pollRequest() const override;
    void take(const QByteArray &datagram, qint64 nowMs) override;
    qint64 dueMs() const override;
    void due(qint64 nowMs) override;

    // Waiting for an acknowledgement or for the unit's restart.
    bool busy() const { return m_step == Step::AwaitAcknowledgement || m_step == Step::Restarting; }

private:
    enum class Step {
        Look,                 // polling until a complete status reply shows what to program
        AwaitAcknowledgement, // m_command went out
        Restarting,           // the unit loads its defaults and restarts
        Judge,                // nothing more to program: polled and judged
    };

    void look(qint64 nowMs);
    void sendCommand(const QByteArray &command, qint64 nowMs);
    void acknowledged(const QString &code, qint64 nowMs);
    void giveMac(qint64 nowMs);
    bool claimed(qint64 nowMs);
    // The ledger handed this unit's control MAC to this unit; `error` when it cannot tell.
    bool holdsOwnMac(QString *error);
    void resumePolling(qint64 nowMs);
    void fail(const QString &reason, qint64 nowMs);
    Ledger::Unit ledgerUnit() const;

    Line m_line;
    int m_timeoutMs = 0;
    Step m_step = Step::Look;
    qint64 m_stepStartMs = 0;  // the unit's timeout counts from here
    qint64 m_restartEndMs = 0;
    QByteArray m_command;      // waiting for its acknowledgement
    QString m_macGiven;        // the MAC in m_command
    bool m_assemblySent = false;
    bool m_macSent = false;
    bool m_claimed = false;
};
