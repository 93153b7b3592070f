#include <sys/socket.h>

#include <cerrno>

#include "foundation/exception.h"
#include "foundation/process.h"
#include "foundation/socket.h"
#include "foundation/socket_internal.h"

namespace tmg {

bool Socket::peek(std::string& out, std::uint8_t count, bool throwOnError) {
    if (fd <= 0) return detail::failWith<ConnectionResetException>(throwOnError);
    if (count == 0) {
        out.clear();
        return true;
    }
    if (!setNonBlocking(receiveTimeoutMs != 0, false)) {
        close();
        return detail::failWith<ConnectionResetException>(throwOnError);
    }
    // Without a limit the recv itself blocks until something arrives; a zero-time wait
    // would close a healthy socket instead.
    const bool limited = receiveTimeoutMs > 0;
    char bytes[255];
    ssize_t got = 0;
    unsigned waited = 0;
    for (;;) {
        if (limited) {
            if (waited >= static_cast<unsigned>(receiveTimeoutMs)) break;
            if (!waitReady(static_cast<unsigned>(receiveTimeoutMs), false))
                return detail::failWith<ConnectionResetException>(throwOnError);
        }
        ssize_t result = ::recv(fd, bytes, count, MSG_PEEK | MSG_NOSIGNAL);
        if (result < 0 && errno == EINTR) continue;
        // Nothing there after all: wait again (the limited loop waits at its top).
        if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            (limited || detail::waitForDescriptor(fd, -1, false) == detail::WaitResult::Ready))
            continue;
        if (result <= 0) {
            close();
            return detail::failWith<ConnectionResetException>(throwOnError);
        }
        got = result;
        if (!limited || got >= count) break;
        sleepMilliseconds(50);
        waited += 50;
    }
    out.assign(bytes, static_cast<std::size_t>(got));
    return true;
}

}  // namespace tmg
