#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

// The text forms of the addresses a unit reports and the tool shows.
namespace AddressText {

// Dotted IPv4 text of a host-order value: 3232235774 gives "192.168.0.254".
QString ipv4(quint32 address);

// Upper-case hexadecimal bytes joined by ":": "00:1D:C1:07:00:FE".
QString mac(const std::array<quint8, 6> &mac);

// The last three bytes, upper-case hexadecimal without separators: "0700FE".
// A unit's names end in this text of their MAC.
QString macSuffix(const std::array<quint8, 6> &mac);

} // namespace AddressText
