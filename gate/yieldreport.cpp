#include "gate/yieldreport.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>
#include <map>

namespace YieldReport {

namespace {

// A group while its units are counted.
struct Tally
{
    Group group;
    QHash<QString, int> lines;
    QHash<QString, int> failures;

    void add(const std::vector<const Verdict *> &history)
    {
        ++group.units;
        group.firstPassReady += history.front()->ready;
        group.finalReady += history.back()->ready;
        for (const Verdict *verdict : history) {
            for (const QString &line : verdict->checklist)
                ++lines[line];
            if (!verdict->programmingFailure.isEmpty())
                ++failures[verdict->programmingFailure];
        }
    }

    Group finished() const
    {
        Group result = group;
        result.checklist = mostFrequent(lines);
        result.programmingFailures = mostFrequent(failures);
        return result;
    }

    static std::vector<Count> mostFrequent(const QHash<QString, int> &counts)
    {
        std::vector<Count> sorted;
        for (auto it = counts.begin(); it != counts.end(); ++it)
            sorted.push_back({it.key(), it.value()});
        std::sort(sorted.begin(), sorted.end(), [](const Count &a, const Count &b) {
            return a.count != b.count ? a.count > b.count : a.text < b.text;
        });
        if (sorted.size() > std::size_t(TopCount))
            sorted.resize(TopCount);
        return sorted;
    }
};

QString dayText(const QDate &day)
{
    return day.toString(Qt::ISODate);
}

// The first moment after the period's last day, as judged_at writes it.
QDateTime periodEnd(const Period &period)
{
    return period.until.isValid() ? QDateTime(period.until.addDays(1), QTime(0, 0), Qt::UTC) : QDateTime();
}

QString percent(int part, int whole)
{
    return whole == 0 ? QStringLiteral("-") : QString::number(100.0 * part / whole, 'f', 1) + QStringLiteral(" %");
}

QJsonValue percentValue(int part, int whole)
{
    return whole == 0 ? QJsonValue() : QJsonValue(std::round(1000.0 * part / whole) / 10);
}

QString countLines(const QString &title, const std::vector<Count> &counts)
{
    if (counts.empty())
        return QString();
    QString text = QStringLiteral("  %1:\n").arg(title);
    for (const Count &count : counts)
        text += QStringLiteral("  %1  %2\n").arg(count.count, 6).arg(count.text);
    return text;
}

QString groupText(const QString &heading, const Group &group)
{
    return heading + QLatin1Char('\n')
        + QStringLiteral("  Units judged:      %1\n").arg(group.units)
        + QStringLiteral("  First-pass yield:  %1 (%2 of %3)\n")
              .arg(percent(group.firstPassReady, group.units))
              .arg(group.firstPassReady)
              .arg(group.units)
        + QStringLiteral("  Final yield:       %1 (%2 of %3)\n")
              .arg(percent(group.finalReady, group.units))
              .arg(group.finalReady)
              .arg(group.units)
        + countLines(QStringLiteral("Checklist lines"), group.checklist)
        + countLines(QStringLiteral("Programming failures"), group.programmingFailures);
}

QJsonArray countArray(const std::vector<Count> &counts, const QString &name)
{
    QJsonArray array;
    for (const Count &count : counts)
        array.append(QJsonObject{{name, count.text}, {QStringLiteral("count"), count.count}});
    return array;
}

// `withModel`: a group of one day and model.
QJsonObject groupObject(const Group &group, bool withModel = false)
{
    QJsonObject object{
        {QStringLiteral("units"), group.units},
        {QStringLiteral("firstPassReady"), group.firstPassReady},
        {QStringLiteral("finalReady"), group.finalReady},
        {QStringLiteral("firstPassYield"), percentValue(group.firstPassReady, group.units)},
        {QStringLiteral("finalYield"), percentValue(group.finalReady, group.units)},
        {QStringLiteral("checklist"), countArray(group.checklist, QStringLiteral("line"))},
        {QStringLiteral("programmingFailures"), countArray(group.programmingFailures, QStringLiteral("failure"))},
    };
    if (group.day.isValid())
        object.insert(QStringLiteral("day"), dayText(group.day));
    if (withModel)
        object.insert(QStringLiteral("model"), group.model);
    return object;
}

QJsonArray groupArray(const std::vector<Group> &groups, bool withModel)
{
    QJsonArray array;
    for (const Group &group : groups)
        array.append(groupObject(group, withModel));
    return array;
}

} // namespace

Report compute(std::vector<Verdict> verdicts, const Period &period)
{
    std::stable_sort(verdicts.begin(), verdicts.end(),
                     [](const Verdict &a, const Verdict &b) { return a.judgedAt < b.judgedAt; });
    const QDateTime end = periodEnd(period);
    // Each unit's verdicts in the order judged, units in the order first judged.
    std::vector<std::vector<const Verdict *>> histories;
    QHash<QString, std::size_t> unitIndex;
    for (const Verdict &verdict : verdicts) {
        if (end.isValid() && verdict.judgedAt >= end)
            break;
        const auto known = unitIndex.constFind(verdict.unit);
        if (verdict.unit.isEmpty() || known == unitIndex.constEnd()) {
            if (!verdict.unit.isEmpty())
                unitIndex.insert(verdict.unit, histories.size());
            histories.push_back({&verdict});
        } else {
            histories[known.value()].push_back(&verdict);
        }
    }

    std::map<std::pair<QDate, QString>, Tally> groups;
    std::map<QDate, Tally> days;
    Tally total;
    for (const auto &history : histories) {
        const QDate day = history.front()->judgedAt.toUTC().date();
        if (period.since.isValid() && day < period.since)
            continue;
        QString model;
        for (const Verdict *verdict : history) {
            if (!verdict->model.isEmpty())
                model = verdict->model;
        }
        groups[{day, model}].add(history);
        days[day].add(history);
        total.add(history);
    }

    Report report;
    report.period = period;
    for (auto &[key, tally] : groups) {
        tally.group.day = key.first;
        tally.group.model = key.second;
        report.groups.push_back(tally.finished());
    }
    for (auto &[day, tally] : days) {
        tally.group.day = day;
        report.days.push_back(tally.finished());
    }
    report.total = total.finished();
    return report;
}

bool readVerdicts(const QSqlDatabase &database, const Period &period, std::vector<Verdict> *verdicts, QString *error)
{
    QString statement = QStringLiteral("SELECT judged_at, control_mac, dante_mac, model, ready, checklist, "
                                       "programming_failure FROM unit_records");
    const QDateTime end = periodEnd(period);
    if (end.isValid())
        statement += QStringLiteral(" WHERE judged_at < ?");
    statement += QStringLiteral(" ORDER BY judged_at, id");
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!query.prepare(statement)) {
        *error = query.lastError().text();
        return false;
    }
    if (end.isValid())
        query.addBindValue(end.toString(Qt::ISODateWithMs));
    if (!query.exec()) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next()) {
        Verdict verdict;
        verdict.judgedAt = QDateTime::fromString(query.value(0).toString(), Qt::ISODateWithMs).toUTC();
        const QString danteMac = query.value(2).toString();
        verdict.unit = danteMac.isEmpty() ? query.value(1).toString() : danteMac;
        verdict.model = query.value(3).toString();
        verdict.ready = query.value(4).toInt() == 1;
        for (const QJsonValue &line : QJsonDocument::fromJson(query.value(5).toString().toUtf8()).array())
            verdict.checklist << line.toString();
        verdict.programmingFailure = query.value(6).toString();
        verdicts->push_back(verdict);
    }
    if (query.lastError().isValid()) {
        *error = query.lastError().text();
        return false;
    }
    return true;
}

