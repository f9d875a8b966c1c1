#include "sim/simlog.h"

#include "channel/statuslayout.h"

QString printable(const QByteArray &data)
{
    QString text;
    for (const char c : data) {
        const uchar byte = uchar(c);
        if (c == '\r')
            text += QLatin1String("\\r");
        else if (c == '\n')
            text += QLatin1String("\\n");
        else if (c == '\\' || c == '"')
            text += QLatin1String(c == '"' ? "\\\"" : "\\\\");
        else if (byte < 0x20 || byte >= 0x7F)
            text += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
        else
            text += QLatin1Char(c);
    }
    return text;
}

QString formatLogLine(const SimDatagram &datagram)
{
    const QString stamp = datagram.time.toString(QStringLiteral("hh:mm:ss.zzz"));
    const QString peer = QStringLiteral("%1:%2").arg(datagram.peer.toString()).arg(datagram.peerPort);
    QString payload;
    if (datagram.data.size() >= StatusLayout::SplitThreshold) {
        const QByteArray header = datagram.data.left(StatusLayout::HeaderSize);
        payload = QStringLiteral("status reply, %1 bytes, header \"%2\"")
                      .arg(datagram.data.size())
                      .arg(printable(header.left(header.indexOf('\0') < 0 ? header.size() : header.indexOf('\0'))));
    } else {
        payload = QLatin1Char('"') + printable(datagram.data) + QLatin1Char('"');
    }
    if (datagram.direction == SimDatagram::Out)
        return QStringLiteral("%1  out  %2 -> %3  %4")
            .arg(stamp, datagram.unitAddress.toString(), peer, payload);
    QString target = datagram.destination.toString();
    if (datagram.unitAddress.isNull())
        target += QLatin1String(" (no unit there, ignored)");
    else if (datagram.unitAddress != datagram.destination)
        target += QStringLiteral(" (for %1)").arg(datagram.unitAddress.toString());
    return QStringLiteral("%1  in   %2 -> %3  %4").arg(stamp, peer, target, payload);
}
