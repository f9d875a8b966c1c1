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
// the columns in any order, then one row per unit. The header tells the
// separator: ",", ";" or a tab, whichever splits it into the most column
// names. A byte-order mark, CRLF or LF line ends, spaces around unquoted
// cells, quoted cells with separators, quotes and line breaks are taken;
// blank lines and lines starting with "#" are skipped. Reading takes time
// linear in the plan's size.
namespace PlanFile {

constexpr int MaximumSize = 16 * 1024 * 1024; // bytes; a longer plan is refused
constexpr int MaximumCellSize = 4096;         // bytes; a plan with a longer cell is refused

enum class Content {
    Csv,      // read as CSV: rows and errors
    NotUtf8,  // one error on the first line that is not UTF-8 text; nothing else read
    Workbook, // a ZIP (.xlsx, .ods) or an OLE2 file (.xls); nothing read
};

struct Read
{
    Content content = Content::Csv;
    char separator = ',';
    bool columnsFound = false; // the header names all eleven columns once
    QList<PlanRow> rows;
    QList<PlanError> errors; // missing columns, malformed CSV, a plan or cell too long
};

Read parse(const QByteArray &bytes);

// The CSV text of a header and rows of cells, lines ending in CRLF as
// RFC 4180 has them; parse() reads every cell back as written.
QByteArray write(const QStringList &header, const QList<QStringList> &rows);

} // namespace PlanFile
