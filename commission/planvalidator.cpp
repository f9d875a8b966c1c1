#include "commission/planvalidator.h"

#include "channel/addresstext.h"
#include "link/linkfields.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace PlanValidator {

namespace {

using PlanColumns::Column;

bool isLoopback(quint32 a) { return (a >> 24) == 127; }
bool isMulticast(quint32 a) { return (a >> 28) == 0xE; }
bool isReserved(quint32 a) { return (a >> 28) == 0xF; } // 240.0.0.0/4, 255.255.255.255 among them

// An address one unit may have: none of the any, broadcast, multicast,
// reserved or loopback addresses.
bool isUnicast(quint32 a)
{
    return a != 0 && !isLoopback(a) && !isMulticast(a) && !isReserved(a);
}

bool isContiguousMask(quint32 mask)
{
    const quint32 host = ~mask;
    return mask != 0 && (host & (host + 1)) == 0;
}

class RowChecker
{
public:
    RowChecker(const PlanRow &row, QList<PlanError> *errors) : m_row(row), m_errors(errors) {}

    QString cell(Column column) const { return m_row.fields[std::size_t(column)]; }

    void fail(Column column, const QString &what)
    {
        m_errors->append({m_row.line, QStringLiteral("%1 %2").arg(PlanColumns::name(column), what)});
    }

    // The address of the cell, or nothing (and an error) when it is not one.
    bool address(Column column, quint32 *value)
    {
        if (parseDotted(cell(column), value))
            return true;
        fail(column, QStringLiteral("\"%1\" is not a four-part dotted IPv4 address").arg(cell(column)));
        return false;
    }

    bool mask(Column column, quint32 *value)
    {
        if (!address(column, value))
            return false;
        if (isContiguousMask(*value))
            return true;
        fail(column, QStringLiteral("%1 is not a contiguous subnet mask").arg(cell(column)));
        return false;
    }

    // A unit's own address under its mask (the mask may be invalid: 0).
    void hostAddress(Column column, bool addressValid, quint32 ip, quint32 mask)
    {
        if (!addressValid)
            return;
        if (!isUnicast(ip)) {
            fail(column, QStringLiteral("%1 is not the address of one unit").arg(cell(column)));
            return;
        }
        const quint32 host = ~mask;
        if (mask != 0 && host > 1 && ((ip & host) == 0 || (ip & host) == host))
            fail(column, QStringLiteral("%1 is the network or broadcast address of its subnet").arg(cell(column)));
    }

    void gateway(Column column, quint32 ip, quint32 mask, bool subnetKnown, quint32 *value)
    {
        if (!address(column, value) || *value == 0)
            return;
        if (!isUnicast(*value))
            fail(column, QStringLiteral("%1 is neither 0.0.0.0 nor a unicast address").arg(cell(column)));
        else if (subnetKnown && (*value & mask) != (ip & mask))
            fail(column, QStringLiteral("%1 is outside the subnet of %2").arg(cell(column), AddressText::ipv4(ip)));
    }

