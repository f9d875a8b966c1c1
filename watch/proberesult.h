#pragma once

#include "monitor/unitstatus.h"

#include <QString>
#include <QStringList>

// What one probe of a unit in service learned: whether it answered, its
// decoded status, whether two units answered at its address, and, with a
// plan, whether the address is planned and which planned fields the unit no
// longer holds.
struct ProbeResult
{
    QString target; // the address probed, dotted
    bool answered = false;
    bool statusRead = false; // a complete status block was decoded
    UnitStatus status;
    bool addressConflict = false; // two control MACs answered at the target
    bool planGiven = false;
    bool planned = false;    // the plan has a row for the target
    QStringList driftedFields; // plan column names, in column order
    double durationSeconds = 0;

    // A Q-SYS core is set (its address is not 0.0.0.0) and the unit reports it linked.
    bool qsysCoreSet() const { return statusRead && status.qsysCoreIp != 0; }
    bool qsysCoreLinked() const { return statusRead && (status.networkStatus & QsysCoreLinked); }
};
