#include "gate/checkreport.h"

#include "fleet/fleetrecord.h"
#include "gate/checkoptions.h"
#include "monitor/unitpoll.h"
#include "channel/windowtext.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace CheckReport {

namespace {

QString firmwareText(const UnitCheck &unit)
{
    return UnitPoll::firmwareText(unit.status());
}

QString bootloaderText(const UnitCheck &unit)
{
    return unit.statusRead() ? UnitPoll::bootloaderText(unit.status()) : QString();
}

QString danteFirmwareText(const UnitCheck &unit)
{
    return unit.statusRead() ? UnitPoll::danteFirmwareText(unit.status()) : QString();
}

// "model HV32K, MAC 02:4B:7D:00:01:00": what --program had the unit take.
QString programmedText(const UnitCheck &unit)
{
    QStringList parts;
    if (!unit.programmedAssembly().isEmpty())
        parts << QStringLiteral("model ") + unit.programmedAssembly();
    if (!unit.programmedMac().isEmpty())
        parts << QStringLiteral("MAC ") + unit.programmedMac();
    return parts.join(QStringLiteral(", "));
}

QJsonObject programmedObject(const UnitCheck &unit)
{
    QJsonObject programmed;
    if (!unit.programmedAssembly().isEmpty())
        programmed.insert(QStringLiteral("assembly"), unit.programmedAssembly());
    if (!unit.programmedMac().isEmpty())
        programmed.insert(QStringLiteral("mac"), unit.programmedMac());
    return programmed;
}

// Fields of the status block, empty until a complete block was read.
QString blockText(const UnitCheck &unit, const QString &text)
{
    return unit.statusRead() ? text : QString();
}

// "model HV4K, MAC 02:4B:7D:00:01:00": what --program sent the unit, acknowledged or not.
QString sentText(const UnitCheck &unit)
{
    QStringList parts;
    if (!unit.sentAssembly().isEmpty())
        parts << QStringLiteral("model ") + unit.sentAssembly();
    if (!unit.sentMac().isEmpty())
        parts << QStringLiteral("MAC ") + unit.sentMac();
    return parts.join(QStringLiteral(", "));
}

} // namespace

QString textBlock(const UnitCheck &unit, int timeoutMs)
{
    const QString address = unit.address().toString();
    if (unit.interrupted()) {
        const QString sent = sentText(unit);
        return address + QStringLiteral("  Not judged: the run was stopped.\n")
            + (sent.isEmpty() ? QString() : QStringLiteral("Sent: %1.\n").arg(sent));
    }
    if (!unit.answered())
        return address + QStringLiteral("  No answer within %1 s.\n").arg(timeoutMs / 1000.0);

    const QString model = unit.status().modelToken.isEmpty() ? QStringLiteral("(model not reported)")
                                                             : unit.status().modelToken;
    const QString firmware = firmwareText(unit);
    QString block = address + QStringLiteral("  ") + model
        + (firmware.isEmpty() ? QString() : QStringLiteral("  firmware ") + firmware) + QLatin1Char('\n');
    const QString programmed = programmedText(unit);
    if (!programmed.isEmpty())
        block += QStringLiteral("Programmed: %1.\n").arg(programmed);
    if (!unit.programmingFailure().isEmpty())
        block += QStringLiteral("Programming failed: %1\n").arg(unit.programmingFailure());
    const QStringList checklist = unit.checklist();
    if (unit.ready())
        block += windowText("No issues found.  Release ready.") + QLatin1Char('\n');
    else if (checklist.isEmpty())
        block += QStringLiteral("Not judged: the unit sent no complete status reply.\n");
    for (const QString &line : checklist)
        block += line + QLatin1Char('\n');
    return block;
}

QString summaryLine(const std::vector<UnitCheck> &units)
{
    const auto count = [&](auto predicate) { return int(std::count_if(units.begin(), units.end(), predicate)); };
    const int ready = count([](const UnitCheck &unit) { return unit.ready(); });
    const int silent = count([](const UnitCheck &unit) { return !unit.answered(); });
    return QStringLiteral("%1 unit(s) checked: %2 ready, %3 not ready, %4 without an answer.\n")
        .arg(units.size())
        .arg(ready)
        .arg(int(units.size()) - ready - silent)
        .arg(silent);
}

