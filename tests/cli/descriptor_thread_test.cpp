#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli_test_server.h"
#include "foundation/exception.h"
#include "tests/support/wait_until.h"

namespace {

using cgp::CLI;
using clitest::ConnectionScript;
using clitest::Milliseconds;
using clitest::ScriptedServer;

int openDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') ++count;
        closedir(dir);
    }
    return count;
}

// The server closes its side of a connection on its own thread, a moment after the
// client: wait for the count to come back.
bool descriptorsReturnTo(int count) {
    return testsupport::waitUntil([&] { return openDescriptors() == count; });
}

TEST(CliDescriptorThreadTest, FailingConstructorsReleaseTheirDescriptors) {
    const int rounds = 5;
    struct Case { const char* name; ConnectionScript script; std::string host; CLI::LoginMethod method; std::string user; };
    Case cases[] = {
        {"bad host", ConnectionScript(), "1.2.3", CLI::LoginApop, "u"},
        {"refused connect", ConnectionScript(), "", CLI::LoginApop, "u"},
        {"no stamp", ConnectionScript().send("200 hello\r\n"), "127.0.0.1", CLI::LoginApop, "u"},
        {"malformed reply", ConnectionScript().send(clitest::kGreeting).expectLine().send("xyz\r\n"), "127.0.0.1",
         CLI::LoginWebUser, "u"},
        {"refused login", ConnectionScript().send(clitest::kGreeting).expectLine().send("515 no\r\n").expectLine()
                              .send("200 bye\r\n"), "127.0.0.1", CLI::LoginWebUser, "u"},
        {"line break", ConnectionScript().send(clitest::kGreeting), "127.0.0.1", CLI::LoginUser, "u\n"},
        {"lost greeting", ConnectionScript().send("200 <a").close(), "127.0.0.1", CLI::LoginApop, "u"},
    };
    std::uint16_t closed = clitest::closedPort();
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ConnectionScript> scripts(rounds, c.script);
        ScriptedServer server(scripts);
        std::uint16_t port = c.host.empty() ? closed : server.port();
        std::string host = c.host.empty() ? "127.0.0.1" : c.host;
        int before = openDescriptors();
        for (int i = 0; i < rounds; ++i) {
            EXPECT_THROW(CLI client(host, port, c.user, "p", c.method), tmg::Exception);
            EXPECT_TRUE(descriptorsReturnTo(before)) << openDescriptors() << " open, " << before << " before";
        }
    }
}

// Standard input replaced by one end of a socket pair, with a byte waiting on it, for the
// length of one test.
class StandardInputPair {
public:
    StandardInputPair() {
        saved = ::dup(0);
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        EXPECT_EQ(::dup2(ends[0], 0), 0);
        EXPECT_EQ(::send(ends[1], "X", 1, 0), 1);
    }
    ~StandardInputPair() {
        ::dup2(saved, 0);
        ::close(saved);
        ::close(ends[0]);
        ::close(ends[1]);
    }
    // Nothing was written to descriptor 0 and its waiting byte was not read.
    void expectUntouched() {
        char byte = 0;
        errno = 0;
        EXPECT_EQ(::recv(ends[1], &byte, 1, MSG_DONTWAIT), -1) << "something was written to descriptor 0";
        EXPECT_TRUE(errno == EAGAIN || errno == EWOULDBLOCK);
        EXPECT_EQ(::recv(0, &byte, 1, MSG_DONTWAIT), 1) << "descriptor 0 was read";
        EXPECT_EQ(byte, 'X');
    }

private:
    int saved = -1;
    int ends[2] = {-1, -1};
};

TEST(CliDescriptorThreadTest, ClosedClientLeavesDescriptorZeroAlone) {
    StandardInputPair input;
    ConnectionScript script = clitest::loggedIn();
    clitest::quits(script);
    ScriptedServer server({script});
    {
        CLI client = clitest::connectTo(server);
        client.quit();
        EXPECT_THROW(client.execute("Noop"), tmg::ConnectionResetException);
        EXPECT_THROW(client.sendCommand("Noop"), tmg::ConnectionResetException);
        EXPECT_THROW(client.readLine(), tmg::ConnectionResetException);
        EXPECT_THROW(client.readResponse(false), tmg::ConnectionResetException);
        EXPECT_THROW(client.readResponseData(), tmg::ConnectionResetException);
        client.quit();
    }
    EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));
    EXPECT_EQ(server.lines(0).back(), "Quit");
    input.expectUntouched();
}

// Sanitizer run-times need descriptors of their own (a pipe to probe memory) while an
// exception is built, so with none left they report errors that are not there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

TEST(CliDescriptorThreadTest, FailedSocketCreationTouchesNoDescriptor) {
    if (kSanitized) GTEST_SKIP() << "needs every descriptor taken, which sanitizers cannot run with";
    StandardInputPair input;
    ScriptedServer server({clitest::loggedIn()});
    // Every descriptor below the limit in use: the next socket cannot be made.
    int lowestFree = ::dup(1);
    ::close(lowestFree);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::string outcome;
    try {
        CLI client("127.0.0.1", server.port(), "user", "secret", CLI::LoginApop);
    } catch (const tmg::UnableToConnectException& e) {
        outcome = e.getMessage();
    } catch (const tmg::Exception& e) {
        outcome = "other: " + e.getMessage();
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(outcome, "UnableToConnectException");
    input.expectUntouched();
    server.stop();
    EXPECT_EQ(server.connections(), 0u);
}

}  // namespace
