#include "foundation/socket_internal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>

namespace tmg::detail {

int pollRetrying(pollfd* fds, std::size_t count, int ms) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    int left = ms;
    for (;;) {
        int result = ::poll(fds, static_cast<nfds_t>(count), left);
        if (result >= 0 || errno != EINTR) return result;
        if (ms < 0) continue;
        auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        left = remaining > 0 ? static_cast<int>(remaining) : 0;
    }
}

int pollMilliseconds(unsigned ms) { return ms > static_cast<unsigned>(INT_MAX) ? INT_MAX : static_cast<int>(ms); }

WaitResult waitForDescriptor(int fd, int ms, bool forWriting) {
    pollfd entry{};
    entry.fd = fd;
    entry.events = forWriting ? POLLOUT : POLLIN;
    int result = pollRetrying(&entry, 1, ms);
    if (result == 0) return WaitResult::TimedOut;
    if (result < 0 || (entry.revents & POLLNVAL)) return WaitResult::Failed;
    return (entry.revents & (forWriting ? kWritableEvents : kReadableEvents)) ? WaitResult::Ready
                                                                               : WaitResult::Failed;
}

int aboveStandardDescriptors(int fd) {
    if (fd < 0 || fd > 2) return fd;
    int moved = ::fcntl(fd, F_DUPFD, 3);
    ::close(fd);
    return moved;
}

}  // namespace tmg::detail
