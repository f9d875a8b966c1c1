#include "watch/plandrift.h"

#include "commission/identity.h"

namespace PlanDrift {

const PlannedUnit *rowAt(const QList<PlannedUnit> &plan, quint32 address)
{
    for (const PlannedUnit &unit : plan) {
        if (unit.identity.controlIp == address)
            return &unit;
    }
    return nullptr;
}

QStringList driftedFields(const Identity &planned, const UnitStatus &status)
{
    const Identity now = Identity::fromStatus(status);
    QStringList fields;
    if (now.controlMac != planned.controlMac)
        fields << PlanColumns::name(PlanColumns::ControlMac);
    const QList<Difference> differing = differences(now, planned);
    for (const Difference &difference : differing)
        fields << difference.field;
    return fields;
}

} // namespace PlanDrift
