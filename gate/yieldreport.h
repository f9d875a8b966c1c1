#pragma once

#include "gate/macpool.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The line's yield from its records in the database (one row per judged
// unit, unit_records), per day and model, as hvtk-check --report prints it.
//
// A unit is told by its Dante MAC, or by its control MAC when it reported
// no Dante MAC; a row with neither is a unit of its own. Each unit counts
// once, on the day (UTC) of its first verdict and under the model of its
// last: "First-pass yield" is how many of them were ready at their first
// verdict, "Final yield" at their last. The checklist lines and programming
// failures are counted over all the verdicts of those units.
namespace YieldReport {

// One row of unit_records, as the report needs it.
struct Verdict
{
    QDateTime judgedAt; // UTC
    QString unit;       // see above; empty: the row names no MAC
    QString model;
    bool ready = false;
    QStringList checklist;
    QString programmingFailure;
};

// The days reported, both included; a null date leaves that end open.
struct Period
{
    QDate since;
    QDate until;
};

struct Count
{
    QString text;
    int count = 0;
};

struct Group
{
    QDate day;     // null: all days
    QString model; // empty: all models
    int units = 0;
    int firstPassReady = 0;
    int finalReady = 0;
    std::vector<Count> checklist;           // most frequent first, at most TopCount
    std::vector<Count> programmingFailures; // the same
};

// How many MACs of the master list no ledger row holds (with --mac-pool).
struct MacsLeft
{
    qint64 listed = 0;
    qint64 left = 0;
};

struct Report
{
    Period period;
    std::vector<Group> groups;    // by day, then model
    std::vector<Group> days;      // all models of a day together, by day
    Group total;                  // every day and model
    std::optional<MacsLeft> macs;
};

constexpr int TopCount = 5;

// The report of `verdicts` (in any order) over `period`; verdicts after its
// last day are not counted, those before its first tell which units were
// judged before.
Report compute(std::vector<Verdict> verdicts, const Period &period);

// The rows of unit_records judged up to the period's last day; false with
// the database's own message in `error`.
bool readVerdicts(const QSqlDatabase &database, const Period &period, std::vector<Verdict> *verdicts,
                  QString *error);

// How many MACs of `pool` the ledger has not handed out (issued_macs); false
// with the database's own message in `error`.
bool readMacsLeft(const QSqlDatabase &database, const MacPool &pool, MacsLeft *macs, QString *error);

// The text hvtk-check --report prints, and its --json document.
QString text(const Report &report);
QByteArray json(const Report &report);

} // namespace YieldReport
