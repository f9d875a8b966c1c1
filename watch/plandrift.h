#pragma once

#include "commission/planvalidator.h"
#include "monitor/unitstatus.h"

#include <QList>
#include <QStringList>

// A unit in service held against the plan the site was commissioned from.
namespace PlanDrift {

// The row of a checked plan that gives a unit the control address `address`
// (host order), or nullptr when none does.
const PlannedUnit *rowAt(const QList<PlannedUnit> &plan, quint32 address);

// The plan's column names ("controlMac", "localName", ...) of the fields the
// unit reports otherwise than planned, in column order. A control MAC other
// than the planned one is another unit at the planned address.
QStringList driftedFields(const Identity &planned, const UnitStatus &status);

} // namespace PlanDrift
