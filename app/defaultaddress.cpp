#include "app/defaultaddress.h"

#include <QNetworkInterface>

namespace {

InterfaceAddressSource addressSource = &QNetworkInterface::allAddresses;

} // namespace

QString defaultUnitAddress(const QList<QHostAddress> &interfaceAddresses)
{
    const QHostAddress loopback(QHostAddress::LocalHost);
    for (const QHostAddress &address : interfaceAddresses) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol || address == loopback)
            continue;
        const QString text = address.toString();
        return text.startsWith(QLatin1String("192.168.0.")) ? QStringLiteral("192.168.0.254")
                                                            : text;
    }
    return QString();
}

QList<QHostAddress> interfaceAddresses()
{
    return addressSource();
}

void setInterfaceAddressSource(InterfaceAddressSource source)
{
    addressSource = source ? source : &QNetworkInterface::allAddresses;
}
