#include "commission/siteoutcomes.h"

#include "channel/addresstext.h"

#include <QHash>

#include <QMultiHash>

#include <algorithm>
#include <utility>

QString outcomeText(Outcome outcome)
{
    static const char *const texts[] = {"matches", "differs",  "missing",      "unplanned",
                                        "conflict", "silent", "commissioned", "failed",  "moved"};
    return QString::fromLatin1(texts[int(outcome)]);
}

namespace {

QString ip(quint32 value)
{
    return AddressText::ipv4(value);
}

// Sets the conflict with its first reason.
void conflict(SiteOutcome &outcome, const QString &reason)
{
    if (outcome.outcome == Outcome::Conflict)
        return;
    outcome.outcome = Outcome::Conflict;
    outcome.reason = reason;
}

// Why a planned control or Dante address of `row` is `other`'s (where it
// answers, its stored control address, its Dante address), or nothing.
QString addressHeldBy(const FoundUnit &other, const Identity &row)
{
    const QString at = other.address.toString();
    const std::pair<const char *, quint32> planned[] = {{"controlIp", row.controlIp}, {"danteIp", row.danteIp}};
    for (const auto &[field, address] : planned) {
        if (address == other.address.toIPv4Address() || address == other.identity.controlIp)
            return QStringLiteral("planned %1 %2 belongs to the unit at %3").arg(QLatin1String(field), ip(address), at);
        if (address == other.identity.danteIp)
            return QStringLiteral("planned %1 %2 is the Dante address of the unit at %3")
                .arg(QLatin1String(field), ip(address), at);
    }
    return QString();
}

} // namespace

QList<SiteOutcome> judgeSite(const QList<PlannedUnit> &plan, const QList<FoundUnit> &units)
{
    QMultiHash<QString, int> byMac;
    for (int u = 0; u < units.size(); ++u) {
        if (!units[u].found)
            continue;
        byMac.insert(units[u].identity.controlMac, u);
    }

    QList<SiteOutcome> outcomes;
    QHash<QString, int> planned; // MAC -> plan index
    for (int p = 0; p < plan.size(); ++p) {
        const Identity &row = plan[p].identity;
        planned.insert(row.controlMac, p);
        SiteOutcome outcome;
        outcome.planIndex = p;
        const QList<int> matching = byMac.values(row.controlMac);
        if (matching.isEmpty()) {
            outcome.outcome = Outcome::Missing;
            outcomes << outcome;
            continue;
        }
        outcome.unitIndex = *std::min_element(matching.begin(), matching.end());
        const FoundUnit &unit = units[outcome.unitIndex];
        outcome.differences = differences(unit.identity, row);
        outcome.outcome = outcome.differences.isEmpty() ? Outcome::Matches : Outcome::Differs;
        if (matching.size() > 1) {
            QStringList where;
            for (int u : matching)
                where << units[u].address.toString();
            std::sort(where.begin(), where.end());
            conflict(outcome, QStringLiteral("control MAC %1 is reported at %2")
                                  .arg(row.controlMac, where.join(QStringLiteral(" and "))));
        }
        // Another found unit's address, control or Dante.
        for (int u = 0; u < units.size(); ++u) {
            if (u != outcome.unitIndex && units[u].found) {
                const QString reason = addressHeldBy(units[u], row);
                if (!reason.isEmpty())
                    conflict(outcome, reason);
            }
        }
        outcomes << outcome;
    }

    // Found units in no row; a MAC reported twice is a conflict there too.
    for (int u = 0; u < units.size(); ++u) {
        if (!units[u].found || planned.contains(units[u].identity.controlMac))
            continue;
        SiteOutcome outcome;
        outcome.unitIndex = u;
        outcome.outcome = Outcome::Unplanned;
        if (byMac.count(units[u].identity.controlMac) > 1)
            conflict(outcome, QStringLiteral("control MAC %1 is reported by more than one unit")
                                  .arg(units[u].identity.controlMac));
        outcomes << outcome;
    }

    // One link port for two units: the same family, station ID and Q-SYS
    // core after the run (planned rows as planned, the others as they are).
    // A missing row's family is not known: it counts for both.
    const auto after = [&](const SiteOutcome &outcome) -> const Identity & {
        return outcome.planIndex >= 0 ? plan[outcome.planIndex].identity : units[outcome.unitIndex].identity;
    };
    const auto portKey = [](bool intercom, const Identity &identity) {
        return QStringLiteral("%1/%2/%3").arg(intercom).arg(identity.qsysCoreIp).arg(identity.stationId);
    };
    QHash<QString, QList<int>> linkPorts; // key -> indices into outcomes
    for (int o = 0; o < outcomes.size(); ++o) {
        const SiteOutcome &outcome = outcomes[o];
        const Identity &identity = after(outcome);
        if (identity.qsysCoreIp == 0)
            continue;
        if (outcome.unitIndex >= 0) {
            linkPorts[portKey(units[outcome.unitIndex].intercom, identity)] << o;
        } else {
            linkPorts[portKey(false, identity)] << o;
            linkPorts[portKey(true, identity)] << o;
        }
    }
    for (const QList<int> &sharing : qAsConst(linkPorts)) {
        if (sharing.size() < 2)
            continue;
        for (int o : sharing) {
            if (outcomes[o].unitIndex < 0)
                continue; // a missing row stays missing
            const FoundUnit &unit = units[outcomes[o].unitIndex];
            QStringList found;
            QStringList missingLines;
            for (int other : sharing) {
                if (other == o)
                    continue;
                if (outcomes[other].unitIndex >= 0)
                    found << units[outcomes[other].unitIndex].address.toString();
                else
                    missingLines << QString::number(plan[outcomes[other].planIndex].line);
            }
            QStringList holders;
            if (!found.isEmpty())
                holders << QStringLiteral("the %1 unit's at %2")
                               .arg(unit.intercom ? QStringLiteral("intercom") : QStringLiteral("paging"),
                                    found.join(QStringLiteral(", ")));
            if (!missingLines.isEmpty())
                holders << QStringLiteral("planned on line %1 for a unit not found")
                               .arg(missingLines.join(QStringLiteral(", ")));
            conflict(outcomes[o], QStringLiteral("station ID %1 on Q-SYS core %2 is also %3")
                                      .arg(after(outcomes[o]).stationId)
                                      .arg(ip(after(outcomes[o]).qsysCoreIp), holders.join(QStringLiteral("; "))));
        }
    }

    for (int u = 0; u < units.size(); ++u) {
        if (units[u].found)
            continue;
        SiteOutcome outcome;
        outcome.unitIndex = u;
        outcome.outcome = Outcome::Silent;
        outcomes << outcome;
    }
    return outcomes;
}
