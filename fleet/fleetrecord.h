#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>

// How the programs over many units write their results as JSON: the whole
// run as one indented document on standard output, each unit as one compact
// line of the record.
namespace FleetRecord {

// {"units": [...]}, indented.
QByteArray unitsDocument(const QJsonArray &units);
// `object` with its "time" (see recordTime), compact, ending in a newline.
QByteArray recordLine(QJsonObject object, const QDateTime &time);

} // namespace FleetRecord
