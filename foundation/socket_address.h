#pragma once

#include <cstdint>
#include <string>

// Dotted texts of IPv4 addresses. The conversion the other way is
// tmg::Socket::parseAddress and parseAddressValue (foundation/socket.h).

namespace tmg::sock {

// The dotted text of an address held in network byte order (inet_ntop; thread-safe).
std::string addressToString(std::uint32_t networkOrder);

// The dotted text of an address held in host byte order, most significant byte first:
// 0x0A000001 gives "10.0.0.1".
std::string hostOrderToString(std::uint32_t hostOrder);

}  // namespace tmg::sock
