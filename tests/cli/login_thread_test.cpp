#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli_test_server.h"
#include "foundation/exception.h"

namespace {

using cgp::CLI;
using clitest::ConnectionScript;
using clitest::Milliseconds;
using clitest::ScriptedServer;
using Lines = std::vector<std::string>;

// What a constructor did: "" when it returned, else the class of its exception, a blank and
// the message.
std::string outcomeOf(const std::function<void()>& build) {
    try {
        build();
        return "";
    } catch (const tmg::InvalidServerPromptException& e) {
        return "InvalidServerPrompt " + e.getMessage();
    } catch (const tmg::InvalidServerResponseException& e) {
        return "InvalidServerResponse " + e.getMessage();
    } catch (const tmg::InvalidLoginException& e) {
        EXPECT_EQ(e.getCode(), 0);
        return "InvalidLogin " + e.getMessage();
    } catch (const tmg::ProtocolException& e) {
        return "Protocol " + e.getMessage();
    } catch (const tmg::UnableToConnectException& e) {
        return "UnableToConnect " + e.getMessage();
    } catch (const tmg::SocketException& e) {
        return "Socket " + e.getMessage();
    }
}

const std::string kStampless = "200 server ready, no stamp\r\n";

TEST(CliLoginThreadTest, MethodsAndAnswers) {
    struct Case {
        const char* name;
        CLI::LoginMethod method;
        std::string user, password;
        ConnectionScript script;
        Lines sent;
        std::string outcome;
    };
    const std::string greeting = clitest::kGreeting;
    auto greet = [&](const std::string& g) { return ConnectionScript().send(g); };
    Case cases[] = {
        {"RFC 1939 APOP", CLI::LoginApop, "mrose", "tanstaaf",
         greet("201 <1896.697170952@dbc.mtview.ca.us>\r\n").expectLine().send("200 OK\r\n").expectLine()
             .send("500 inline not examined\r\n").expectLine().send("200 bye\r\n"),
         {"APOP mrose c4c9334bac560ecc979e58001b3e22fb", "inline", "Quit"}, ""},
        {"user and pass", CLI::LoginUser, "joe", "pw 1",
         greet(greeting).expectLine().send("300 password please\r\n").expectLine().send("200 OK\r\n")
             .expectLine().send("201 {}\r\n").expectLine().send("200 bye\r\n"),
         {"user joe", "pass pw 1", "inline", "Quit"}, ""},
        {"web user", CLI::LoginWebUser, "joe", "pw",
         greet(kStampless).expectLine().send("200 OK\r\n").expectLine().send("200 OK\r\n").expectLine()
             .send("200 bye\r\n"),
         {"AUTH WEBUSER joe pw", "inline", "Quit"}, ""},
        {"301 after user", CLI::LoginUser, "joe", "pw",
         greet(greeting).expectLine().send("301 no such user\r\n").expectLine().send("200 bye\r\n"),
         {"user joe", "Quit"}, "InvalidLogin Invalid username or password"},
        {"200 after user", CLI::LoginUser, "joe", "pw",
         greet(greeting).expectLine().send("200 OK\r\n").expectLine().send("200 bye\r\n"),
         {"user joe", "Quit"}, "InvalidLogin Invalid username or password"},
        {"refused password", CLI::LoginUser, "joe", "pw",
         greet(greeting).expectLine().send("300 go on\r\n").expectLine().send("515 wrong password \r\n")
             .expectLine().send("200 bye\r\n"),
         {"user joe", "pass pw", "Quit"}, "InvalidLogin Invalid username or password (wrong password)"},
        {"refusal without text", CLI::LoginApop, "user", "secret",
         greet(greeting).expectLine().send("515 \r\n").expectLine().send("200 bye\r\n"),
         {clitest::kApopLine, "Quit"}, "InvalidLogin Invalid username or password"},
        {"refusal without blank", CLI::LoginWebUser, "a", "b",
         greet(greeting).expectLine().send("515\r\n").expectLine().send("200 bye\r\n"),
         {"AUTH WEBUSER a b", "Quit"}, "InvalidLogin Invalid username or password"},
        {"201 ends a login", CLI::LoginWebUser, "a", "b",
         greet(greeting).expectLine().send("201 {}\r\n").expectLine().send("200 bye\r\n"),
         {"AUTH WEBUSER a b", "Quit"}, "InvalidLogin Invalid username or password (OK)"},
        {"quit refused too", CLI::LoginApop, "user", "secret",
         greet(greeting).expectLine().send("515 no\r\n").expectLine().send("500 what\r\n"),
         {clitest::kApopLine, "Quit"}, "InvalidLogin Invalid username or password (no)"},
        {"no stamp for APOP", CLI::LoginApop, "user", "secret", greet(kStampless), {},
         "InvalidServerPrompt InvalidServerPromptException"},
        {"malformed reply", CLI::LoginApop, "user", "secret",
         greet(greeting).expectLine().send("OK fine\r\n"), {clitest::kApopLine}, "Protocol OK fine\r\n"},
        {"wrapped code", CLI::LoginApop, "user", "secret",
         greet(greeting).expectLine().send("65736 OK\r\n"), {clitest::kApopLine}, "Protocol 65736 OK\r\n"},
        {"blank first", CLI::LoginApop, "user", "secret",
         greet(greeting).expectLine().send(" 200 OK\r\n"), {clitest::kApopLine}, "InvalidServerResponse 200 OK"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server({c.script});
        std::string outcome = outcomeOf([&] { CLI client("127.0.0.1", server.port(), c.user, c.password, c.method); });
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));
        EXPECT_EQ(server.lines(0), c.sent);
    }
}

