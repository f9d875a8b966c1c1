#pragma once

#include "gate/ledger.h"
#include "gate/unitcheck.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <vector>

// What hvtk-check writes: the text blocks, the JSON document, the record
// lines and the exit status.
namespace CheckReport {

// One unit: a line with address, model and firmware, then the verdict lines.
QString textBlock(const UnitCheck &unit, int timeoutMs);
// The closing line: how many units were ready, not ready, without an answer.
QString summaryLine(const std::vector<UnitCheck> &units);

QJsonObject unitObject(const UnitCheck &unit);
// {"units": [...]}, indented, with a final newline.
QByteArray jsonDocument(const std::vector<UnitCheck> &units);
// The unit's object plus "time", on one line ending in a newline.
QByteArray recordLine(const UnitCheck &unit);

// The unit's row of the line's records in the ledger; its record object is
// the record line's. `now` stands for the time of a unit not judged.
Ledger::Record ledgerRecord(const UnitCheck &unit, const QDateTime &now);
// "ADDRESS  Programmed by station NAME.": a unit another station's run claimed.
QString claimedLine(const UnitCheck &unit);
// How many units answered; with --expect N and fewer than N of them, the
// line for standard error that says so, else an empty text.
QString missingUnitsLine(const std::vector<UnitCheck> &units, int expectedUnits);

// 0 all ready, 1 all answered but not all ready, 2 a unit did not answer
// (or there is no unit at all).
int exitStatus(const std::vector<UnitCheck> &units);

} // namespace CheckReport
