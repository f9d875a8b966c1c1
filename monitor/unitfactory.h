#pragma once

#include <QtGlobal>

#include <array>
#include <cstddef>

// What a unit is given at the factory, as the readiness check judges it (and
// the dissector, which is generated from these, and the simulator, which
// plays units that have it): the vendor prefixes of its two MAC addresses,
// the Q-SYS core port of its family and the subnet of its stored control
// address.
namespace UnitFactory {

// The Dante MAC address starts with the vendor prefix 00:1D:C1.
constexpr std::array<quint8, 3> DanteMacPrefix{0x00, 0x1D, 0xC1};
// The factory continues it with 07, then the unit's own two bytes.
constexpr quint8 DanteMacRange = 0x07;
// The control MAC address starts with the vendor prefix 02:4B:7D and, in the
// vendor's range for these units, a fourth byte 00.
constexpr std::array<quint8, 4> ControlMacPrefix{0x02, 0x4B, 0x7D, 0x00};

// The Q-SYS core port of a paging unit and of an intercom unit.
constexpr quint16 QsysPortPaging = 4099;
constexpr quint16 QsysPortIntercom = 5099;

constexpr quint16 qsysPort(bool intercom)
{
    return intercom ? QsysPortIntercom : QsysPortPaging;
}

// The stored control address lies in 192.168.0.x.
constexpr quint32 ControlSubnet = 0xC0A80000;
constexpr quint32 ControlSubnetMask = 0xFFFFFF00;

constexpr bool inControlSubnet(quint32 address)
{
    return (address & ControlSubnetMask) == ControlSubnet;
}

template <std::size_t N>
constexpr bool hasPrefix(const std::array<quint8, 6> &mac, const std::array<quint8, N> &prefix)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (mac[i] != prefix[i])
            return false;
    }
    return true;
}

} // namespace UnitFactory
