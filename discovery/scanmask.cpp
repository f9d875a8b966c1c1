#include "discovery/scanmask.h"

#include <QHostAddress>

namespace ScanMask {

quint8 nextStep(quint8 step)
{
    return quint8((step + 1) % 8);
}

quint8 lastOctet(quint8 step)
{
    return quint8(~(0xFFu >> (step % 8)));
}

QString maskText(quint8 step)
{
    return QStringLiteral("255.255.255.%1").arg(lastOctet(step));
}

quint32 ipv4Value(const QString &text)
{
    bool isIPv4 = false;
    const quint32 value = QHostAddress(text).toIPv4Address(&isIPv4);
    return isIPv4 ? value : 0;
}

quint32 baseAddress(quint32 unitAddress)
{
    return (unitAddress & 0xFFFFFF00u) | 1u;
}

quint32 broadcastAddress(quint32 base, quint32 mask)
{
    return base | ~mask;
}

} // namespace ScanMask