QJsonObject unitObject(const UnitCheck &unit)
{
    const UnitStatus &s = unit.status();
    // Nothing is known of a unit that never answered.
    const quint16 flags = unit.answered() ? s.conditionFlags : 0;
    QJsonObject object{
        {QStringLiteral("address"), unit.address().toString()},
        {QStringLiteral("answered"), unit.answered()},
        {QStringLiteral("ready"), unit.ready()},
        {QStringLiteral("checklist"), QJsonArray::fromStringList(unit.checklist())},
        {QStringLiteral("modelMismatch"), unit.modelMismatch()},
        {QStringLiteral("programmed"), programmedObject(unit)},
        {QStringLiteral("programmingFailure"), unit.programmingFailure()},
        {QStringLiteral("conditionFlags"), int(flags)},
        {QStringLiteral("conditions"), QJsonArray::fromStringList(UnitPoll::conditionNames(flags))},
        {QStringLiteral("model"), s.modelToken},
        {QStringLiteral("firmware"), firmwareText(unit)},
        {QStringLiteral("bootloader"), bootloaderText(unit)},
        {QStringLiteral("danteFirmware"), danteFirmwareText(unit)},
        {QStringLiteral("controlMac"), blockText(unit, s.controlMacText)},
        {QStringLiteral("danteMac"), blockText(unit, s.danteMacText)},
        {QStringLiteral("danteName"), blockText(unit, s.danteName)},
        {QStringLiteral("localName"), blockText(unit, s.localName)},
        {QStringLiteral("stationId"), int(s.stationId)},
        {QStringLiteral("elapsedMs"), double(unit.elapsedMs())},
    };
    if (unit.interrupted()) {
        object.insert(QStringLiteral("interrupted"), true);
        QJsonObject sent;
        if (!unit.sentAssembly().isEmpty())
            sent.insert(QStringLiteral("assembly"), unit.sentAssembly());
        if (!unit.sentMac().isEmpty())
            sent.insert(QStringLiteral("mac"), unit.sentMac());
        object.insert(QStringLiteral("sent"), sent);
    }
    return object;
}

QByteArray jsonDocument(const std::vector<UnitCheck> &units)
{
    QJsonArray array;
    for (const UnitCheck &unit : units)
        array.append(unitObject(unit));
    return FleetRecord::unitsDocument(array);
}

QByteArray recordLine(const UnitCheck &unit)
{
    return FleetRecord::recordLine(unitObject(unit), unit.finishTime());
}

Ledger::Record ledgerRecord(const UnitCheck &unit, const QDateTime &now)
{
    Ledger::Record row;
    row.judgedAt = unit.finishTime().isValid() ? unit.finishTime() : now;
    row.address = unit.address().toString();
    row.model = unit.status().modelToken;
    row.controlMac = blockText(unit, unit.status().controlMacText);
    row.danteMac = blockText(unit, unit.status().danteMacText);
    row.ready = unit.ready();
    row.checklist = unit.checklist();
    row.programmingFailure = unit.programmingFailure();
    row.record = QJsonDocument::fromJson(FleetRecord::recordLine(unitObject(unit), row.judgedAt)).object();
    return row;
}

QString claimedLine(const UnitCheck &unit)
{
    return unit.address().toString() + QStringLiteral("  Programmed by station %1.\n").arg(unit.claimedBy());
}

QString missingUnitsLine(const std::vector<UnitCheck> &units, int expectedUnits)
{
    const int answered =
        int(std::count_if(units.begin(), units.end(), [](const UnitCheck &unit) { return unit.answered(); }));
    if (answered >= expectedUnits)
        return QString();
    return QStringLiteral("%1 of the %2 units expected answered (--expect %2)").arg(answered).arg(expectedUnits);
}

int exitStatus(const std::vector<UnitCheck> &units)
{
    if (units.empty())
        return CheckCommandLine::NoAnswer;
    const bool allAnswered =
        std::all_of(units.begin(), units.end(), [](const UnitCheck &unit) { return unit.answered(); });
    if (!allAnswered)
        return CheckCommandLine::NoAnswer;
    const bool allReady = std::all_of(units.begin(), units.end(), [](const UnitCheck &unit) { return unit.ready(); });
    return allReady ? CheckCommandLine::AllReady : CheckCommandLine::NotReady;
}

} // namespace CheckReport
