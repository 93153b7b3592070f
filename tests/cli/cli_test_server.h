#pragma once

// Shared pieces of the administration client's tests against the scripted loopback server.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "cli/cli.h"
#include "tests/support/scripted_server.h"

namespace clitest {

using testsupport::ConnectionScript;
using testsupport::Milliseconds;
using testsupport::ScriptedServer;

// The greeting of RFC 1939's APOP example, with its time stamp.
inline const std::string kGreeting = "200 CGP CLI server ready <1896.697170952@dbc.mtview.ca.us>\r\n";
// The APOP line for kGreeting, user "user" and password "secret".
inline const std::string kApopLine = "APOP user 3f18b52881e44c0cc6067f46e0ced7bc";

// A script that greets, takes the APOP login and answers "inline"; the test appends the
// rest of the exchange.
inline ConnectionScript loggedIn() {
    return ConnectionScript()
        .send(kGreeting)
        .expectLine(kApopLine)
        .send("200 logged in\r\n")
        .expectLine("inline")
        .send("200 inline mode\r\n");
}

// The closing exchange the client's destructor plays.
inline ConnectionScript& quits(ConnectionScript& script) { return script.expectLine("Quit").send("200 bye\r\n"); }

// A client logged in to the server by APOP as "user" with password "secret".
inline cgp::CLI connectTo(const ScriptedServer& server) {
    return cgp::CLI("127.0.0.1", server.port(), "user", "secret", cgp::CLI::LoginApop);
}

// A loopback port where nothing listens: one the system just gave out and took back.
inline std::uint16_t closedPort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
}

// Sets a class-wide connection value for one test and puts it back afterwards.
template <class T>
class ScopedDefault {
public:
    ScopedDefault(T& target, T replacement) : value(target), saved(target) { value = replacement; }
    ~ScopedDefault() { value = saved; }
    ScopedDefault(const ScopedDefault&) = delete;
    ScopedDefault& operator=(const ScopedDefault&) = delete;

private:
    T& value;
    T saved;
};

}  // namespace clitest