    void name(Column column, bool fits, int limit, QString *value)
    {
        *value = cell(column);
        if (value->isEmpty()) {
            fail(column, QStringLiteral("is empty"));
            return;
        }
        if (!fits)
            fail(column, QStringLiteral("\"%1\" is longer than the unit takes (%2 bytes)").arg(*value).arg(limit));
        const bool control = std::any_of(value->begin(), value->end(), [](QChar c) {
            return c.category() == QChar::Other_Control;
        });
        if (control)
            fail(column, QStringLiteral("holds a control character"));
    }

private:
    const PlanRow &m_row;
    QList<PlanError> *m_errors;
};

PlannedUnit checkRow(const PlanRow &row, QList<PlanError> *errors)
{
    RowChecker r(row, errors);
    PlannedUnit unit;
    unit.line = row.line;
    Identity &id = unit.identity;

    id.controlMac = macText(r.cell(PlanColumns::ControlMac));
    if (id.controlMac.isEmpty())
        r.fail(PlanColumns::ControlMac, QStringLiteral("\"%1\" is not a MAC address (six hexadecimal bytes "
                                                       "separated by \":\" or \"-\")")
                                            .arg(r.cell(PlanColumns::ControlMac)));

    const bool controlIp = r.address(PlanColumns::ControlIp, &id.controlIp);
    const bool controlMask = r.mask(PlanColumns::ControlMask, &id.controlMask);
    r.hostAddress(PlanColumns::ControlIp, controlIp, id.controlIp, controlMask ? id.controlMask : 0);
    r.gateway(PlanColumns::ControlGateway, id.controlIp, id.controlMask, controlIp && controlMask, &id.controlGateway);
    r.name(PlanColumns::LocalName, LinkFields::stationNameFits(r.cell(PlanColumns::LocalName)), 64, &id.localName);

    const bool danteIp = r.address(PlanColumns::DanteIp, &id.danteIp);
    const bool danteMask = r.mask(PlanColumns::DanteMask, &id.danteMask);
    r.hostAddress(PlanColumns::DanteIp, danteIp, id.danteIp, danteMask ? id.danteMask : 0);
    r.gateway(PlanColumns::DanteGateway, id.danteIp, id.danteMask, danteIp && danteMask, &id.danteGateway);
    r.name(PlanColumns::DanteName, LinkFields::danteNameFits(r.cell(PlanColumns::DanteName)), 32, &id.danteName);

    r.gateway(PlanColumns::QsysCoreIp, 0, 0, false, &id.qsysCoreIp);

    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    const QString stationId = r.cell(PlanColumns::StationId);
    id.stationId = digits.match(stationId).hasMatch() ? stationId.toInt() : 0;
    if (id.stationId < LinkFields::LowestStationId || id.stationId > LinkFields::HighestStationId)
        r.fail(PlanColumns::StationId, QStringLiteral("\"%1\" is not a whole number from %2 to %3")
                                           .arg(stationId)
                                           .arg(LinkFields::LowestStationId)
                                           .arg(LinkFields::HighestStationId));
    return unit;
}

// Two rows that share the MAC or the Dante name.
void checkShared(const QList<PlannedUnit> &units, const QList<PlanRow> &rows, QList<PlanError> *errors)
{
    struct Key
    {
        Column column;
        std::function<QString(const PlannedUnit &)> value;
    };
    const QList<Key> keys{
        {PlanColumns::ControlMac, [](const PlannedUnit &u) { return u.identity.controlMac; }},
        {PlanColumns::DanteName, [](const PlannedUnit &u) { return u.identity.danteName.toCaseFolded(); }},
    };
    for (const Key &key : keys) {
        QHash<QString, int> firstLine;
        for (int i = 0; i < units.size(); ++i) {
            const QString value = key.value(units[i]);
            if (value.isEmpty())
                continue;
            const auto first = firstLine.constFind(value);
            if (first == firstLine.constEnd()) {
                firstLine.insert(value, units[i].line);
                continue;
            }
            errors->append({units[i].line, QStringLiteral("%1 %2 is also on line %3")
                                               .arg(PlanColumns::name(key.column),
                                                    rows[i].fields[std::size_t(key.column)])
                                               .arg(first.value())});
        }
    }
}

quint32 addressIn(const Identity &identity, Column column)
{
    switch (column) {
    case PlanColumns::ControlIp: return identity.controlIp;
    case PlanColumns::ControlGateway: return identity.controlGateway;
    case PlanColumns::DanteIp: return identity.danteIp;
    case PlanColumns::DanteGateway: return identity.danteGateway;
    case PlanColumns::QsysCoreIp: return identity.qsysCoreIp;
    default: return 0;
    }
}

// Where an address stands first: a row's line and column.
struct Holder
{
    int line = 0;
    Column column = PlanColumns::ControlIp;
};

// What a unit's own addresses (control and Dante) must not be: another
// row's or its own other one, any row's gateway or Q-SYS core, this
// workstation's.
void checkAddresses(const QList<PlannedUnit> &units, const QList<quint32> &workstation, QList<PlanError> *errors)
{
    const Column own[] = {PlanColumns::ControlIp, PlanColumns::DanteIp};
    const Column others[] = {PlanColumns::ControlGateway, PlanColumns::DanteGateway, PlanColumns::QsysCoreIp};
    QHash<quint32, Holder> otherHolders;
    for (const PlannedUnit &unit : units) {
        for (const Column column : others) {
            const quint32 address = addressIn(unit.identity, column);
            if (address != 0 && !otherHolders.contains(address))
                otherHolders.insert(address, {unit.line, column});
        }
    }
    const auto where = [](const Holder &holder, Column column, int line) {
        if (holder.line == line)
            return QStringLiteral("this row's %1").arg(PlanColumns::name(holder.column));
        if (holder.column == column)
            return QStringLiteral("on line %1").arg(holder.line);
        return QStringLiteral("the %1 on line %2").arg(PlanColumns::name(holder.column)).arg(holder.line);
    };
    QHash<quint32, Holder> ownHolders;
    for (const PlannedUnit &unit : units) {
        for (const Column column : own) {
            const quint32 address = addressIn(unit.identity, column);
            if (!isUnicast(address))
                continue; // not an address, an error of its row
            const QString what = QStringLiteral("%1 %2").arg(PlanColumns::name(column), AddressText::ipv4(address));
            if (workstation.contains(address))
                errors->append({unit.line, what + QStringLiteral(" is this workstation's address")});
            const auto other = otherHolders.constFind(address);
            if (other != otherHolders.constEnd())
                errors->append({unit.line, QStringLiteral("%1 is %2").arg(what, where(*other, column, unit.line))});
            const auto first = ownHolders.constFind(address);
            if (first == ownHolders.constEnd())
                ownHolders.insert(address, {unit.line, column});
            else
                errors->append({unit.line, QStringLiteral("%1 is also %2").arg(what, where(*first, column, unit.line))});
        }
    }
}

} // namespace

