#pragma once

#include "sim/unitsimulator.h"

#include <QString>

// One line of the simulator's datagram log:
// "23:41:07.512  in   192.168.0.17:1234 -> 192.168.0.254  "GSHV\r""
// Status replies show their length and header text rather than the binary block.
QString formatLogLine(const SimDatagram &datagram);

// Printable form of a datagram: control characters escaped ("\r", "\x00").
QString printable(const QByteArray &data);
