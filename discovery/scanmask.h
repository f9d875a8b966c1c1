#pragma once

#include <QString>
#include <QtGlobal>

// The subnet arithmetic of the discovery scan. While no unit has answered,
// the scan steps its mask through eight masks 255.255.255.x whose last octet
// has its top `step` bits set (step 0 gives 255.255.255.0); the broadcast
// goes to the subnet of the unit address under the current mask.
namespace ScanMask {

// Bit of the step counter that freezes the stepping once a unit answered.
constexpr quint8 FrozenBit = 0x80;
// The step counter's value that makes the next tick start at step 0.
constexpr quint8 RestartStep = 7;

// The step after `step`: (step + 1) modulo 8.
quint8 nextStep(quint8 step);
// The mask's last octet for a step 0 to 7: 0, 128, 192, ... 254.
quint8 lastOctet(quint8 step);
// "255.255.255.%d" with the step's last octet.
QString maskText(quint8 step);

// The IPv4 value of an address text, 0 when the text is not an IPv4 address.
quint32 ipv4Value(const QString &text);
// The unit address with its last octet replaced by 1.
quint32 baseAddress(quint32 unitAddress);
// base OR (NOT mask).
quint32 broadcastAddress(quint32 base, quint32 mask);

} // namespace ScanMask
