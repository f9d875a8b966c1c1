#include "watch/faultlog.h"

#include "fleet/fleetrecord.h"

#include <QJsonArray>
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
    return m_file.open(path, error);
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
