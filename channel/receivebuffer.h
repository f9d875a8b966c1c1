#pragma once

// The receive buffer every UDP socket of the program asks for: room for a
// burst of datagrams while the program is busy elsewhere (the answers of
// thousands of units to one broadcast, a unit's reply behind a flood of
// strays), a small datagram taking about 1 KB of it. The kernel may grant
// less (net.core.rmem_max); a lost reply is asked again.
namespace ReceiveBuffer {

constexpr int Bytes = 4 * 1024 * 1024;

} // namespace ReceiveBuffer
