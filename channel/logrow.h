#pragma once

#include <QString>
#include <QTime>

// Rows of the reply log in the details box: a grey time stamp, then the
// entry. The log is rich text, so text that came from a unit is escaped.
namespace LogRow {

// `html` is used as it is; callers escape anything they did not write.
QString timestamped(const QTime &time, const QString &html);

// The row for a reply shown raw; the reply text is escaped.
QString rawReply(const QTime &time, const QString &reply);

} // namespace LogRow
