#include "commission/planfile.h"

#include <csv.h>

#include <QHash>

#include <memory>

namespace PlanFile {

namespace {

const QByteArray ByteOrderMark("\xEF\xBB\xBF");

// The cells of the records libcsv hands over, each with the line it starts on.
struct Records
{
    QList<PlanRow> rows; // every record, the header first; fields beyond 11 are dropped
    QList<QStringList> cells;
    QList<int> lines;
    QStringList current;
    int startLine = 0;
    bool atBoundary = true; // between records: the next line starts one
};

void takeField(void *data, size_t length, void *context)
{
    auto *records = static_cast<Records *>(context);
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

bool isBlank(const QStringList &cells)
{
    return std::all_of(cells.begin(), cells.end(), [](const QString &cell) { return cell.isEmpty(); });
}

bool isText(const QByteArray &bytes)
{
    return !bytes.contains('\0') && QString::fromUtf8(bytes).toUtf8() == bytes;
}

// Parses line by line, so that each record knows the physical line it starts
// on and comment lines between records never reach the parser.
Records parseRecords(const QByteArray &text, QList<PlanError> *errors)
{
    Records records;
    csv_parser parser;
    const unsigned char options = CSV_STRICT | CSV_STRICT_FINI | CSV_APPEND_NULL;
    csv_init(&parser, options);
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNumber = i + 1;
        const QByteArray &line = lines[i];
        if (records.atBoundary) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.isEmpty() || trimmed.startsWith('#'))
                continue;
            records.startLine = lineNumber;
            records.atBoundary = false;
        }
        const QByteArray chunk = i + 1 < lines.size() ? line + '\n' : line;
        if (csv_parse(&parser, chunk.constData(), size_t(chunk.size()), takeField, takeRecordEnd, &records)
            != size_t(chunk.size())) {
            errors->append({lineNumber, QStringLiteral("not valid CSV (%1)")
                                            .arg(QString::fromLatin1(csv_strerror(csv_error(&parser))))});
            // Go on with the next line as a record of its own.
            csv_free(&parser);
            csv_init(&parser, options);
            records.current.clear();
            records.atBoundary = true;
        }
    }
    if (csv_fini(&parser, takeField, takeRecordEnd, &records) != 0)
        errors->append({records.startLine, QStringLiteral("a quoted cell is not closed")});
    csv_free(&parser);
    return records;
}

} // namespace

Read parse(const QByteArray &bytes)
{
    Read read;
    const QByteArray text = bytes.startsWith(ByteOrderMark) ? bytes.mid(ByteOrderMark.size()) : bytes;
    if (!isText(text)) {
        read.isText = false;
        return read;
    }
    Records records = parseRecords(text, &read.errors);
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
        // Quoted only where a spreadsheet needs it.
        const bool plain = !bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\r')
            && !bytes.contains('\n') && bytes.trimmed() == bytes;
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
