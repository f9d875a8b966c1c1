// Feeds one file through the plan reader of hvtk-commission, as whatever a
// technician gives it as the plan: the CSV reader with its separators,
// encodings and limits, then the checks of every row. Besides "no crash":
// every error and every row is on a line of the file; a plan read without
// errors, written back by the template's writer, reads back the same; and
// the units of a valid plan, written back as the template writes them, are a
// valid plan of the same units.
//
// Input: the plan file's bytes.

#include "commission/planfile.h"
#include "commission/planvalidator.h"

#include <QHostAddress>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

QStringList cellsOf(const PlanFields &fields)
{
    return QStringList(fields.begin(), fields.end());
}

// The rows a written plan keeps: a row with all eleven cells empty is a blank line.
QList<QStringList> writtenRows(const QList<PlanRow> &rows)
{
    QList<QStringList> cells;
    for (const PlanRow &row : rows) {
        if (std::any_of(row.fields.begin(), row.fields.end(), [](const QString &cell) { return !cell.isEmpty(); }))
            cells << cellsOf(row.fields);
    }
    return cells;
}

void requireWrittenReadsBack(const QList<PlanRow> &rows)
{
    const QList<QStringList> cells = writtenRows(rows);
    if (cells.isEmpty())
        return; // a header only is "no unit row after the header"
    const PlanFile::Read again = PlanFile::parse(PlanFile::write(PlanColumns::names(), cells));
    require(again.content == PlanFile::Content::Csv && again.errors.isEmpty(), "a written plan reads without error");
    QList<QStringList> read;
    for (const PlanRow &row : again.rows)
        read << cellsOf(row.fields);
    require(read == cells, "a written plan reads back the cells written");
}

void requireUnitsStayValid(const QList<PlannedUnit> &units, const QList<quint32> &workstation)
{
    QList<PlanRow> rows;
    for (const PlannedUnit &unit : units)
        rows << PlanRow{unit.line, unit.identity.texts()};
    const PlanValidator::Checked again = PlanValidator::check(rows, workstation);
    require(again.errors.isEmpty(), "a valid plan as the template writes it is valid");
    require(again.units.size() == units.size(), "every unit of a valid plan is kept");
    for (int i = 0; i < units.size(); ++i)
        require(again.units[i].identity.texts() == units[i].identity.texts(), "a unit's identity reads back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    // Lines end in "\n", "\r\n" or a lone "\r".
    const int lineCount = int(bytes.count('\n') + bytes.count('\r') - bytes.count("\r\n")) + 1;
    const PlanFile::Read read = PlanFile::parse(bytes);
    for (const PlanError &error : read.errors)
        require(error.line >= 1 && error.line <= lineCount && !error.text.isEmpty(), "an error names a line");
    int previous = 0;
    for (const PlanRow &row : read.rows) {
        require(row.line > previous && row.line <= lineCount, "each row starts a line of the file, in order");
        previous = row.line;
    }
    switch (read.content) {
    case PlanFile::Content::Workbook:
        require(read.errors.isEmpty() && read.rows.isEmpty(), "a workbook is not read");
        return 0;
    case PlanFile::Content::NotUtf8:
        require(read.errors.size() == 1 && read.rows.isEmpty(), "text that is not UTF-8 has one error");
        return 0;
    case PlanFile::Content::Csv:
        break;
    }
    if (!read.columnsFound)
        return 0;
    if (read.errors.isEmpty())
        requireWrittenReadsBack(read.rows);

    const QList<quint32> workstation{QHostAddress(QStringLiteral("192.168.0.17")).toIPv4Address()};
    const PlanValidator::Checked checked = PlanValidator::check(read.rows, workstation);
    for (const PlanError &error : checked.errors)
        require(error.line >= 1 && error.line <= lineCount && !error.text.isEmpty(), "a row error names a line");
    if (checked.errors.isEmpty())
        requireUnitsStayValid(checked.units, workstation);
    return 0;
}
