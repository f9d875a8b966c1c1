#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

// The unit address the tool starts with: units leave the factory at
// 192.168.0.254, so a workstation on 192.168.0.x starts there; elsewhere the
// workstation's own first IPv4 address is offered as a starting point.
QString defaultUnitAddress(const QList<QHostAddress> &interfaceAddresses);

// Where the window reads the host's interface addresses from. Tests replace
// the source to play hosts with other addresses.
using InterfaceAddressSource = QList<QHostAddress> (*)();
QList<QHostAddress> interfaceAddresses();
void setInterfaceAddressSource(InterfaceAddressSource source);
