#include "gate/macpool.h"

#include "channel/addresstext.h"
#include "monitor/unitfactory.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <map>

namespace MacText {

std::optional<quint64> parse(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2}){5}$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    return QString(text).remove(QLatin1Char(':')).toULongLong(nullptr, 16);
}

std::array<quint8, 6> bytes(quint64 mac)
{
    std::array<quint8, 6> result{};
    for (int i = 0; i < 6; ++i)
        result[std::size_t(i)] = quint8(mac >> (8 * (5 - i)));
    return result;
}

QString text(quint64 mac)
{
    return AddressText::mac(bytes(mac));
}

} // namespace MacText

namespace {

// The range of MACs the checklist accepts, as the error names it.
QString acceptedRangeText()
{
    const auto &p = UnitFactory::ControlMacPrefix;
    return QString::asprintf("%.2X:%.2X:%.2X:%.2X:00:00-%.2X:%.2X:%.2X:%.2X:FF:FF", p[0], p[1], p[2], p[3], p[0],
                             p[1], p[2], p[3]);
}

} // namespace

bool MacPool::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    // All of it: a NUL byte is a bad line, not the end of the list.
    const QByteArray bytes = file.readAll();
    return parse(path, QString::fromUtf8(bytes.constData(), bytes.size()), error);
}

bool MacPool::parse(const QString &name, const QString &text, QString *error)
{
    m_ranges.clear();
    std::map<quint64, std::pair<quint64, int>> listed; // first -> last, line
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNumber = i + 1;
        const auto fail = [&](const QString &why) {
            *error = QStringLiteral("%1:%2: %3").arg(name).arg(lineNumber).arg(why);
            m_ranges.clear();
            return false;
        };
        const QString content = lines[i].section(QLatin1Char('#'), 0, 0).trimmed();
        if (content.isEmpty())
            continue;
        const QStringList ends = content.split(QLatin1Char('-'));
        const std::optional<quint64> first = MacText::parse(ends.value(0).trimmed());
        const std::optional<quint64> last = MacText::parse(ends.value(ends.size() - 1).trimmed());
        if (ends.size() > 2 || !first || !last)
            return fail(QStringLiteral("\"%1\" is not a MAC (02:4B:7D:00:01:00) nor a range FIRST-LAST")
                            .arg(content));
        for (const quint64 mac : {*first, *last}) {
            if (!UnitFactory::hasPrefix(MacText::bytes(mac), UnitFactory::ControlMacPrefix))
                return fail(QStringLiteral("%1 is not a control MAC the checklist accepts (%2)")
                                .arg(MacText::text(mac), acceptedRangeText()));
        }
        if (*last < *first)
            return fail(QStringLiteral("the range %1 runs backwards").arg(content));
        // The nearest range that starts at or before this one's end.
        auto after = listed.upper_bound(*last);
        if (after != listed.begin() && std::prev(after)->second.first >= *first)
            return fail(QStringLiteral("%1 is listed already on line %2")
                            .arg(MacText::text(std::max(*first, std::prev(after)->first)))
                            .arg(std::prev(after)->second.second));
        listed.emplace(*first, std::make_pair(*last, lineNumber));
        m_ranges.push_back({*first, *last});
    }
    if (m_ranges.empty()) {
        *error = QStringLiteral("%1: lists no MAC").arg(name);
        return false;
    }
    return true;
}

std::optional<quint64> MacPool::firstFree(const QSet<quint64> &taken) const
{
    for (const Range &range : m_ranges) {
        for (quint64 mac = range.first; mac <= range.last; ++mac) {
            if (!taken.contains(mac))
                return mac;
        }
    }
    return std::nullopt;
}

qint64 MacPool::size() const
{
    qint64 size = 0;
    for (const Range &range : m_ranges)
        size += qint64(range.last - range.first) + 1;
    return size;
}

bool MacPool::contains(quint64 mac) const
{
    return std::any_of(m_ranges.begin(), m_ranges.end(),
                       [mac](const Range &range) { return mac >= range.first && mac <= range.last; });
}
