#pragma once

#include "commission/planvalidator.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A plan file read and checked as a whole, as every program that takes a
// plan reads it: the file, its text (a workbook or text that is not UTF-8 is
// refused), every cell and every clash between rows or with this
// workstation's own addresses.
namespace PlanLoad {

struct Loaded
{
    int status = 0;          // 0, or the exit status: 65 (errors in the plan) or 66 (unreadable)
    QByteArray errorText;    // one "PLAN:LINE: what" line (or "PLAN: what") per error
    QList<PlannedUnit> units; // complete only when status is 0
};

Loaded fromFile(const QString &path);

} // namespace PlanLoad
