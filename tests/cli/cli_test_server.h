#pragma once

// Shared pieces of the administration client's tests against the scripted loopback server.

#include <cstdint>
#include <string>

#include "cli/cli.h"
#include "tests/support/closed_port.h"
#include "tests/support/scoped_value.h"
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

// A loopback port where nothing listens.
inline std::uint16_t closedPort() { return testsupport::closedLoopbackPort(); }

// Sets a class-wide connection value for one test and puts it back afterwards.
template <class T>
using ScopedDefault = testsupport::ScopedValue<T>;

}  // namespace clitest
