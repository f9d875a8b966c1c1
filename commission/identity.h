#pragma once

#include "commission/plancolumns.h"
#include "monitor/unitstatus.h"

#include <QList>
#include <QString>

// A unit's network identity: the eleven fields of a plan row, as a plan
// states them or as a unit's status reply reports them.
struct Identity
{
    QString controlMac; // upper-case hexadecimal bytes joined by ":"
    quint32 controlIp = 0;
    quint32 controlMask = 0;
    quint32 controlGateway = 0;
    QString localName;
    quint32 danteIp = 0;
    quint32 danteMask = 0;
    quint32 danteGateway = 0;
    QString danteName;
    quint32 qsysCoreIp = 0;
    int stationId = 0;

    // What a unit reports (its stored control address, not the one it answers at).
    static Identity fromStatus(const UnitStatus &status);
    // The texts of the fields in plan column order: dotted addresses, the
    // station ID in decimal.
    PlanFields texts() const;
};

// A field whose value now is not the planned one.
struct Difference
{
    QString field; // the plan's column name
    QString now;
    QString plan;
};

// The fields of `plan` that `now` does not hold, in column order (the MAC,
// the key, is not compared).
QList<Difference> differences(const Identity &now, const Identity &plan);
