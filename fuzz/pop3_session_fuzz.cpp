// Plays arbitrary bytes as everything a POP3 server says to a client that has read its
// greeting: APOP login, STAT, RETR, DELE and QUIT run over a local socket pair whose peer
// has written the bytes and hung up. Each operation ends normally or with the library's
// exception; none may crash or hang.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "foundation/exception.h"
#include "foundation/pop3_client.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

template <class Step>
void attempt(Step step) {
    try {
        step();
    } catch (const tmg::Exception&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The bytes must fit the pair's buffer, since nobody reads them before the client runs.
    if (size > 60000) return 0;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return 0;
    if (size > 0 && ::send(ends[1], data, size, MSG_NOSIGNAL) != static_cast<ssize_t>(size)) {
        ::close(ends[0]);
        ::close(ends[1]);
        return 0;
    }
    ::shutdown(ends[1], SHUT_WR);

    const std::string text(reinterpret_cast<const char*>(data), size);
    tmg::Pop3Client client;
    client.socket = tmg::Socket(ends[0]);
    client.state = 1;
    client.greeting = text.substr(0, text.find('\n'));
    attempt([&] { tmg::Pop3Client::apopCommand(client.greeting, "user", "secret"); });
    client.greeting = "+OK ready <1.2@host>";
    attempt([&] { client.login("user", "secret", true); });
    attempt([&] { client.status(); });
    std::ostringstream message;
    attempt([&] { client.retrieve(1, message); });
    check(message.str().find('\r') == std::string::npos);
    attempt([&] { client.remove(1); });
    client.quit();
    // Whichever way it went, the client's end is closed exactly once by now.
    check(client.state == 0 && client.socket.fd == 0);
    check(::fcntl(ends[0], F_GETFD) == -1);
    ::close(ends[1]);
    return 0;
}
