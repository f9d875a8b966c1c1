#include "fleet/localsubnets.h"

#include "channel/addresstext.h"

#include <QNetworkInterface>

#include <algorithm>

QString Subnet::cidr() const
{
    return AddressText::ipv4(network()) + QLatin1Char('/') + QString::number(prefixLength);
}

namespace LocalSubnets {

QList<Subnet> all()
{
    QList<Subnet> subnets;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        if (!interface.flags().testFlag(QNetworkInterface::IsUp))
            continue;
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            bool isIPv4 = false;
            const quint32 address = entry.ip().toIPv4Address(&isIPv4);
            if (!isIPv4 || (address >> 24) == 127)
                continue;
            subnets << Subnet{address, qBound(0, entry.prefixLength(), 32)};
        }
    }
    return subnets;
}

bool reaches(const QList<Subnet> &subnets, quint32 address)
{
    return std::any_of(subnets.begin(), subnets.end(), [address](const Subnet &s) { return s.contains(address); });
}

QString cidr(quint32 address, quint32 mask)
{
    int prefix = 0;
    while (prefix < 32 && (mask & (0x80000000u >> prefix)))
        ++prefix;
    return Subnet{address, prefix}.cidr();
}

} // namespace LocalSubnets
