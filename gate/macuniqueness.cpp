#include "gate/macuniqueness.h"

#include <QHash>

namespace MacUniqueness {

namespace {

// The control MAC a unit reports, when it reported one the checklist accepts.
QString controlMac(const UnitCheck &unit)
{
    if (!unit.statusRead() || unit.status().hasCondition(ControlMacInvalid))
        return QString();
    return unit.status().controlMacText.toUpper();
}

} // namespace

void mark(std::vector<UnitCheck> &units, Ledger *ledger)
{
    QMultiHash<QString, std::size_t> byMac;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const QString mac = controlMac(units[i]);
        if (!mac.isEmpty())
            byMac.insert(mac, i);
    }
    for (std::size_t i = 0; i < units.size(); ++i) {
        UnitCheck &unit = units[i];
        const QString mac = controlMac(unit);
        if (mac.isEmpty())
            continue;
        for (const std::size_t other : byMac.values(mac)) {
            if (other != i)
                unit.addLedgerLine(QStringLiteral("-MAC %1 IS ALSO ON %2.").arg(mac, units[other].address().toString()));
        }
        if (!ledger)
            continue;
        QString error;
        const std::optional<Ledger::Issue> issue = ledger->issueOf(mac, &error);
        if (issue && issue->danteMac.compare(unit.status().danteMacText, Qt::CaseInsensitive) != 0)
            unit.addLedgerLine(
                QStringLiteral("-MAC %1 WAS ISSUED TO ANOTHER UNIT (DANTE MAC %2).").arg(mac, issue->danteMac));
        else if (!error.isEmpty())
            unit.addLedgerLine(QStringLiteral("-MAC %1: %2").arg(mac, error));
    }
}

} // namespace MacUniqueness
