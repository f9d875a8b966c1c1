#include "commission/planfile.h"

#include <csv.h>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace PlanFile {

namespace {

const QByteArray ByteOrderMark("\xEF\xBB\xBF");
const QString CellTooLong = QStringLiteral("a cell is longer than 4 KB");

// The cells of the records libcsv hands over, each with the line it starts on.
struct Records
{
    QList<QStringList> cells;
    QList<int> lines;
    QStringList current;
    int startLine = 0;
    bool atBoundary = true; // between records: the next line starts one
    bool cellTooLong = false;
};

void takeField(void *data, size_t length, void *context)
{
    auto *records = static_cast<Records *>(context);
    if (length > size_t(MaximumCellSize))
        records->cellTooLong = true;
    else
        records->current << QString::fromUtf8(static_cast<const char *>(data), int(length));
}

void takeRecordEnd(int, void *context)
{
    auto *records = static_cast<Records *>(context);
    records->cells << records->current;
    records->lines << records->startLine;
    records->current.clear();
    records->atBoundary = true;
}

// libcsv grows the buffer of the cell it reads through this, a few bytes at
// a time. Refusing past twice the longest cell stops it (CSV_ENOMEM) at a
// cell far too long, before copying megabytes in small steps takes time
// quadratic in the cell's length.
void *growCellBuffer(void *buffer, size_t size)
{
    return size > 2 * size_t(MaximumCellSize) ? nullptr : std::realloc(buffer, size);
}

bool isBlank(const QStringList &cells)
{
    return std::all_of(cells.begin(), cells.end(), [](const QString &cell) { return cell.isEmpty(); });
}

bool isSkipped(const QByteArray &line)
{
    const QByteArray trimmed = line.trimmed();
    return trimmed.isEmpty() || trimmed.startsWith('#');
}

// A ZIP (.xlsx, .ods and any other ZIP) or an OLE2 compound file (.xls).
bool isWorkbook(const QByteArray &bytes)
{
    static const QByteArray signatures[] = {QByteArray("PK\x03\x04"), QByteArray("PK\x05\x06"),
                                            QByteArray("PK\x07\x08"),
                                            QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")};
    return std::any_of(std::begin(signatures), std::end(signatures),
                       [&bytes](const QByteArray &signature) { return bytes.startsWith(signature); });
}

bool isUtf8Text(const QByteArray &line)
{
    return !line.contains('\0') && QString::fromUtf8(line).toUtf8() == line;
}

// The physical lines of a text, each with its line end: "\n", "\r\n" or a
// lone "\r" (as classic Mac spreadsheets end lines); the last may have none.
// The lines share the text's bytes: they are used only while it lives.
QList<QByteArray> linesOf(const QByteArray &text)
{
    QList<QByteArray> lines;
    const char *start = text.constBegin();
    const char *const end = text.constEnd();
    while (start != end) {
        const char *next = std::find_if(start, end, [](char c) { return c == '\n' || c == '\r'; });
        if (next != end)
            next += *next == '\r' && next + 1 != end && next[1] == '\n' ? 2 : 1;
        lines << QByteArray::fromRawData(start, int(next - start));
        start = next;
    }
    return lines;
}

// The number of the line that holds byte number `offset` (from 0).
int lineHolding(const QList<QByteArray> &lines, qint64 offset)
{
    int line = 0;
    for (qint64 passed = 0; line < lines.size() && passed <= offset; ++line)
        passed += lines[line].size();
    return line;
}

// The number of the first line that is not UTF-8 text, or 0 when all are.
int firstLineNotUtf8(const QList<QByteArray> &lines)
{
    const auto bad = std::find_if_not(lines.begin(), lines.end(), isUtf8Text);
    return bad == lines.end() ? 0 : int(bad - lines.begin()) + 1;
}

// The separator of the header (the first line that is not skipped): the one
// of ",", ";" and tab that splits it into the most column names, a comma
// when none does better.
char separatorOf(const QList<QByteArray> &lines)
{
    const auto header = std::find_if_not(lines.begin(), lines.end(), isSkipped);
    if (header == lines.end())
        return ',';
    const QStringList names = PlanColumns::names();
    char best = ',';
    int bestCount = 0;
    for (const char separator : {',', ';', '\t'}) {
        int count = 0;
        for (const QByteArray &cell : header->split(separator)) {
            QByteArray name = cell.trimmed();
            if (name.size() >= 2 && name.startsWith('"') && name.endsWith('"'))
                name = name.mid(1, name.size() - 2);
            count += names.contains(QString::fromUtf8(name)) ? 1 : 0;
        }
        if (count > bestCount) {
            best = separator;
            bestCount = count;
        }
    }
    return best;
}

// Parses line by line, so that each record knows the physical line it starts
// on and comment lines between records never reach the parser. A cell
// longer than 4 KB ends the reading: `refused` is set.
Records parseRecords(const QList<QByteArray> &lines, char separator, QList<PlanError> *errors, bool *refused)
{
    Records records;
    csv_parser parser;
    const auto start = [&parser, separator] {
        csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_APPEND_NULL);
        csv_set_delim(&parser, static_cast<unsigned char>(separator));
        csv_set_realloc_func(&parser, growCellBuffer);
    };
    start();
    *refused = false;
    for (int i = 0; i < lines.size() && !*refused; ++i) {
        const int lineNumber = i + 1;
        const QByteArray &line = lines[i];
        if (records.atBoundary) {
            if (isSkipped(line))
                continue;
            records.startLine = lineNumber;
            records.atBoundary = false;
        }
        const bool parsed =
            csv_parse(&parser, line.constData(), size_t(line.size()), takeField, takeRecordEnd, &records)
            == size_t(line.size());
        if (records.cellTooLong || csv_error(&parser) == CSV_ENOMEM) {
            errors->append({records.startLine, CellTooLong});
            *refused = true;
        } else if (!parsed) {
            errors->append({lineNumber, QStringLiteral("not valid CSV (%1)")
                                            .arg(QString::fromLatin1(csv_strerror(csv_error(&parser))))});
            // Go on with the next line as a record of its own.
            csv_free(&parser);
            start();
            records.current.clear();
            records.atBoundary = true;
        }
    }
    if (!*refused && csv_fini(&parser, takeField, takeRecordEnd, &records) != 0)
        errors->append({records.startLine, QStringLiteral("a quoted cell is not closed")});
    if (!*refused && records.cellTooLong) {
        errors->append({records.startLine, CellTooLong});
        *refused = true;
    }
    csv_free(&parser);
    return records;
}

} // namespace

