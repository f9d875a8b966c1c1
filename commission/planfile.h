#pragma once

#include "commission/plancolumns.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One problem of a plan, written "PLAN:LINE: what is wrong".
struct PlanError
{
    int line = 0;
    QString text;
};

// One row of the plan as its cells read, on the physical line it starts on.
struct PlanRow
{
    int line = 0;
    PlanFields fields;
};

// A plan file read as CSV the way a spreadsheet saves it: a header row naming
// the columns in any order, then one row per unit. A byte-order mark, CRLF or
// LF line ends, spaces around unquoted cells, quoted cells with commas,
// quotes and line breaks are taken; blank lines and lines starting with "#"
// are skipped.
namespace PlanFile {

struct Read
{
    bool isText = true;    // false: not UTF-8 text, nothing else was read
    bool columnsFound = false; // the header names all eleven columns once
    QList<PlanRow> rows;
    QList<PlanError> errors; // missing columns, malformed CSV
};

Read parse(const QByteArray &bytes);

// The CSV text of a header and rows of cells, lines ending in CRLF as
// RFC 4180 has them.
QByteArray write(const QStringList &header, const QList<QStringList> &rows);

} // namespace PlanFile