QString macText(const QString &cell)
{
    static const QRegularExpression mac(
        QStringLiteral("^[0-9A-Fa-f]{2}([:-])[0-9A-Fa-f]{2}(\\1[0-9A-Fa-f]{2}){4}$"));
    if (!mac.match(cell).hasMatch())
        return QString();
    QString text = cell.toUpper();
    text.replace(QLatin1Char('-'), QLatin1Char(':'));
    return text;
}

bool parseDotted(const QString &cell, quint32 *address)
{
    static const QRegularExpression dotted(
        QStringLiteral("^(0|[1-9][0-9]{0,2})\\.(0|[1-9][0-9]{0,2})\\.(0|[1-9][0-9]{0,2})\\.(0|[1-9][0-9]{0,2})$"));
    const QRegularExpressionMatch match = dotted.match(cell);
    if (!match.hasMatch())
        return false;
    quint32 value = 0;
    for (int part = 1; part <= 4; ++part) {
        const int octet = match.captured(part).toInt();
        if (octet > 255)
            return false;
        value = (value << 8) | quint32(octet);
    }
    *address = value;
    return true;
}

Checked check(const QList<PlanRow> &rows, const QList<quint32> &workstationAddresses)
{
    Checked checked;
    for (const PlanRow &row : rows)
        checked.units << checkRow(row, &checked.errors);
    checkShared(checked.units, rows, &checked.errors);
    checkAddresses(checked.units, workstationAddresses, &checked.errors);
    std::stable_sort(checked.errors.begin(), checked.errors.end(),
                     [](const PlanError &a, const PlanError &b) { return a.line < b.line; });
    return checked;
}

} // namespace PlanValidator
