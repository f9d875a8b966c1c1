#include "channel/logrow.h"

namespace LogRow {

QString timestamped(const QTime &time, const QString &html)
{
    return QLatin1String("<tr><td style=\"color: grey;\">") + time.toString(QStringLiteral("hh:mm:ss"))
        + QLatin1String("</td><td>") + html + QLatin1String("</td></tr>");
}

QString rawReply(const QTime &time, const QString &reply)
{
    return timestamped(time, QLatin1Char(' ') + reply.toHtmlEscaped() + QLatin1String("<h0D>"));
}

} // namespace LogRow
