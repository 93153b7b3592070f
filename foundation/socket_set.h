#pragma once

#include <cstdint>
#include <vector>

#include "foundation/socket.h"

namespace tmg {

// A fixed group of sockets that one call waits on for incoming data. The set holds copies
// (same descriptor numbers, own receive buffers); destroying it closes nothing. Entries
// whose fd is 0 or below, or whose descriptor has been closed, are never ready. One thread
// uses a set at a time.
class SocketSet {
public:
    explicit SocketSet(const Socket& socket);
    SocketSet(const Socket& first, const Socket& second);
    explicit SocketSet(const std::vector<Socket>& sockets);

    // Waits up to ms milliseconds. True when the time ran out (every flag false); false
    // when some entries became readable (their flags tell which) or when the wait itself
    // failed (every flag false then).
    bool waitReadable(unsigned ms);

    // The entry's ready flag and socket. An index past the end throws std::out_of_range.
    bool isReady(std::uint8_t index) const;
    Socket& socketAt(std::uint8_t index);

private:
    struct Entry {
        Socket socket;
        bool ready;
    };
    std::vector<Entry> entries;
};

}  // namespace tmg
