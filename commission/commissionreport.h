#pragma once

#include "commission/identity.h"
#include "commission/siteoutcomes.h"
#include "fleet/localsubnets.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// What hvtk-commission says of one plan row or one unit.
struct ReportEntry
{
    int row = 0;                 // plan line; 0 for a unit in no row
    QString controlMac;          // upper case with colons; empty for a silent unit
    QString model;
    QString address;             // where it was found; empty: none
    QString plannedAddress;      // empty: none
    Outcome outcome = Outcome::Missing;
    QList<Difference> differences;
    QString reason;
    qint64 elapsedMs = 0;        // from the start of the run to its outcome
    std::optional<Identity> before; // as found
    std::optional<Identity> after;  // as verified, or as found when it already matched
    QDateTime time;              // of its outcome
};

// The outputs of hvtk-commission: the text lines, the JSON document, the
// record lines and the exit status.
namespace CommissionReport {

// "line 4  02:4B:7D:00:00:15  HV4K  192.168.0.21 -> 192.168.0.121  differs",
// then one indented line per differing field, and the reason.
QString textBlock(const ReportEntry &entry);
// One line per planned subnet that holds planned control addresses on none
// of `subnets` (this workstation's): the subnet in CIDR form, those
// addresses, and how to reach them; empty when every one is on one.
QString unreachableNote(const QList<PlannedUnit> &plan, const QList<Subnet> &subnets);
// The closing line: how many of each outcome.
QString summaryLine(const QList<ReportEntry> &entries);

// The eleven fields, by the plan's column names.
QJsonObject identityObject(const Identity &identity);
QJsonObject entryObject(const ReportEntry &entry);
// {"units": [...]}, indented, with a final newline.
QByteArray jsonDocument(const QList<ReportEntry> &entries);
// The entry's object plus "time", "before", "after" and `run` (the members
// that name the run), on one line.
QByteArray recordLine(const ReportEntry &entry, const QJsonObject &run = {});

// 0 every planned unit matches or was commissioned and there is no
// conflict; 1 a difference remains, a push failed or a conflict; 2 a planned
// unit is missing, a unit is silent or moved out of reach (2 wins over 1).
int exitStatus(const QList<ReportEntry> &entries);

} // namespace CommissionReport
