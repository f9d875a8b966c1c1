#include "commission/siteoutcomes.h"

#include "channel/addresstext.h"

#include <QHash>

#include <algorithm>
#include <QMultiHash>

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
        // Another found unit's address: where it answers, its stored control
        // address, its Dante address.
        for (int u = 0; u < units.size(); ++u) {
            if (u != outcome.unitIndex && units[u].found
                && (units[u].address.toIPv4Address() == row.controlIp || units[u].identity.controlIp == row.controlIp))
                conflict(outcome, QStringLiteral("planned controlIp %1 belongs to the unit at %2")
                                      .arg(ip(row.controlIp), units[u].address.toString()));
            if (u != outcome.unitIndex && units[u].found && units[u].identity.danteIp == row.danteIp)
                conflict(outcome, QStringLiteral("planned danteIp %1 is the Dante address of the unit at %2")
                                      .arg(ip(row.danteIp), units[u].address.toString()));
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
    QHash<QString, QList<int>> linkPorts; // key -> indices into outcomes
    for (int o = 0; o < outcomes.size(); ++o) {
        const SiteOutcome &outcome = outcomes[o];
        if (outcome.unitIndex < 0)
            continue;
        const FoundUnit &unit = units[outcome.unitIndex];
        const Identity &after = outcome.planIndex >= 0 ? plan[outcome.planIndex].identity : unit.identity;
        if (after.qsysCoreIp == 0)
            continue;
        const QString key = QStringLiteral("%1/%2/%3").arg(unit.intercom).arg(after.qsysCoreIp).arg(after.stationId);
        linkPorts[key] << o;
    }
    for (const QList<int> &sharing : qAsConst(linkPorts)) {
        if (sharing.size() < 2)
            continue;
        for (int o : sharing) {
            const FoundUnit &unit = units[outcomes[o].unitIndex];
            const Identity &after =
                outcomes[o].planIndex >= 0 ? plan[outcomes[o].planIndex].identity : unit.identity;
            QStringList others;
            for (int other : sharing) {
                if (other != o)
                    others << units[outcomes[other].unitIndex].address.toString();
            }
            conflict(outcomes[o], QStringLiteral("station ID %1 on Q-SYS core %2 is also the %3 unit's at %4")
                                      .arg(after.stationId)
                                      .arg(ip(after.qsysCoreIp),
                                           unit.intercom ? QStringLiteral("intercom") : QStringLiteral("paging"),
                                           others.join(QStringLiteral(", "))));
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
