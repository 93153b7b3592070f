#pragma once

// A loopback port where nothing listens, for tests of failing connections.

#include <cstdint>

namespace testsupport {

// A port on 127.0.0.1 that the system just gave out and took back, so nothing listens on
// it (until some other program happens to take it).
std::uint16_t closedLoopbackPort();

}  // namespace testsupport
