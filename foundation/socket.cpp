#include "foundation/socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "foundation/exception.h"
#include "foundation/socket_internal.h"

namespace tmg {

using detail::failWith;
using detail::limitOf;
using detail::WaitResult;

namespace {
std::atomic<bool> initialised{false};
}

bool Socket::initialize() {
    initialised.store(true);
    return true;
}

void Socket::cleanup() { initialised.store(false); }

void Socket::dropBuffer() {
    receiveBuffer.clear();
    receiveStart = 0;
}

bool Socket::create(bool udp, bool throwOnError) {
    initialize();
    close();
    int s = ::socket(AF_INET, udp ? SOCK_DGRAM : SOCK_STREAM, udp ? IPPROTO_UDP : IPPROTO_TCP);
    s = detail::aboveStandardDescriptors(s);
    if (s <= 0) return failWith<SocketException>(throwOnError);
    fd = s;
    return true;
}

bool Socket::setNonBlocking(bool on, bool throwOnError) {
    if (fd <= 0) return failWith<SocketException>(throwOnError);
    if (nonBlocking == on) return true;
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return failWith<SocketException>(throwOnError);
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    if (::fcntl(fd, F_SETFL, flags) != 0) return failWith<SocketException>(throwOnError);
    nonBlocking = on;
    return true;
}

void Socket::close() {
    if (fd > 0) setNonBlocking(false, false);
    nonBlocking = false;
    dropBuffer();
    if (fd >= 3) ::close(fd);
    fd = 0;
}

bool Socket::waitReady(unsigned ms, bool forWriting) {
    if (fd > 0 && detail::waitForDescriptor(fd, detail::pollMilliseconds(ms), forWriting) == WaitResult::Ready)
        return true;
    close();
    return false;
}

bool Socket::noDataWithin(unsigned ms) {
    if (fd <= 0) return false;
    return detail::waitForDescriptor(fd, detail::pollMilliseconds(ms), false) == WaitResult::TimedOut;
}

bool Socket::connect(const sockaddr_in& address, bool throwOnError) {
    if (fd <= 0) return failWith<UnableToConnectException>(throwOnError);
    auto failed = [&] {
        close();
        return failWith<UnableToConnectException>(throwOnError);
    };
    dropBuffer();
    if (!setNonBlocking(connectTimeoutMs != 0, false)) return failed();
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // A blocking connect cut short by a signal goes on in the background, like a
        // non-blocking one: both end when the socket becomes writable.
        if (errno != EINPROGRESS && errno != EINTR) return failed();
        if (detail::waitForDescriptor(fd, limitOf(connectTimeoutMs), true) != WaitResult::Ready) return failed();
        // Writable also means "refused": only SO_ERROR tells the two apart.
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) return failed();
    }
    if (!setNonBlocking(sendTimeoutMs != 0 || receiveTimeoutMs != 0, false)) return failed();
    return true;
}

bool Socket::sendAll(const char* data, std::size_t length) {
    while (length > 0) {
        ssize_t sent = ::send(fd, data, length, MSG_NOSIGNAL);
        if (sent > 0) {
            data += sent;
            length -= static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        // A full send buffer: a slow peer, not a lost one, until the stall outlasts the limit.
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            detail::waitForDescriptor(fd, limitOf(sendTimeoutMs), true) == WaitResult::Ready)
            continue;
        return false;
    }
    return true;
}

bool Socket::send(const std::string& text, bool appendCrlf, bool throwOnError) {
    if (fd <= 0) return failWith<ConnectionResetException>(throwOnError);
    if (text.empty() && !appendCrlf) return true;
    bool sent = setNonBlocking(sendTimeoutMs != 0, false);
    if (sent) {
        if (appendCrlf) {
            std::string line;
            line.reserve(text.size() + 2);
            line.append(text).append("\r\n");
            sent = sendAll(line.data(), line.size());
        } else {
            sent = sendAll(text.data(), text.size());
        }
    }
    if (sent) return true;
    close();
    return failWith<ConnectionResetException>(throwOnError);
}

bool Socket::receiveChunk(std::string& out) {
    bool wait = receiveTimeoutMs != 0;
    for (;;) {
        if (wait && detail::waitForDescriptor(fd, limitOf(receiveTimeoutMs), false) != WaitResult::Ready)
            return false;
        char chunk[4096];
        ssize_t got = ::recv(fd, chunk, sizeof chunk, MSG_NOSIGNAL);
        if (got > 0) {
            out.assign(chunk, static_cast<std::size_t>(got));
            return true;
        }
        if (got < 0 && errno == EINTR) {
            wait = false;
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            wait = true;
            continue;
        }
        return false;
    }
}

bool Socket::receive(std::string& out, bool throwOnError) {
    if (fd <= 0) return failWith<ConnectionResetException>(throwOnError);
    if (!setNonBlocking(receiveTimeoutMs != 0, false)) {
        close();
        return failWith<ConnectionResetException>(throwOnError);
    }
    if (receiveChunk(out)) return true;
    out.clear();
    close();
    return failWith<ConnectionResetException>(throwOnError);
}

bool Socket::readLine(std::string& line, bool throwOnError) {
    line.clear();
    if (fd <= 0) return failWith<ConnectionResetException>(throwOnError);
    for (;;) {
        const char* begin = receiveBuffer.data() + receiveStart;
        std::size_t available = receiveBuffer.size() - receiveStart;
        if (const void* lf = std::memchr(begin, '\n', available)) {
            std::size_t length = static_cast<std::size_t>(static_cast<const char*>(lf) - begin);
            line.append(begin, length);
            receiveStart += length + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        line.append(begin, available);
        dropBuffer();
        if (!receive(receiveBuffer, throwOnError)) return false;
    }
}

}  // namespace tmg
