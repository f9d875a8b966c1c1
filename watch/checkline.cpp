#include "watch/checkline.h"

#include "watch/servicehealth.h"

#include <QLocale>

namespace CheckLine {

namespace {

// Text a unit reports, made safe for the status line: the "|" that starts the
// performance data and line breaks would be read as the plugin's own.
QString plain(const QString &text)
{
    QString safe;
    safe.reserve(text.size());
    for (const QChar c : text)
        safe += c == QLatin1Char('|') ? QLatin1Char('/') : (c.category() == QChar::Other_Control ? QLatin1Char(' ') : c);
    return safe;
}

QString stateWord(ServiceHealth::State state)
{
    return ServiceHealth::stateName(state).toUpper();
}

QString conditionsText(const ServiceHealth::Judgement &judgement)
{
    QStringList parts;
    for (const QString &condition : judgement.conditions) {
        if (condition == QLatin1String(ServiceHealth::PlanDrift))
            parts << condition + QStringLiteral(" (") + judgement.driftedFields.join(QStringLiteral(", ")) + QLatin1Char(')');
        else
            parts << condition;
    }
    return parts.join(QStringLiteral(", "));
}

QString unitText(const ProbeResult &probe)
{
    QStringList parts{probe.target};
    if (!probe.status.modelToken.isEmpty())
        parts << plain(probe.status.modelToken);
    if (probe.statusRead && !probe.status.localName.isEmpty())
        parts << QLatin1Char('"') + plain(probe.status.localName) + QLatin1Char('"');
    return parts.join(QLatin1Char(' '));
}

QString performanceData(const ProbeResult &probe)
{
    QStringList data{QStringLiteral("'elapsed'=%1s;;;0")
                          .arg(QString::number(qRound64(probe.durationSeconds * 1000) / 1000.0, 'g',
                                               QLocale::FloatingPointShortest))};
    if (probe.statusRead)
        data << QStringLiteral("'power_cycles'=%1c;;;0").arg(probe.status.powerCycleCount);
    return data.join(QLatin1Char(' '));
}

} // namespace

Answer forProbe(const ProbeResult &probe, double timeoutSeconds)
{
    const ServiceHealth::Judgement judgement = ServiceHealth::judge(probe);
    QString what;
    if (!probe.answered)
        what = QStringLiteral("%1: %2 did not answer within %3 s")
                   .arg(QLatin1String(ServiceHealth::NoAnswer), probe.target, QString::number(timeoutSeconds));
    else if (judgement.conditions.isEmpty())
        what = QStringLiteral("in service: %1").arg(unitText(probe));
    else
        what = QStringLiteral("%1: %2").arg(conditionsText(judgement), unitText(probe));
    return {QStringLiteral("HVTK %1 - %2|%3").arg(stateWord(judgement.state), what, performanceData(probe)),
            int(judgement.state)};
}

Answer unknown(const QString &why)
{
    return {QStringLiteral("HVTK UNKNOWN - ") + plain(why), Unknown};
}

} // namespace CheckLine
