// The two server probes against a scripted administration server on loopback. The server
// runs on a thread of its own, hence the suite names.

#include "directory/cli_probes.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "cli/cli.h"
#include "foundation/exception.h"
#include "tests/support/capture_stdout.h"
#include "tests/support/closed_port.h"
#include "tests/support/scoped_value.h"
#include "tests/support/scripted_server.h"

namespace {

using testsupport::ConnectionScript;
using testsupport::ScopedValue;
using testsupport::ScriptedServer;

const std::string greeting = "200 CGP CLI server ready <1896.697170952@dbc.mtview.ca.us>\r\n";

// Greets and takes a login by "user " and "pass "; then the test's own steps.
ConnectionScript loggedIn() {
    return ConnectionScript()
        .send(greeting)
        .expectLine("user admin")
        .send("300 password please\r\n")
        .expectLine("pass secret")
        .send("200 logged in\r\n")
        .expectLine("inline")
        .send("200 inline\r\n");
}

ConnectionScript asked(const std::string& reply) {
    return loggedIn().expectLine("GetClusterDomainDefaults").send(reply).expectLine("Quit").send("200 bye\r\n");
}

ConnectionScript refused() {
    return ConnectionScript().send(greeting).expectLine("user admin").send("300 password please\r\n")
        .expectLine("pass secret").send("515 wrong password\r\n").expectLine("Quit").send("200 bye\r\n");
}

std::int64_t fakeNow = 1000000;
std::int64_t fakeClock() { return fakeNow; }

class ProbeThreadTest : public testing::Test {
protected:
    void SetUp() override {
        cgp::probe_testing::forgetState();
        cgp::probe_testing::setClock(fakeClock);
        fakeNow = 1000000;
    }
    void TearDown() override { cgp::probe_testing::setClock(nullptr); }

    // Points the class defaults at port; they are put back when the test ends.
    void useServer(std::uint16_t port) {
        portValue.reset();  // the old value first, or it would be put back over the new one
        portValue = std::make_unique<ScopedValue<std::uint16_t>>(cgp::CLI::defaultPort, port);
    }

