#pragma once

#include "fleet/fleetrun.h"
#include "fleet/progressline.h"
#include "gate/checkoptions.h"
#include "gate/ledger.h"
#include "gate/unitcheck.h"

#include <QObject>

#include <memory>
#include <vector>

// Checks many units at once: a fleet run (one UDP socket, the 300 ms poll,
// discovery) whose units are UnitChecks, each finished when its verdict
// stands or its timeout ran out. With --program the units are
// UnitProgrammings, and while standard error is a terminal one line there
// counts the units programmed, waiting and judged.
class CheckRun : public QObject
{
    Q_OBJECT

public:
    // `ledger`: where MACs of the master list are written (with --mac-pool),
    // units are claimed (with --program) and every judged unit is recorded;
    // null: none.
    explicit CheckRun(const CheckOptions &options, Ledger *ledger = nullptr, QObject *parent = nullptr);

    // Opens the socket and sends the first requests; false with `error` when
    // the socket cannot be opened.
    bool start(QString *error);
    // Stops the run where it is (SIGINT, SIGTERM): nothing more is sent, the
    // units not judged yet are "interrupted", and finished() follows.
    void interrupt();

    // Named units in the order named, then discovered units by address; all
    // of them once finished() was emitted, but those another station claimed.
    const std::vector<UnitCheck> &units() const { return m_units; }
    // The units another station's run claimed: neither judged nor counted.
    const std::vector<UnitCheck> &claimedElsewhere() const { return m_claimedElsewhere; }
    // Where the discovery query went (empty without discovery).
    QList<QHostAddress> discoveryAddresses() const { return m_run.discoveryAddresses(); }

signals:
    void finished();

private:
    std::unique_ptr<FleetUnit> makeUnit(const QHostAddress &address, qint64 startedMs);
    void showProgress();
    void takeVerdicts();
    void writeLedger();

    CheckOptions m_options;
    Ledger *m_ledger = nullptr;
    FleetRun m_run;
    std::unique_ptr<ProgressLine> m_progress;
    std::vector<UnitCheck> m_units;
    std::vector<UnitCheck> m_claimedElsewhere;
    bool m_interrupted = false;
    bool m_verdictsTaken = false;
};
