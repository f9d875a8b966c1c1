// Feeds a file a production line hands to hvtk-check: a master list of
// control MACs, or a ledger written as JSON lines by earlier stations.
//
// Input: one byte (bit 0 clear: a master list; set: a JSON-lines ledger),
// then the file's bytes.

#include "gate/jsonlledger.h"
#include "gate/macpool.h"
#include "monitor/unitfactory.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// A valid list: ranges inside the accepted MACs, none overlapping another,
// read back the same from their own text, handed out from the first.
void checkMasterList(const QByteArray &bytes)
{
    MacPool pool;
    QString error;
    const bool valid = pool.parse(QStringLiteral("pool"), QString::fromUtf8(bytes.constData(), bytes.size()), &error);
    if (!valid) {
        require(error.startsWith(QLatin1String("pool:")), "error names the file");
        require(pool.ranges().empty(), "no range of a rejected list");
        const int line = error.section(QLatin1Char(':'), 1, 1).toInt();
        require(line >= 0 && line <= bytes.count('\n') + 1, "error names a line of the list");
        return;
    }
    require(error.isEmpty() && !pool.ranges().empty(), "a valid list lists a MAC");
    std::vector<MacPool::Range> sorted = pool.ranges();
    QString text;
    for (const MacPool::Range &range : sorted) {
        require(range.first <= range.last, "range forwards");
        for (const quint64 mac : {range.first, range.last})
            require(UnitFactory::hasPrefix(MacText::bytes(mac), UnitFactory::ControlMacPrefix), "accepted MAC");
        text += MacText::text(range.first) + QLatin1Char('-') + MacText::text(range.last) + QLatin1Char('\n');
    }
    std::sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (std::size_t i = 1; i < sorted.size(); ++i)
        require(sorted[i].first > sorted[i - 1].last, "no MAC listed twice");
    MacPool again;
    require(again.parse(QStringLiteral("again"), text, &error), "its own text is a valid list");
    require(again.ranges().size() == pool.ranges().size(), "read back the same");
    require(pool.firstFree({}) == pool.ranges().front().first, "handed out from the top");
}

// Each line is an entry or a problem; a problem line keeps every MAC written
// in it as a station writes one ("mac":"02:4B:7D:00:40:01").
void checkLedger(const QByteArray &bytes)
{
    const JsonlLedger::Contents contents = JsonlLedger::read(QStringLiteral("ledger"), bytes);
    const QList<QByteArray> lines = bytes.split('\n');
    QSet<int> problemLines;
    for (const QString &problem : contents.problems) {
        require(problem.startsWith(QLatin1String("ledger:")), "problem names the file");
        const int line = problem.section(QLatin1Char(':'), 1, 1).toInt();
        require(line >= 1 && line <= lines.size() && !problemLines.contains(line), "one problem per line");
        problemLines << line;
    }
    QSet<QString> macsOfLine;
    int lastLine = 0;
    for (const JsonlLedger::Entry &entry : contents.entries) {
        require(entry.line >= lastLine && entry.line >= 1 && entry.line <= lines.size(), "entries in file order");
        const std::optional<quint64> mac = MacText::parse(entry.mac);
        require(mac && MacText::text(*mac) == entry.mac, "an entry holds a MAC, upper case");
        require(entry.whole || problemLines.contains(entry.line), "a salvaged entry's line is reported");
        if (problemLines.contains(entry.line))
            macsOfLine << QString::number(entry.line) + QLatin1Char(' ') + entry.mac;
        lastLine = entry.line;
    }
    for (const int line : problemLines) {
        const QByteArray &text = lines[line - 1];
        for (int at = text.indexOf("\"mac\":\""); at >= 0; at = text.indexOf("\"mac\":\"", at + 1)) {
            const QByteArray value = text.mid(at + 7, 18);
            const std::optional<quint64> mac = MacText::parse(QString::fromLatin1(value.left(17)));
            if (mac && value.endsWith('"'))
                require(macsOfLine.contains(QString::number(line) + QLatin1Char(' ') + MacText::text(*mac)),
                        "every MAC a bad line still holds is kept");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), int(size - 1));
    if (data[0] & 1)
        checkLedger(bytes);
    else
        checkMasterList(bytes);
    return 0;
}
