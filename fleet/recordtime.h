#pragma once

#include <QDateTime>
#include <QString>

// The time stamp of a record line: ISO 8601 in UTC with milliseconds,
// "2026-12-09T02:53:04.123Z".
inline QString recordTime(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}
