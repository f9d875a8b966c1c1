#pragma once

#include "commission/identity.h"
#include "commission/planfile.h"

#include <QList>

// A row of a valid plan: the line it is on and the identity it plans.
struct PlannedUnit
{
    int line = 0;
    Identity identity;
};

// The checks of a plan before anything is sent: every cell of every row, what
// two rows must not share, and the addresses no unit may have: another
// unit's, its own other one, a gateway, a Q-SYS core or one of this
// workstation's (its IPv4 addresses, which the caller gives).
namespace PlanValidator {

struct Checked
{
    QList<PlannedUnit> units; // in plan order; complete only when there are no errors
    QList<PlanError> errors;  // in line order
};

Checked check(const QList<PlanRow> &rows, const QList<quint32> &workstationAddresses);

// The MAC of a cell: six hexadecimal bytes, upper or lower case, ":" or "-"
// between them; upper case joined by ":", or empty when it is none.
QString macText(const QString &cell);
// The IPv4 value of four-part dotted decimal text without leading zeros.
bool parseDotted(const QString &cell, quint32 *address);

} // namespace PlanValidator