bool readMacsLeft(const QSqlDatabase &database, const MacPool &pool, MacsLeft *macs, QString *error)
{
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT mac FROM issued_macs"))) {
        *error = query.lastError().text();
        return false;
    }
    macs->listed = pool.size();
    macs->left = macs->listed;
    while (query.next()) {
        const std::optional<quint64> mac = MacText::parse(query.value(0).toString());
        macs->left -= mac && pool.contains(*mac);
    }
    if (query.lastError().isValid()) {
        *error = query.lastError().text();
        return false;
    }
    return true;
}

QString text(const Report &report)
{
    const Period &period = report.period;
    QString days = QStringLiteral("every day recorded");
    if (period.since.isValid() && period.until.isValid())
        days = QStringLiteral("%1 to %2").arg(dayText(period.since), dayText(period.until));
    else if (period.since.isValid())
        days = QStringLiteral("from %1").arg(dayText(period.since));
    else if (period.until.isValid())
        days = QStringLiteral("up to %1").arg(dayText(period.until));
    QString text = QStringLiteral("Yield per day and model, %1 (days in UTC; a unit counts on the day of its "
                                  "first verdict, under the model of its last)\n")
                       .arg(days);
    for (const Group &group : report.groups)
        text += QLatin1Char('\n')
            + groupText(QStringLiteral("%1  %2").arg(dayText(group.day),
                                                      group.model.isEmpty() ? QStringLiteral("(no model)") : group.model),
                        group);
    if (report.groups.empty())
        text += QStringLiteral("\nNo unit was judged in these days.\n");
    else
        text += QLatin1Char('\n') + groupText(QStringLiteral("All days and models"), report.total);
    if (report.macs)
        text += QStringLiteral("\nMACs left in the master list: %1 of %2 (%3)\n")
                    .arg(report.macs->left)
                    .arg(report.macs->listed)
                    .arg(percent(int(report.macs->left), int(report.macs->listed)));
    return text;
}

QByteArray json(const Report &report)
{
    const auto dateValue = [](const QDate &day) { return day.isValid() ? QJsonValue(dayText(day)) : QJsonValue(); };
    QJsonObject document{
        {QStringLiteral("since"), dateValue(report.period.since)},
        {QStringLiteral("until"), dateValue(report.period.until)},
        {QStringLiteral("groups"), groupArray(report.groups, true)},
        {QStringLiteral("days"), groupArray(report.days, false)},
        {QStringLiteral("total"), groupObject(report.total)},
    };
    if (report.macs)
        document.insert(QStringLiteral("macPool"), QJsonObject{{QStringLiteral("listed"), report.macs->listed},
                                                               {QStringLiteral("left"), report.macs->left}});
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace YieldReport
