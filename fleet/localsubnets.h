#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// This workstation's IPv4 subnets: one per address of every interface that
// is up, 127.0.0.0/8 left out (a workstation address put on the loopback
// interface counts).
struct Subnet
{
    quint32 address = 0;   // the workstation's address on it
    int prefixLength = 0;  // 0 to 32

    quint32 mask() const { return prefixLength == 0 ? 0 : ~quint32(0) << (32 - prefixLength); }
    quint32 network() const { return address & mask(); }
    bool contains(quint32 other) const { return (other & mask()) == network(); }
    // "10.20.30.0/24"
    QString cidr() const;
};

namespace LocalSubnets {

QList<Subnet> all();
// True when `address` lies on one of `subnets`.
bool reaches(const QList<Subnet> &subnets, quint32 address);
// The subnet of `address` under `mask` ("10.20.30.0/24"; a mask that is not
// contiguous counts its leading ones).
QString cidr(quint32 address, quint32 mask);

} // namespace LocalSubnets
