#include "watch/exposition.h"

#include <QLocale>

#include <cmath>

void Exposition::family(const QString &name, const QString &type, const QString &help)
{
    QString escapedHelp = help;
    escapedHelp.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
    m_text += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n").arg(name, escapedHelp, type);
}

void Exposition::sample(const QString &name, const Labels &labels, double value)
{
    m_text += name;
    if (!labels.isEmpty()) {
        QStringList pairs;
        for (const auto &label : labels)
            pairs << label.first + QStringLiteral("=\"") + labelValue(label.second) + QLatin1Char('"');
        m_text += QLatin1Char('{') + pairs.join(QLatin1Char(',')) + QLatin1Char('}');
    }
    m_text += QLatin1Char(' ') + number(value) + QLatin1Char('\n');
}

QString Exposition::labelValue(const QString &value)
{
    QString escaped;
    escaped.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            escaped += QLatin1String("\\\\");
        else if (c == QLatin1Char('"'))
            escaped += QLatin1String("\\\"");
        else if (c == QLatin1Char('\n'))
            escaped += QLatin1String("\\n");
        else
            escaped += c;
    }
    return escaped;
}

QString Exposition::number(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("+Inf") : QStringLiteral("-Inf");
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}