TEST(CliLoginThreadTest, DefaultConstructorUsesTheClassWideValues) {
    ConnectionScript script = ConnectionScript().send(clitest::kGreeting).expectLine().send("200 OK\r\n")
                                  .expectLine().send("200 OK\r\n").expectLine().send("200 bye\r\n");
    ScriptedServer server({script});
    clitest::ScopedDefault<std::uint16_t> port(CLI::defaultPort, server.port());
    EXPECT_EQ(CLI::defaultHost, "127.0.0.1");
    EXPECT_EQ(CLI::defaultLoginMethod, CLI::LoginApop);
    EXPECT_TRUE(CLI::defaultUser.empty() && CLI::defaultPassword.empty());
    EXPECT_TRUE(CLI::enabled);
    {
        CLI client;
        EXPECT_EQ(client.replyCode, 200);
    }
    EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));
    // Empty user: two blanks; the digest of the stamp alone.
    EXPECT_EQ(server.lines(0), (Lines{"APOP  6d7379174f7df9fb329480e5c47c1f1a", "inline", "Quit"}));
}

TEST(CliLoginThreadTest, ConnectionFailuresSendNothing) {
    EXPECT_EQ(outcomeOf([] { CLI client("300.1.2.3", 106, "u", "p", CLI::LoginApop); }), "Socket Invalid IP Address");
    EXPECT_EQ(outcomeOf([] { CLI client("localhost", 106, "u", "p", CLI::LoginApop); }), "Socket Invalid IP Address");
    std::uint16_t port = clitest::closedPort();
    EXPECT_EQ(outcomeOf([&] { CLI client("127.0.0.1", port, "u", "p", CLI::LoginApop); }),
              "UnableToConnect UnableToConnectException");
}

TEST(CliLoginThreadTest, UnknownMethodIsRefusedBeforeConnecting) {
    ScriptedServer server({ConnectionScript().send(clitest::kGreeting)});
    for (int method : {-1, 3, 99}) {
        EXPECT_EQ(outcomeOf([&] {
                      CLI client("127.0.0.1", server.port(), "u", "p", static_cast<CLI::LoginMethod>(method));
                  }),
                  "InvalidLogin Invalid username or password");
    }
    server.stop();
    EXPECT_EQ(server.connections(), 0u);
}

TEST(CliLoginThreadTest, QuitOnceOnly) {
    ConnectionScript script = clitest::loggedIn();
    clitest::quits(script);
    ScriptedServer server({script});
    {
        CLI client = clitest::connectTo(server);
        client.quit();
        EXPECT_EQ(client.fd, 0);
        client.quit();
        EXPECT_THROW(client.execute("Noop"), tmg::ConnectionResetException);
    }
    EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));
    EXPECT_EQ(server.lines(0), (Lines{clitest::kApopLine, "inline", "Quit"}));
}

}  // namespace
