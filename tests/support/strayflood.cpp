#include "support/strayflood.h"

#include "sim/statusencoder.h"

#include <QFile>
#include <QList>

namespace StrayFlood {

qint64 udpReceiveBufferErrors()
{
    QFile file(QStringLiteral("/proc/net/snmp"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i].startsWith("Udp:") || !lines[i + 1].startsWith("Udp:"))
            continue;
        const int column = lines[i].simplified().split(' ').indexOf("RcvbufErrors");
        const QList<QByteArray> values = lines[i + 1].simplified().split(' ');
        return column > 0 && column < values.size() ? values[column].toLongLong() : -1;
    }
    return -1;
}

QByteArray replyFields(const UnitStatus &status)
{
    return StatusEncoder::encode("HV4K v2.09\r", status, 251);
}

} // namespace StrayFlood
