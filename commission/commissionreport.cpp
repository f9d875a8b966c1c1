#include "commission/commissionreport.h"

#include "channel/addresstext.h"
#include "fleet/fleetrecord.h"

#include <QHash>
#include <QJsonArray>

#include <algorithm>

namespace CommissionReport {

namespace {

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QJsonValue identityOrNull(const std::optional<Identity> &identity)
{
    return identity ? QJsonValue(identityObject(*identity)) : QJsonValue(QJsonValue::Null);
}

} // namespace

QString textBlock(const ReportEntry &entry)
{
    const QString row = entry.row > 0 ? QStringLiteral("line %1").arg(entry.row) : QStringLiteral("no line");
    const QString mac = entry.controlMac.isEmpty() ? QStringLiteral("(no MAC)") : entry.controlMac;
    const QString address = entry.address.isEmpty() ? QStringLiteral("(not found)") : entry.address;
    QString where = address;
    if (!entry.plannedAddress.isEmpty() && entry.plannedAddress != entry.address)
        where += QStringLiteral(" -> ") + entry.plannedAddress;
    const QString model = entry.model.isEmpty() ? QString() : entry.model + QStringLiteral("  ");
    QString block = QStringLiteral("%1  %2  %3%4  %5\n").arg(row, mac, model, where, outcomeText(entry.outcome));
    for (const Difference &difference : entry.differences)
        block += QStringLiteral("    %1: %2 -> %3\n").arg(difference.field, difference.now, difference.plan);
    if (!entry.reason.isEmpty())
        block += QStringLiteral("    %1\n").arg(entry.reason);
    return block;
}

QString unreachableNote(const QList<PlannedUnit> &plan, const QList<Subnet> &subnets)
{
    QStringList order;
    QHash<QString, QStringList> addresses; // subnet -> planned addresses on it
    for (const PlannedUnit &row : plan) {
        if (LocalSubnets::reaches(subnets, row.identity.controlIp))
            continue;
        const QString subnet = LocalSubnets::cidr(row.identity.controlIp, row.identity.controlMask);
        if (!addresses.contains(subnet))
            order << subnet;
        addresses[subnet] << AddressText::ipv4(row.identity.controlIp);
    }
    QString note;
    for (const QString &subnet : qAsConst(order))
        note += QStringLiteral("%1: planned control addresses on none of this workstation's subnets: %2; to verify "
                               "them from here, give this workstation an address on %1 (or a route to it) and run "
                               "the dry run again\n")
                    .arg(subnet, addresses.value(subnet).join(QStringLiteral(", ")));
    return note;
}

QString summaryLine(const QList<ReportEntry> &entries)
{
    QStringList counts;
    for (int o = 0; o <= int(Outcome::Moved); ++o) {
        const int count = int(std::count_if(entries.begin(), entries.end(),
                                            [o](const ReportEntry &entry) { return int(entry.outcome) == o; }));
        if (count > 0)
            counts << QStringLiteral("%1 %2").arg(count).arg(outcomeText(Outcome(o)));
    }
    return QStringLiteral("%1 plan row(s) and unit(s): %2.\n")
        .arg(entries.size())
        .arg(counts.isEmpty() ? QStringLiteral("nothing") : counts.join(QStringLiteral(", ")));
}

QJsonObject identityObject(const Identity &identity)
{
    const PlanFields texts = identity.texts();
    QJsonObject object;
    for (int c = 0; c < PlanColumns::Count; ++c)
        object.insert(PlanColumns::name(PlanColumns::Column(c)), texts[std::size_t(c)]);
    object.insert(PlanColumns::name(PlanColumns::StationId), identity.stationId);
    return object;
}

QJsonObject entryObject(const ReportEntry &entry)
{
    QJsonArray differences;
    for (const Difference &difference : entry.differences)
        differences.append(QJsonObject{{QStringLiteral("field"), difference.field},
                                       {QStringLiteral("now"), difference.now},
                                       {QStringLiteral("plan"), difference.plan}});
    return {
        {QStringLiteral("row"), entry.row > 0 ? QJsonValue(entry.row) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("controlMac"), textOrNull(entry.controlMac)},
        {QStringLiteral("model"), textOrNull(entry.model)},
        {QStringLiteral("address"), textOrNull(entry.address)},
        {QStringLiteral("plannedAddress"), textOrNull(entry.plannedAddress)},
        {QStringLiteral("outcome"), outcomeText(entry.outcome)},
        {QStringLiteral("differences"), differences},
        {QStringLiteral("reason"), textOrNull(entry.reason)},
        {QStringLiteral("elapsedMs"), double(entry.elapsedMs)},
    };
}

QByteArray jsonDocument(const QList<ReportEntry> &entries)
{
    QJsonArray array;
    for (const ReportEntry &entry : entries)
        array.append(entryObject(entry));
    return FleetRecord::unitsDocument(array);
}

QByteArray recordLine(const ReportEntry &entry, const QJsonObject &run)
{
    QJsonObject object = entryObject(entry);
    for (auto member = run.begin(); member != run.end(); ++member)
        object.insert(member.key(), member.value());
    object.insert(QStringLiteral("before"), identityOrNull(entry.before));
    object.insert(QStringLiteral("after"), identityOrNull(entry.after));
    return FleetRecord::recordLine(object, entry.time);
}

int exitStatus(const QList<ReportEntry> &entries)
{
    const auto any = [&entries](std::initializer_list<Outcome> outcomes) {
        return std::any_of(entries.begin(), entries.end(), [&outcomes](const ReportEntry &entry) {
            return std::find(outcomes.begin(), outcomes.end(), entry.outcome) != outcomes.end();
        });
    };
    if (any({Outcome::Missing, Outcome::Silent, Outcome::Moved}))
        return 2;
    if (any({Outcome::Differs, Outcome::Failed, Outcome::Conflict}))
        return 1;
    return 0;
}

} // namespace CommissionReport
