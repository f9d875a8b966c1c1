#include "watch/faultlog.h"

#include "fleet/fleetrecord.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonObject judgementObject(const ServiceHealth::Judgement &judgement)
{
    QJsonObject object{{QStringLiteral("state"), ServiceHealth::stateName(judgement.state)},
                       {QStringLiteral("conditions"), QJsonArray::fromStringList(judgement.conditions)}};
    if (!judgement.driftedFields.isEmpty())
        object.insert(QStringLiteral("driftedFields"), QJsonArray::fromStringList(judgement.driftedFields));
    return object;
}

std::optional<ServiceHealth::Judgement> judgementOf(const QJsonObject &object)
{
    static const QHash<QString, ServiceHealth::State> states{
        {QStringLiteral("ok"), ServiceHealth::State::Ok},
        {QStringLiteral("warning"), ServiceHealth::State::Warning},
        {QStringLiteral("critical"), ServiceHealth::State::Critical}};
    const auto state = states.constFind(object.value(QStringLiteral("state")).toString());
    if (state == states.constEnd())
        return std::nullopt;
    ServiceHealth::Judgement judgement;
    judgement.state = *state;
    for (const QJsonValue &condition : object.value(QStringLiteral("conditions")).toArray())
        judgement.conditions << condition.toString();
    for (const QJsonValue &field : object.value(QStringLiteral("driftedFields")).toArray())
        judgement.driftedFields << field.toString();
    return judgement;
}

} // namespace

QByteArray FaultLog::line(const QString &target, const std::optional<ServiceHealth::Judgement> &before,
                          const ServiceHealth::Judgement &now, const QDateTime &time)
{
    if (before ? *before == now : now.state == ServiceHealth::State::Ok)
        return QByteArray();
    QJsonObject object{{QStringLiteral("target"), target}, {QStringLiteral("now"), judgementObject(now)}};
    object.insert(QStringLiteral("before"), before ? QJsonValue(judgementObject(*before)) : QJsonValue());
    return FleetRecord::recordLine(object, time);
}

bool FaultLog::open(const QString &path, QString *error)
{
    takeExisting(path);
    return m_file.open(path, error);
}

void FaultLog::takeExisting(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    while (!file.atEnd()) {
        const QJsonObject object = QJsonDocument::fromJson(file.readLine()).object();
        const QString target = object.value(QStringLiteral("target")).toString();
        const std::optional<ServiceHealth::Judgement> now = judgementOf(object.value(QStringLiteral("now")).toObject());
        if (!target.isEmpty() && now)
            m_last.insert(target, *now);
    }
}

bool FaultLog::record(const QString &target, const ServiceHealth::Judgement &now, const QDateTime &time,
                      QString *error)
{
    const auto last = m_last.constFind(target);
    const QByteArray text =
        line(target, last == m_last.constEnd() ? std::nullopt : std::optional(*last), now, time);
    // A change whose line was not written is still a change at the next probe.
    if (!text.isEmpty() && !(m_file.append(text, error) && m_file.sync(error)))
        return false;
    m_last.insert(target, now);
    return true;
}
