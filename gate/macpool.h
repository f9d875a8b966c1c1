#pragma once

#include <QSet>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>
#include <vector>

// The master list of control MACs a production line may give its units, in
// the order they are handed out. A MAC is held as its 48-bit value.
class MacPool
{
public:
    struct Range
    {
        quint64 first = 0;
        quint64 last = 0; // inclusive
    };

    // Reads the list from `path`: one MAC ("02:4B:7D:00:01:00") or one range
    // ("02:4B:7D:00:01:00-02:4B:7D:00:01:FF") per line, "#" starts a comment,
    // every MAC one the checklist accepts, none listed twice. False with
    // `error` naming the file and line ("pool.txt:3: ...").
    bool load(const QString &path, QString *error);
    // The same, from text already read; `name` stands for the file in errors.
    bool parse(const QString &name, const QString &text, QString *error);

    // The first MAC of the list that is not `taken`.
    std::optional<quint64> firstFree(const QSet<quint64> &taken) const;
    const std::vector<Range> &ranges() const { return m_ranges; }
    // How many MACs the list holds, and whether `mac` is one of them.
    qint64 size() const;
    bool contains(quint64 mac) const;

private:
    std::vector<Range> m_ranges;
};

namespace MacText {

// "02:4b:7d:00:01:0a" (either case) gives its value; nothing for any other text.
std::optional<quint64> parse(const QString &text);
// Upper-case hexadecimal with colons, as the window's MAC field holds it.
QString text(quint64 mac);
std::array<quint8, 6> bytes(quint64 mac);

} // namespace MacText
