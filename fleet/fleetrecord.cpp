#include "fleet/fleetrecord.h"

#include "fleet/recordtime.h"

#include <QJsonDocument>

namespace FleetRecord {

QByteArray unitsDocument(const QJsonArray &units)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("units"), units}}).toJson(QJsonDocument::Indented);
}

QByteArray recordLine(QJsonObject object, const QDateTime &time)
{
    object.insert(QStringLiteral("time"), recordTime(time));
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace FleetRecord
