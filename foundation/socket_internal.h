#pragma once

// Internal to the socket layer (socket, listening side, socket sets): the waits and the
// descriptor and failure conventions the operations share.

#include <poll.h>

#include <cstddef>

namespace tmg::detail {

// Events that count as "readable" and "writable": a hang-up or an error is reported as
// ready so that the following recv or send sees it.
constexpr short kReadableEvents = POLLIN | POLLHUP | POLLERR;
constexpr short kWritableEvents = POLLOUT | POLLHUP | POLLERR;

// poll over fds, retrying EINTR with the time that is left. ms < 0 waits without a limit.
// Returns poll's result: the number of entries with events, 0 on a time-out, -1 on error.
int pollRetrying(pollfd* fds, std::size_t count, int ms);

// Milliseconds as poll takes them: unsigned values beyond INT_MAX are clamped.
int pollMilliseconds(unsigned ms);

// A time-out field as a poll limit: 0 or below means no limit (-1).
inline int limitOf(int timeoutMs) { return timeoutMs > 0 ? timeoutMs : -1; }

enum class WaitResult { Ready, TimedOut, Failed };

// Waits for fd to become readable or writable within ms (< 0: no limit). POLLNVAL and
// poll errors are Failed.
WaitResult waitForDescriptor(int fd, int ms, bool forWriting);

// A new descriptor from socket or accept, moved to 3 or above: 0 means "no socket" and 1
// and 2 are never closed, so a descriptor there would be lost. Returns -1 when the move
// fails (the original is closed then) and passes negative values through.
int aboveStandardDescriptors(int fd);

// Throws E() with throwOnError, else returns false: the end of every failed operation.
template <class E>
bool failWith(bool throwOnError) {
    if (throwOnError) throw E();
    return false;
}

}  // namespace tmg::detail
