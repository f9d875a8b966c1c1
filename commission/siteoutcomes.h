#pragma once

#include "commission/identity.h"
#include "commission/planvalidator.h"

#include <QHostAddress>
#include <QList>
#include <QString>

// A unit as the finding left it.
struct FoundUnit
{
    QHostAddress address;  // where it answered (or was named)
    bool found = false;    // it gave a complete status reply
    QString model;
    bool intercom = false;
    Identity identity;     // as it reports itself, when found
};

// Moved: pushed and acknowledged, but silent at a planned address on none of
// this workstation's subnets, so not verifiable from here.
enum class Outcome { Matches, Differs, Missing, Unplanned, Conflict, Silent, Commissioned, Failed, Moved };

// "matches", "differs", ...
QString outcomeText(Outcome outcome);

// What a run says of one plan row or one unit.
struct SiteOutcome
{
    int planIndex = -1; // into the plan, or -1 for a unit in no row
    int unitIndex = -1; // into the found units, or -1 for a missing row
    Outcome outcome = Outcome::Missing;
    QList<Difference> differences;
    QString reason;
};

// Matches the units to the plan rows by control MAC and decides each one's
// outcome before anything is pushed: one per plan row in plan order, then the
// found units in no row, then the silent ones. A unit is in conflict when its
// MAC is reported twice, when its planned control or Dante address is
// another found unit's (where it answers, its stored control address or its
// Dante address), or when after the run it would share a station ID on one
// Q-SYS core with a unit of its family or with a missing row (whose family
// is not known). A missing row stays missing.
QList<SiteOutcome> judgeSite(const QList<PlannedUnit> &plan, const QList<FoundUnit> &units);
