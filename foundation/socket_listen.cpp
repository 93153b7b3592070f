#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "foundation/case_fold.h"
#include "foundation/exception.h"
#include "foundation/socket.h"
#include "foundation/socket_internal.h"

namespace tmg {

bool Socket::listen(std::uint16_t port, bool throwOnError) {
    if (fd <= 0 || !setNonBlocking(false, false)) return detail::failWith<PortAlreadyUsedException>(throwOnError);
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    dropBuffer();
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 5) != 0)
        return detail::failWith<PortAlreadyUsedException>(throwOnError);
    return true;
}

bool Socket::accept(Socket& client, sockaddr_in& peer) {
    if (fd <= 0 || !setNonBlocking(false, false)) return false;
    std::memset(&peer, 0, sizeof peer);
    peer.sin_family = AF_INET;
    client.close();
    int accepted;
    do {
        socklen_t length = sizeof peer;
        accepted = ::accept(fd, reinterpret_cast<sockaddr*>(&peer), &length);
    } while (accepted < 0 && errno == EINTR);
    accepted = detail::aboveStandardDescriptors(accepted);
    if (accepted <= 0) return false;
    client.fd = accepted;
    return true;
}

bool Socket::acceptSecure(Socket& client, sockaddr_in& peer, unsigned receiveTimeout, bool throwOnError) {
    if (!accept(client, peer)) return false;
    client.connectTimeoutMs = 0;
    client.sendTimeoutMs = 0;
    client.receiveTimeoutMs = detail::pollMilliseconds(receiveTimeout);
    std::string opening;
    // A peer that says nothing in time, or hangs up, cannot be judged: refused as well.
    bool peeked = client.peek(opening, 3, false);
    bool plainText = false;
    for (char c : opening)
        if (foldCase(c) >= 'a' && foldCase(c) <= 'z') plainText = true;
    if (peeked && !plainText) return true;
    client.close();
    return detail::failWith<InvalidSSLCertificateOrKeyException>(throwOnError);
}

}  // namespace tmg
