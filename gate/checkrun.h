#pragma once

#include "fleet/fleetrun.h"
#include "gate/checkoptions.h"
#include "gate/unitcheck.h"

#include <QObject>

#include <vector>

// Checks many units at once: a fleet run (one UDP socket, the 300 ms poll,
// discovery) whose units are UnitChecks, each finished when its verdict
// stands or its timeout ran out.
class CheckRun : public QObject
{
    Q_OBJECT

public:
    explicit CheckRun(const CheckOptions &options, QObject *parent = nullptr);

    // Opens the socket and sends the first requests; false with `error` when
    // the socket cannot be opened.
    bool start(QString *error);

    // Named units in the order named, then discovered units by address; all
    // of them once finished() was emitted.
    const std::vector<UnitCheck> &units() const { return m_units; }
    // Where the discovery query went (null without discovery).
    QHostAddress discoveryAddress() const { return m_run.discoveryAddress(); }

signals:
    void finished();

private:
    void takeVerdicts();

    FleetRun m_run;
    std::vector<UnitCheck> m_units;
};
