#include "commission/siterecord.h"

#include "commission/planvalidator.h"
#include "fleet/fleetrecord.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>

QString RunName::newId()
{
    return QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, QLatin1Char('0'));
}

QString RunName::fileSha256(const QString &path)
{
    if (path.isEmpty())
        return QString();
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QString();
    return QString::fromLatin1(hash.result().toHex());
}

QJsonObject RunName::fields() const
{
    return {{QStringLiteral("run"), id},           {QStringLiteral("mode"), mode},
            {QStringLiteral("plan"), plan},         {QStringLiteral("planSha256"), planSha256},
            {QStringLiteral("version"), version},   {QStringLiteral("station"), station}};
}

namespace SiteRecord {

namespace {

// The eleven fields of an identity object as written by identityObject().
bool identityFrom(const QJsonObject &object, Identity *identity)
{
    const auto text = [&object](PlanColumns::Column column) {
        return object.value(PlanColumns::name(column)).toString();
    };
    identity->controlMac = PlanValidator::macText(text(PlanColumns::ControlMac));
    identity->localName = text(PlanColumns::LocalName);
    identity->danteName = text(PlanColumns::DanteName);
    identity->stationId = object.value(PlanColumns::name(PlanColumns::StationId)).toInt(-1);
    const std::pair<PlanColumns::Column, quint32 *> addresses[] = {
        {PlanColumns::ControlIp, &identity->controlIp},   {PlanColumns::ControlMask, &identity->controlMask},
        {PlanColumns::ControlGateway, &identity->controlGateway}, {PlanColumns::DanteIp, &identity->danteIp},
        {PlanColumns::DanteMask, &identity->danteMask},   {PlanColumns::DanteGateway, &identity->danteGateway},
        {PlanColumns::QsysCoreIp, &identity->qsysCoreIp}};
    for (const auto &address : addresses) {
        if (!PlanValidator::parseDotted(text(address.first), address.second))
            return false;
    }
    return !identity->controlMac.isEmpty() && identity->stationId >= 0;
}

} // namespace

QByteArray startLine(const RunName &run, const QDateTime &time, const QStringList &arguments)
{
    QJsonObject object = run.fields();
    object.insert(QStringLiteral("arguments"), QJsonArray::fromStringList(arguments));
    return FleetRecord::recordLine(object, time);
}

QByteArray pushingLine(const RunName &run, const ReportEntry &entry, const Identity &planned)
{
    QJsonObject object = CommissionReport::entryObject(entry);
    const QJsonObject fields = run.fields();
    for (auto field = fields.begin(); field != fields.end(); ++field)
        object.insert(field.key(), field.value());
    object.insert(QStringLiteral("outcome"), QStringLiteral("pushing"));
    object.insert(QStringLiteral("before"), entry.before ? QJsonValue(CommissionReport::identityObject(*entry.before))
                                                         : QJsonValue(QJsonValue::Null));
    object.insert(QStringLiteral("planned"), CommissionReport::identityObject(planned));
    return FleetRecord::recordLine(object, entry.time);
}

QByteArray outcomeLine(const RunName &run, const ReportEntry &entry)
{
    return CommissionReport::recordLine(entry, run.fields());
}

Revert pushedBy(const QByteArray &record, const QString &runId)
{
    Revert revert;
    revert.run = runId;
    const QList<QByteArray> lines = record.split('\n');
    if (revert.run.isEmpty()) {
        for (const QByteArray &line : lines) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            if (object.value(QStringLiteral("mode")).toString() == QLatin1String("apply"))
                revert.run = object.value(QStringLiteral("run")).toString();
        }
        if (revert.run.isEmpty()) {
            revert.error = QStringLiteral("no run with --apply in the record");
            return revert;
        }
    }
    bool runFound = false;
    QHash<QString, int> byMac;
    for (int i = 0; i < lines.size(); ++i) {
        const QJsonObject object = QJsonDocument::fromJson(lines[i]).object();
        if (object.value(QStringLiteral("run")).toString() != revert.run)
            continue;
        runFound = true;
        if (object.value(QStringLiteral("outcome")).toString() != QLatin1String("pushing"))
            continue;
        Pushed pushed;
        pushed.line = i + 1;
        pushed.foundAddress = QHostAddress(object.value(QStringLiteral("address")).toString());
        if (!identityFrom(object.value(QStringLiteral("before")).toObject(), &pushed.before)
            || !identityFrom(object.value(QStringLiteral("planned")).toObject(), &pushed.planned)) {
            revert.error = QStringLiteral("line %1: the \"pushing\" line lacks its before or planned fields").arg(i + 1);
            return revert;
        }
        const auto known = byMac.constFind(pushed.before.controlMac);
        if (known != byMac.constEnd()) {
            revert.units[known.value()] = pushed;
        } else {
            byMac.insert(pushed.before.controlMac, revert.units.size());
            revert.units << pushed;
        }
    }
    if (!runFound)
        revert.error = QStringLiteral("no run %1 in the record").arg(revert.run);
    else if (revert.units.isEmpty())
        revert.error = QStringLiteral("run %1 pushed to no unit").arg(revert.run);
    return revert;
}

QString changedSince(const Identity &now, const Pushed &pushed)
{
    const PlanFields nowTexts = now.texts();
    const PlanFields beforeTexts = pushed.before.texts();
    const PlanFields plannedTexts = pushed.planned.texts();
    for (int c = PlanColumns::ControlMac + 1; c < PlanColumns::Count; ++c) {
        const std::size_t i = std::size_t(c);
        if (nowTexts[i] != beforeTexts[i] && nowTexts[i] != plannedTexts[i])
            return QStringLiteral("changed since the run: %1 is %2, neither %3 as before nor %4 as pushed")
                .arg(PlanColumns::name(PlanColumns::Column(c)), nowTexts[i], beforeTexts[i], plannedTexts[i]);
    }
    return QString();
}

} // namespace SiteRecord
