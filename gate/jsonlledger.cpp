#include "gate/jsonlledger.h"

#include "gate/macpool.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace JsonlLedger {

namespace {

// All of the bytes: a torn line may hold NUL bytes (a file system that
// zero-fills after a power cut), and what follows them counts too.
QString textOf(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes.constData(), bytes.size());
}

// Fills `entry` from the string members of a ledger line; false when the
// line names no MAC.
bool take(const QJsonObject &line, Entry *entry)
{
    const std::optional<quint64> mac = MacText::parse(line.value(QStringLiteral("mac")).toString());
    if (!mac)
        return false;
    entry->mac = MacText::text(*mac);
    entry->danteMac = line.value(QStringLiteral("danteMac")).toString();
    entry->address = line.value(QStringLiteral("address")).toString();
    entry->model = line.value(QStringLiteral("model")).toString();
    entry->station = line.value(QStringLiteral("station")).toString();
    entry->outcome = line.value(QStringLiteral("outcome")).toString();
    entry->reason = line.value(QStringLiteral("reason")).toString();
    entry->time = QDateTime::fromString(line.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    return true;
}

std::optional<QJsonObject> wholeObject(const QByteArray &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

// The members "KEY":"VALUE" that a piece of a line still holds whole.
QJsonObject readableMembers(const QByteArray &piece)
{
    static const QRegularExpression member(QStringLiteral(R"re("([A-Za-z]+)"\s*:\s*("(?:[^"\\]|\\.)*"))re"));
    QJsonObject members;
    auto matches = member.globalMatch(textOf(piece));
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const QJsonArray value =
            QJsonDocument::fromJson(QStringLiteral("[%1]").arg(match.captured(2)).toUtf8()).array();
        if (value.isEmpty())
            continue;
        // Control characters in a value (zeros where the line was lost) are no station's.
        const QString text = value.first().toString();
        if (std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20; }))
            members.insert(match.captured(1), text);
    }
    return members;
}

// Every MAC a piece of a line names as "mac":"02:4B:7D:00:40:01", even
// where the text around it is broken.
QStringList macsNamed(const QString &piece)
{
    static const QRegularExpression named(QStringLiteral(R"re("mac"\s*:\s*"([0-9A-Fa-f:]{17})")re"));
    QStringList macs;
    for (auto match = named.match(piece); match.hasMatch(); match = named.match(piece, match.capturedStart() + 1)) {
        if (const std::optional<quint64> mac = MacText::parse(match.captured(1)))
            macs << MacText::text(*mac);
    }
    return macs;
}

// A line that is no whole ledger line: each "{" starts a piece (a station
// may have written its whole line onto a torn one). A piece gives an entry
// with what it holds, whole when it is a whole ledger line; any other MAC it
// names is kept as an entry of its own.
void salvage(const QByteArray &text, int lineNumber, std::vector<Entry> *entries, QStringList *macs)
{
    for (const QByteArray &rest : text.split('{')) {
        const QByteArray piece = '{' + rest;
        Entry entry;
        entry.line = lineNumber;
        const std::optional<QJsonObject> object = wholeObject(piece.trimmed());
        entry.whole = object && take(*object, &entry);
        QStringList kept;
        if (entry.whole || take(readableMembers(piece), &entry)) {
            entries->push_back(entry);
            kept << entry.mac;
        }
        for (const QString &mac : macsNamed(textOf(piece))) {
            if (kept.contains(mac))
                continue;
            Entry named;
            named.line = lineNumber;
            named.whole = false;
            named.mac = mac;
            entries->push_back(named);
            kept << mac;
        }
        *macs << kept;
    }
}

} // namespace

Contents read(const QString &name, const QByteArray &bytes)
{
    Contents contents;
    QList<QByteArray> lines = bytes.split('\n');
    const bool endsWithNewline = lines.last().isEmpty();
    if (endsWithNewline)
        lines.removeLast();
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNumber = i + 1;
        const QByteArray text = lines[i].trimmed();
        if (text.isEmpty())
            continue;
        Entry entry;
        entry.line = lineNumber;
        const std::optional<QJsonObject> object = wholeObject(text);
        if (object && take(*object, &entry)) {
            contents.entries.push_back(entry);
            continue;
        }
        QStringList macs;
        salvage(text, lineNumber, &contents.entries, &macs);
        const bool torn = i == lines.size() - 1 && !endsWithNewline;
        contents.problems << QStringLiteral("%1:%2: %3; %4")
                                 .arg(name, QString::number(lineNumber),
                                      torn ? QStringLiteral("a torn last line") : QStringLiteral("not a ledger line"),
                                      macs.isEmpty() ? QStringLiteral("no MAC can be read from it")
                                                     : QStringLiteral("kept as used: %1").arg(macs.join(", ")));
    }
    return contents;
}

} // namespace JsonlLedger
