#include "foundation/socket_set.h"

#include <chrono>

#include "foundation/socket_internal.h"

namespace tmg {

SocketSet::SocketSet(const Socket& socket) : entries{{socket, false}} {}

SocketSet::SocketSet(const Socket& first, const Socket& second) : entries{{first, false}, {second, false}} {}

SocketSet::SocketSet(const std::vector<Socket>& sockets) {
    entries.reserve(sockets.size());
    for (const Socket& socket : sockets) entries.push_back({socket, false});
}

bool SocketSet::waitReadable(unsigned ms) {
    using Clock = std::chrono::steady_clock;
    std::vector<pollfd> fds(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].ready = false;
        // poll skips negative descriptors: "no socket" must not mean standard input.
        fds[i].fd = entries[i].socket.fd > 0 ? entries[i].socket.fd : -1;
        fds[i].events = POLLIN;
    }
    const int limit = detail::pollMilliseconds(ms);
    const auto deadline = Clock::now() + std::chrono::milliseconds(limit);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        int result = detail::pollRetrying(fds.data(), fds.size(), left > 0 ? static_cast<int>(left) : 0);
        if (result == 0) return true;
        if (result < 0) return false;
        bool any = false;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents & POLLNVAL) {
                // A descriptor closed through another copy: drop it and wait on for the rest.
                fds[i].fd = -1;
            } else if (fds[i].revents & detail::kReadableEvents) {
                entries[i].ready = any = true;
            }
        }
        if (any) return false;
    }
}

bool SocketSet::isReady(std::uint8_t index) const { return entries.at(index).ready; }

Socket& SocketSet::socketAt(std::uint8_t index) { return entries.at(index).socket; }

}  // namespace tmg
