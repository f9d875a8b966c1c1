#include "commission/plancolumns.h"

namespace PlanColumns {

QString name(Column column)
{
    return names().value(column);
}

QStringList names()
{
    return {QStringLiteral("controlMac"),     QStringLiteral("controlIp"),   QStringLiteral("controlMask"),
            QStringLiteral("controlGateway"), QStringLiteral("localName"),   QStringLiteral("danteIp"),
            QStringLiteral("danteMask"),      QStringLiteral("danteGateway"), QStringLiteral("danteName"),
            QStringLiteral("qsysCoreIp"),     QStringLiteral("stationId")};
}

} // namespace PlanColumns
