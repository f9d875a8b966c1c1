#include "watch/scrapetargets.h"

#include "channel/addresstext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ScrapeTargets {

QByteArray fileSdDocument(const QList<PlannedUnit> &plan)
{
    QJsonArray groups;
    for (const PlannedUnit &unit : plan) {
        groups.append(QJsonObject{
            {QStringLiteral("targets"), QJsonArray{AddressText::ipv4(unit.identity.controlIp)}},
            {QStringLiteral("labels"), QJsonObject{{QStringLiteral("local_name"), unit.identity.localName}}}});
    }
    return QJsonDocument(groups).toJson(QJsonDocument::Indented);
}

} // namespace ScrapeTargets
