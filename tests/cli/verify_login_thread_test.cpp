#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli_test_server.h"

namespace {

using cgp::CLI;
using clitest::ConnectionScript;
using clitest::Milliseconds;
using clitest::ScriptedServer;

ConnectionScript answersLogin(const std::string& reply) {
    ConnectionScript script = ConnectionScript().send(clitest::kGreeting).expectLine().send(reply);
    if (reply.rfind("200 ", 0) == 0) script.expectLine("inline").send("200 OK\r\n");
    return clitest::quits(script);
}

TEST(CliVerifyLoginThreadTest, Outcomes) {
    ConnectionScript accepted = answersLogin("200 OK\r\n");
    struct Case {
        const char* name;
        ConnectionScript script;
        bool result, enabled;
        std::string message;
    };
    Case cases[] = {
        {"accepted", accepted, true, true, ""},
        {"wrong password", answersLogin("515 Incorrect password\r\n"), false, false,
         "Invalid username or password (Incorrect password)"},
        {"disabled account", answersLogin("536 Access To This Account Is Disabled\r\n"), true, false, ""},
        {"536 for another reason", answersLogin("536 mailbox is locked\r\n"), false, false,
         "Invalid username or password (mailbox is locked)"},
        {"disabled text, other code", answersLogin("515 access to this account is disabled\r\n"), false, false,
         "Invalid username or password (access to this account is disabled)"},
        {"no stamp", ConnectionScript().send("200 hello\r\n"), false, false, "InvalidServerPromptException"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server({c.script});
        clitest::ScopedDefault<std::uint16_t> port(CLI::defaultPort, server.port());
        std::string message = "stale";
        bool enabled = !c.enabled;
        EXPECT_EQ(CLI::verifyLogin("user", "secret", CLI::LoginApop, message, enabled), c.result);
        EXPECT_EQ(enabled, c.enabled);
        EXPECT_EQ(message, c.message);
        EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));
    }
}

TEST(CliVerifyLoginThreadTest, UnreachableServer) {
    clitest::ScopedDefault<std::uint16_t> port(CLI::defaultPort, clitest::closedPort());
    std::string message;
    bool enabled = true;
    EXPECT_FALSE(CLI::verifyLogin("user", "secret", CLI::LoginApop, message, enabled));
    EXPECT_FALSE(enabled);
    EXPECT_EQ(message, "UnableToConnectException");
    message.clear();
    EXPECT_FALSE(CLI::verifyLogin("user", "secret", CLI::LoginUser, message));
    EXPECT_EQ(message, "UnableToConnectException");

    clitest::ScopedDefault<std::string> host(CLI::defaultHost, "not-an-address");
    EXPECT_FALSE(CLI::verifyLogin("user", "secret", CLI::LoginApop, message));
    EXPECT_EQ(message, "Invalid IP Address");
}

}  // namespace
