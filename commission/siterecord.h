#pragma once

#include "commission/commissionreport.h"
#include "commission/identity.h"

#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// What every record line of one run carries, so that the lines of dry runs,
// applies and reverts in one file can be told apart.
struct RunName
{
    QString id;         // random, 16 lower-case hexadecimal digits
    QString mode;       // "dry-run", "apply" or "revert"
    QString plan;       // the plan's path (a revert: the record's)
    QString planSha256; // of the plan file's bytes, lower-case hexadecimal
    QString version;    // the program's
    QString station;    // the host name, or --station

    static QString newId();
    // The SHA-256 of the file at `path`, empty when it cannot be read.
    static QString fileSha256(const QString &path);
    // {"run", "mode", "plan", "planSha256", "version", "station"}
    QJsonObject fields() const;
};

// The lines hvtk-commission appends to its record, and how --revert reads
// them back.
namespace SiteRecord {

// The run's first line: its name, when it started and its arguments.
QByteArray startLine(const RunName &run, const QDateTime &time, const QStringList &arguments);
// Written and synced before the unit's first link datagram: the entry as
// judged with "outcome": "pushing", "before" and "planned".
QByteArray pushingLine(const RunName &run, const ReportEntry &entry, const Identity &planned);
// The entry's outcome, as CommissionReport::recordLine plus the run's name.
QByteArray outcomeLine(const RunName &run, const ReportEntry &entry);

// A unit that a run pushed to, as its "pushing" line tells.
struct Pushed
{
    int line = 0;          // in the record
    Identity before;
    Identity planned;
    QHostAddress foundAddress;
};

struct Revert
{
    QString run;           // the id of the run reverted
    QList<Pushed> units;   // in record order, one per control MAC (the last line wins)
    QString error;         // why nothing can be reverted; empty otherwise
};

// The units that run `runId` pushed to; without an id, the last run whose
// mode is "apply".
Revert pushedBy(const QByteArray &record, const QString &runId);

// Why a unit that now shows `now` is no longer as the run left it: a field
// that is neither as it was before nor as the run planned it. Empty when
// every field is one or the other.
QString changedSince(const Identity &now, const Pushed &pushed);

} // namespace SiteRecord