Read parse(const QByteArray &bytes)
{
    Read read;
    if (isWorkbook(bytes)) {
        read.content = Content::Workbook;
        return read;
    }
    QList<QByteArray> lines = linesOf(bytes);
    if (bytes.size() > MaximumSize) {
        read.errors.append({lineHolding(lines, MaximumSize), QStringLiteral("the plan is larger than 16 MB")});
        return read;
    }
    if (bytes.startsWith(ByteOrderMark))
        lines.first().remove(0, ByteOrderMark.size());
    const int notUtf8 = firstLineNotUtf8(lines);
    if (notUtf8 > 0) {
        read.content = Content::NotUtf8;
        read.errors.append({notUtf8, QStringLiteral("not UTF-8 text; save it as CSV with UTF-8 encoding")});
        return read;
    }
    read.separator = separatorOf(lines);
    bool refused = false;
    Records records = parseRecords(lines, read.separator, &read.errors, &refused);
    if (refused)
        return read;
    for (int i = records.cells.size() - 1; i >= 0; --i) {
        if (isBlank(records.cells[i])) {
            records.cells.removeAt(i);
            records.lines.removeAt(i);
        }
    }
    if (records.cells.isEmpty()) {
        read.errors.append({1, QStringLiteral("no header row")});
        return read;
    }

    // The header: where each column is.
    QStringList header;
    for (const QString &name : records.cells.first())
        header << name.trimmed();
    const int headerLine = records.lines.first();
    const int earlierErrors = read.errors.size();
    std::array<int, PlanColumns::Count> index;
    index.fill(-1);
    for (int c = 0; c < PlanColumns::Count; ++c) {
        const QString name = PlanColumns::name(PlanColumns::Column(c));
        index[c] = header.indexOf(name);
        if (index[c] < 0)
            read.errors.append({headerLine, QStringLiteral("missing column \"%1\"").arg(name)});
        else if (header.lastIndexOf(name) != index[c])
            read.errors.append({headerLine, QStringLiteral("column \"%1\" appears twice").arg(name)});
    }
    read.columnsFound = read.errors.size() == earlierErrors;
    if (records.cells.size() == 1 && read.errors.isEmpty())
        read.errors.append({headerLine, QStringLiteral("no unit row after the header")});

    for (int r = 1; r < records.cells.size(); ++r) {
        const QStringList &cells = records.cells[r];
        PlanRow row;
        row.line = records.lines[r];
        if (cells.size() > header.size())
            read.errors.append({row.line, QStringLiteral("%1 cells, more than the %2 columns of the header")
                                              .arg(cells.size())
                                              .arg(header.size())});
        for (int c = 0; c < PlanColumns::Count; ++c)
            row.fields[std::size_t(c)] = index[c] >= 0 ? cells.value(index[c]) : QString();
        read.rows << row;
    }
    return read;
}

QByteArray write(const QStringList &header, const QList<QStringList> &rows)
{
    const auto cellText = [](const QString &cell) {
        const QByteArray bytes = cell.toUtf8();
        // Quoted only where a spreadsheet needs it, and where a line would
        // otherwise start with the "#" of a comment.
        const bool plain = !bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\r')
            && !bytes.contains('\n') && bytes.trimmed() == bytes && !bytes.startsWith('#');
        if (plain)
            return bytes;
        QByteArray quoted(bytes.size() * 2 + 2, '\0');
        quoted.resize(int(csv_write(quoted.data(), size_t(quoted.size()), bytes.constData(), size_t(bytes.size()))));
        return quoted;
    };
    QByteArray text;
    for (const QStringList &line : QList<QStringList>{header} + rows) {
        QList<QByteArray> cells;
        for (const QString &cell : line)
            cells << cellText(cell);
        text += cells.join(',') + "\r\n";
    }
    return text;
}

} // namespace PlanFile
