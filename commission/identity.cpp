#include "commission/identity.h"

#include "channel/addresstext.h"

Identity Identity::fromStatus(const UnitStatus &status)
{
    Identity identity;
    identity.controlMac = AddressText::mac(status.controlMac);
    identity.controlIp = status.controlIpStored;
    identity.controlMask = status.controlSubnetMask;
    identity.controlGateway = status.controlGateway;
    identity.localName = status.localName;
    identity.danteIp = status.danteIp;
    identity.danteMask = status.danteSubnetMask;
    identity.danteGateway = status.danteGateway;
    identity.danteName = status.danteName;
    identity.qsysCoreIp = status.qsysCoreIp;
    identity.stationId = status.stationId;
    return identity;
}

PlanFields Identity::texts() const
{
    PlanFields fields;
    fields[PlanColumns::ControlMac] = controlMac;
    fields[PlanColumns::ControlIp] = AddressText::ipv4(controlIp);
    fields[PlanColumns::ControlMask] = AddressText::ipv4(controlMask);
    fields[PlanColumns::ControlGateway] = AddressText::ipv4(controlGateway);
    fields[PlanColumns::LocalName] = localName;
    fields[PlanColumns::DanteIp] = AddressText::ipv4(danteIp);
    fields[PlanColumns::DanteMask] = AddressText::ipv4(danteMask);
    fields[PlanColumns::DanteGateway] = AddressText::ipv4(danteGateway);
    fields[PlanColumns::DanteName] = danteName;
    fields[PlanColumns::QsysCoreIp] = AddressText::ipv4(qsysCoreIp);
    fields[PlanColumns::StationId] = QString::number(stationId);
    return fields;
}

QList<Difference> differences(const Identity &now, const Identity &plan)
{
    const PlanFields nowTexts = now.texts();
    const PlanFields planTexts = plan.texts();
    QList<Difference> list;
    for (int c = PlanColumns::ControlMac + 1; c < PlanColumns::Count; ++c) {
        if (nowTexts[std::size_t(c)] != planTexts[std::size_t(c)])
            list.append({PlanColumns::name(PlanColumns::Column(c)), nowTexts[std::size_t(c)], planTexts[std::size_t(c)]});
    }
    return list;
}
