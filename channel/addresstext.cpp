#include "channel/addresstext.h"

namespace AddressText {

QString ipv4(quint32 address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

QString mac(const std::array<quint8, 6> &mac)
{
    return QString::asprintf("%.2X:%.2X:%.2X:%.2X:%.2X:%.2X", mac[0], mac[1], mac[2], mac[3],
                             mac[4], mac[5]);
}

QString macSuffix(const std::array<quint8, 6> &mac)
{
    return QString::asprintf("%.2X%.2X%.2X", mac[3], mac[4], mac[5]);
}

} // namespace AddressText