    ScopedValue<std::string> host{cgp::CLI::defaultHost, "127.0.0.1"};
    ScopedValue<std::string> user{cgp::CLI::defaultUser, "admin"};
    ScopedValue<std::string> password{cgp::CLI::defaultPassword, "secret"};
    ScopedValue<cgp::CLI::LoginMethod> method{cgp::CLI::defaultLoginMethod, cgp::CLI::LoginUser};
    ScopedValue<bool> enabled{cgp::CLI::enabled, true};
    std::unique_ptr<ScopedValue<std::uint16_t>> portValue;
};

const std::string unable = "* Unable to use CLI, please verify your settings\n";

TEST_F(ProbeThreadTest, AnswersWithoutConnectingWhenDisabledOrWithoutCredentials) {
    ScriptedServer server({});
    useServer(server.port());
    testsupport::CaptureStdout capture;
    {
        ScopedValue<bool> off(cgp::CLI::enabled, false);
        EXPECT_FALSE(cgp::cliAvailable());
        EXPECT_FALSE(cgp::clusterDefaultsViaCli());
    }
    {
        ScopedValue<std::string> noUser(cgp::CLI::defaultUser, "");
        EXPECT_FALSE(cgp::clusterDefaultsViaCli());
    }
    {
        ScopedValue<std::string> noPassword(cgp::CLI::defaultPassword, "");
        for (int i = 0; i < 3; ++i) EXPECT_FALSE(cgp::clusterDefaultsViaCli());
    }
    std::string out = capture.text();
    capture.stop();
    EXPECT_EQ(out, "");
    EXPECT_EQ(server.connections(), 0u);
}

TEST_F(ProbeThreadTest, TheFirstAnswerHolds) {
    struct Case {
        const char* reply;
        bool answer;
    } cases[] = {{"200 OK\r\n", true}, {"201 {}\r\n", true}, {"512 unknown command\r\n", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        cgp::probe_testing::forgetState();
        ScriptedServer server({asked(c.reply)});
        useServer(server.port());
        EXPECT_EQ(cgp::clusterDefaultsViaCli(), c.answer);
        fakeNow += 100;
        EXPECT_EQ(cgp::clusterDefaultsViaCli(), c.answer);
        EXPECT_TRUE(server.waitUntilDone(testsupport::Milliseconds(5000)));
        EXPECT_EQ(server.connections(), 1u);
    }
}

TEST_F(ProbeThreadTest, FailuresAreRetriedAfter20SecondsAndReportedOncePerSettings) {
    ScriptedServer server({refused(), refused()});
    useServer(server.port());
    testsupport::CaptureStdout capture;
    EXPECT_FALSE(cgp::clusterDefaultsViaCli());
    std::string first = capture.text();
    fakeNow += 19;
    EXPECT_FALSE(cgp::clusterDefaultsViaCli());  // too soon: no connection
    EXPECT_TRUE(server.waitForConnections(1, testsupport::Milliseconds(2000)));
    EXPECT_EQ(server.connections(), 1u);
    fakeNow += 1;
    EXPECT_FALSE(cgp::clusterDefaultsViaCli());  // asked again, the same settings: no lines
    EXPECT_EQ(server.connections(), 2u);
    std::string second = capture.text().substr(first.size());

    // Another port is other settings: reported again.
    useServer(testsupport::closedLoopbackPort());
    fakeNow += 20;
    EXPECT_FALSE(cgp::clusterDefaultsViaCli());
    std::string third = capture.text().substr(first.size() + second.size());
    capture.stop();

    EXPECT_EQ(first, unable + "* CLI module reported: Invalid username or password (wrong password)\n");
    EXPECT_EQ(second, "");
    EXPECT_EQ(third, unable + "* CLI module reported: UnableToConnectException\n");
}

TEST(ProbeText, IsOneLineWithoutCarriageReturnsAndTrimmed) {
    EXPECT_EQ(cgp::probe_testing::reportedText(" first line\r\nsecond\rline \r"), "first line\\nsecondline");
    EXPECT_EQ(cgp::probe_testing::reportedText("plain"), "plain");
    // Line feeds become text before the ends are trimmed, so a trailing one shows.
    EXPECT_EQ(cgp::probe_testing::reportedText("ends\n"), "ends\\n");
    EXPECT_EQ(cgp::probe_testing::reportedText(" \r "), "");
}

TEST_F(ProbeThreadTest, AvailabilityLetsConnectionErrorsThrough) {
    ScriptedServer server({loggedIn().expectLine("GetCurrentController").send("201 node1\r\n").expectLine("Quit").send("200 bye\r\n"),
                           refused()});
    useServer(server.port());
    EXPECT_TRUE(cgp::cliAvailable());
    EXPECT_THROW(cgp::cliAvailable(), tmg::InvalidLoginException);
    useServer(testsupport::closedLoopbackPort());
    EXPECT_THROW(cgp::cliAvailable(), tmg::UnableToConnectException);
}

// Several first calls at once may each ask; all get the one answer kept.
TEST_F(ProbeThreadTest, ManyThreadsAskAtOnce) {
    std::vector<ConnectionScript> scripts;
    for (int i = 0; i < 6; ++i) scripts.push_back(asked("200 OK\r\n"));
    ScriptedServer server(scripts);
    useServer(server.port());
    std::atomic<int> yes{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 6; ++i)
        threads.emplace_back([&] {
            for (int k = 0; k < 20; ++k) yes += cgp::clusterDefaultsViaCli();
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(yes.load(), 120);
    EXPECT_GE(server.connections(), 1u);
    EXPECT_LE(server.connections(), 6u);
}

}  // namespace
