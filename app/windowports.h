#pragma once

#include <QtGlobal>

// The local UDP ports the window binds: polls and commands leave from and
// replies come back to UnicastPort; discovery's broadcasts and their answers
// use BroadcastPort. A taken port leaves the socket on any free one.
namespace WindowPorts {

constexpr quint16 UnicastPort = 1234;
constexpr quint16 BroadcastPort = 1235;

} // namespace WindowPorts
