// The scripted server against a plain blocking client.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "tests/support/scripted_server.h"

namespace {

using testsupport::ConnectionScript;
using testsupport::Milliseconds;
using testsupport::ScriptedServer;
using Lines = std::vector<std::string>;

// A connected client socket with a 5 s read time-out, or -1.
int connectTo(std::uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    struct timeval limit = {5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    struct sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void sendText(int fd, const std::string& text) {
    ASSERT_EQ(send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
}

// Reads until the server closes; `error` gets errno of a failed read (0 at a clean end).
std::string readToEnd(int fd, int* error = nullptr) {
    std::string all;
    char buffer[256];
    for (;;) {
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            all.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (error) *error = n < 0 ? errno : 0;
        return all;
    }
}

// Reads exactly `count` bytes (fewer if the stream ends first).
std::string readBytes(int fd, std::size_t count) {
    std::string all;
    char buffer[256];
    while (all.size() < count) {
        ssize_t n = recv(fd, buffer, std::min(sizeof buffer, count - all.size()), 0);
        if (n <= 0) break;
        all.append(buffer, static_cast<std::size_t>(n));
    }
    return all;
}

TEST(ScriptedServerThreadTest, PlaysADialogueAndRecordsWhatItHears) {
    ScriptedServer server({ConnectionScript()
                               .send("+OK ready\r\n")
                               .expectLine("USER joe")
                               .send("+OK 2 messages\r\n1 120\r\n")  // a reply cut short by the close
                               .close()});
    ASSERT_NE(server.port(), 0);
    int fd = connectTo(server.port());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(readBytes(fd, 11), "+OK ready\r\n");
    sendText(fd, "USER joe\r\n");
    EXPECT_EQ(readToEnd(fd), "+OK 2 messages\r\n1 120\r\n");
    close(fd);
    EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));
    EXPECT_EQ(server.connections(), 1u);
    EXPECT_EQ(server.lines(0), Lines{"USER joe"});
    EXPECT_EQ(server.received(0), "USER joe\r\n");
    EXPECT_TRUE(server.problems().empty());
}

TEST(ScriptedServerThreadTest, LinesAreReadableWhileTheScriptRuns) {
    // Bare "\n" ends a line as "\r\n" does; two lines in one write are two lines; a last
    // piece without a line end shows in the bytes only.
    ScriptedServer server({ConnectionScript().expectLine().expectLine(
        [](const std::string& line) { return line.rfind("PASS ", 0) == 0; }, "a PASS line")});
    int fd = connectTo(server.port());
    ASSERT_GE(fd, 0);
    sendText(fd, "USER a\nPASS b\r\nQU");
    ASSERT_TRUE(server.waitForLines(2, Milliseconds(5000)));
    EXPECT_EQ(server.allLines(), (Lines{"USER a", "PASS b"}));
    sendText(fd, "IT\r\n");
    ASSERT_TRUE(server.waitForLines(3, Milliseconds(5000)));
    close(fd);
    EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));
    EXPECT_EQ(server.lines(0), (Lines{"USER a", "PASS b", "QUIT"}));
    EXPECT_EQ(server.received(0), "USER a\nPASS b\r\nQUIT\r\n");
}

TEST(ScriptedServerThreadTest, SplitSendsArriveInPartsWithThePausesBetween) {
    ScriptedServer server({ConnectionScript().sendSplit({"+OK fir", "st\r\n", "+OK second\r\n"}, Milliseconds(60)).close()});
    auto start = std::chrono::steady_clock::now();
    int fd = connectTo(server.port());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(readBytes(fd, 7), "+OK fir");
    EXPECT_EQ(readToEnd(fd), "st\r\n+OK second\r\n");
    EXPECT_GE(std::chrono::steady_clock::now() - start, Milliseconds(120));
    close(fd);
}

TEST(ScriptedServerThreadTest, ConnectionsPlayTheirScriptsInOrderAndExtrasAreClosed) {
    ScriptedServer server({ConnectionScript().send("one\r\n").close(), ConnectionScript().send("two\r\n").close()});
    for (const char* expected : {"one\r\n", "two\r\n", ""}) {
        int fd = connectTo(server.port());
        ASSERT_GE(fd, 0);
        EXPECT_EQ(readToEnd(fd), expected);
        close(fd);
    }
    EXPECT_TRUE(server.waitForConnections(3, Milliseconds(5000)));
    EXPECT_EQ(server.connections(), 3u);
}

TEST(ScriptedServerThreadTest, ResetIsSeenByTheClientAsAResetConnection) {
    ScriptedServer server({ConnectionScript().expectLine("STAT").reset()});
    int fd = connectTo(server.port());
    ASSERT_GE(fd, 0);
    sendText(fd, "STAT\r\n");
    int error = 0;
    EXPECT_EQ(readToEnd(fd, &error), "");
    EXPECT_EQ(error, ECONNRESET);
    close(fd);
}

TEST(ScriptedServerThreadTest, ExpectCloseWaitsForTheClientToHangUp) {
    ScriptedServer server({ConnectionScript().send("+OK bye\r\n").expectClose().send("never seen")});
    int fd = connectTo(server.port());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(readBytes(fd, 9), "+OK bye\r\n");
    sendText(fd, "late words\r\n");
    shutdown(fd, SHUT_WR);
    EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));
    close(fd);
    EXPECT_EQ(server.lines(0), Lines{"late words"});
    EXPECT_TRUE(server.problems().empty());
}

TEST(ScriptedServerThreadTest, FailedExpectationsAreTestFailures) {
    struct Case {
        const char* what;
        std::string clientSends;
        bool clientCloses;
        const char* failure;
    };
    const Case cases[] = {
        {"wrong line", "NOOP\r\n", false, "connection 0: expected \"QUIT\", got \"NOOP\""},
        {"close instead of a line", "", true, "connection 0: expected \"QUIT\", got the client's close"},
        {"nothing in time", "", false, "connection 0: expected \"QUIT\", got nothing in time"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> problems;
        std::string rest;
        EXPECT_NONFATAL_FAILURE_ON_ALL_THREADS(
            {
                testsupport::ServerOptions options;
                options.patience = Milliseconds(100);
                ScriptedServer server({ConnectionScript().expectLine("QUIT").send("+OK\r\n")}, options);
                int fd = connectTo(server.port());
                if (!c.clientSends.empty()) sendText(fd, c.clientSends);
                if (c.clientCloses) shutdown(fd, SHUT_WR);
                rest = readToEnd(fd);  // the server ends the connection after the failure
                close(fd);
                server.waitUntilDone(Milliseconds(5000));
                problems = server.problems();
            },
            c.failure);
        EXPECT_EQ(rest, "");
        EXPECT_EQ(problems, Lines{c.failure});
    }
}

TEST(ScriptedServerThreadTest, StoppingNeverWaitsForTheClient) {
    // A client that connects and says nothing, and one that never connects: the server's
    // patience is long, its end is at once (well within a third of that patience, however
    // busy the machine).
    const Milliseconds patience(60000);
    auto start = std::chrono::steady_clock::now();
    {
        ScriptedServer server({ConnectionScript().expectLine("USER x"), ConnectionScript().send("x")},
                              testsupport::ServerOptions{patience});
        int fd = connectTo(server.port());
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(server.waitForConnections(1, Milliseconds(5000)));
        server.stop();
        EXPECT_EQ(readToEnd(fd), "");
        close(fd);
        server.stop();
        EXPECT_EQ(server.connections(), 1u);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, patience / 3);
}

}  // namespace
