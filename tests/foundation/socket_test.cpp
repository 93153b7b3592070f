#include "foundation/socket.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/exception.h"
#include "foundation/pop3_client.h"
#include "foundation/socket_address.h"
#include "socket_pair.h"
#include "tests/support/forked_child.h"

namespace {

using Clock = std::chrono::steady_clock;

long millisecondsSince(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

struct LineCase {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<std::string> lines;
};

TEST(SocketReadLine, SplitsAtLineFeedsAcrossChunks) {
    const LineCase cases[] = {
        {"crlf then lf", {"a\r\nb\n"}, {"a", "b"}},
        {"cr cr lf keeps one cr", {"\r\r\n"}, {"\r"}},
        {"line across chunks", {"ab", "c\r", "\nd", "e\n"}, {"abc", "de"}},
        {"empty lines", {"\n\r\n", "\n"}, {"", "", ""}},
        {"lone cr stays inside a line", {"x\ry\n"}, {"x\ry"}},
        {"many lines in one chunk", {"1\n2\n3\n4\n"}, {"1", "2", "3", "4"}},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        SocketPair pair(SOCK_SEQPACKET);
        ASSERT_TRUE(pair.ok());
        for (const std::string& chunk : c.chunks) ASSERT_TRUE(pair.write(chunk));
        tmg::Socket socket(pair.ours());
        for (const std::string& expected : c.lines) {
            std::string line = "stale";
            ASSERT_TRUE(socket.readLine(line, true));
            EXPECT_EQ(line, expected);
        }
        // Nothing is left over: the next read reaches the peer's close.
        pair.closeEnd(1);
        std::string rest;
        EXPECT_THROW(socket.readLine(rest, true), tmg::ConnectionResetException);
        EXPECT_EQ(socket.fd, 0);
        pair.release(0);
    }
}

TEST(SocketReadLine, PartialLineStaysInLineWhenThePeerCloses) {
    SocketPair pair;
    ASSERT_TRUE(pair.write("no end"));
    pair.closeEnd(1);
    tmg::Socket socket(pair.release(0));
    std::string line;
    EXPECT_FALSE(socket.readLine(line, false));
    EXPECT_EQ(line, "no end");
    EXPECT_EQ(socket.fd, 0);
}

TEST(SocketReceive, ReplacesItsOutputAndFailsOnClose) {
    SocketPair pair;
    ASSERT_TRUE(pair.write("new"));
    tmg::Socket socket(pair.ours());
    std::string out = "old text";
    ASSERT_TRUE(socket.receive(out, true));
    EXPECT_EQ(out, "new");

    pair.closeEnd(1);
    EXPECT_THROW(socket.receive(out, true), tmg::ConnectionResetException);
    EXPECT_EQ(socket.fd, 0);
    pair.release(0);
    out = "kept?";
    EXPECT_FALSE(socket.receive(out, false));
}

TEST(SocketSend, EmptyTextSendsNothingAndCrlfAlone) {
    SocketPair pair;
    tmg::Socket socket(pair.ours());
    EXPECT_TRUE(socket.send("", false, true));
    EXPECT_EQ(pair.drain(), "");
    EXPECT_TRUE(socket.send("", true, true));
    EXPECT_EQ(pair.drain(), "\r\n");
    EXPECT_TRUE(socket.send("USER x", true, true));
    EXPECT_EQ(pair.drain(), "USER x\r\n");
}

TEST(SocketSend, ClosedPeerThrowsWithoutSignal) {
    SocketPair pair;
    pair.closeEnd(1);
    tmg::Socket socket(pair.release(0));
    // Repeated sends: the first may still be buffered on some kernels, a later one fails.
    EXPECT_THROW(socket.send("x", true, true), tmg::ConnectionResetException);
    EXPECT_EQ(socket.fd, 0);
}

// The reader stalls well past the kernel buffers first, then drains in small steps; a
// sender that gave up on the first full buffer would report a healthy peer as reset.
TEST(SocketSendThread, LargeTextReachesASlowReaderWhole) {
    SocketPair pair;
    const std::string text(8 * 1024 * 1024, 'm');
    std::string received;
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        char buffer[65536];
        int reads = 0;
        ssize_t n;
        while ((n = ::recv(pair.theirs(), buffer, sizeof buffer, 0)) > 0) {
            received.append(buffer, static_cast<size_t>(n));
            if (++reads % 16 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (received.size() >= text.size()) break;
        }
    });
    tmg::Socket socket(pair.ours());
    // Far longer than the reader's stalls, even when a busy machine lets it run late.
    socket.sendTimeoutMs = 20000;
    bool sent = socket.send(text, false, false);
    reader.join();
    EXPECT_TRUE(sent);
    EXPECT_EQ(received.size(), text.size());
    EXPECT_TRUE(received == text);
}

TEST(SocketPeek, WaitsInStepsUntilTheTimeOutIsSlept) {
    SocketPair pair;
    ASSERT_TRUE(pair.write("ab"));
    tmg::Socket socket(pair.ours());
    socket.receiveTimeoutMs = 120;
    std::string out;
    auto start = Clock::now();
    ASSERT_TRUE(socket.peek(out, 3, true));
    long elapsed = millisecondsSince(start);
    EXPECT_EQ(out, "ab");
    EXPECT_GE(elapsed, 140);
    EXPECT_LT(elapsed, 1000);
    // Peeked bytes are not consumed.
    ASSERT_TRUE(socket.receive(out, true));
    EXPECT_EQ(out, "ab");
}

TEST(SocketPeek, ZeroCountIsEmptyAndFullCountReturnsAtOnce) {
    SocketPair pair;
    ASSERT_TRUE(pair.write("xyz"));
    tmg::Socket socket(pair.ours());
    std::string out = "old";
    EXPECT_TRUE(socket.peek(out, 0, true));
    EXPECT_EQ(out, "");
    socket.receiveTimeoutMs = 5000;
    auto start = Clock::now();
    ASSERT_TRUE(socket.peek(out, 3, true));
    EXPECT_EQ(out, "xyz");
    EXPECT_LT(millisecondsSince(start), 1000);
}

TEST(SocketPeekThread, WithoutTimeOutWaitsForALatePeer) {
    SocketPair pair;
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pair.write("late");
    });
    tmg::Socket socket(pair.ours());
    std::string out;
    bool peeked = socket.peek(out, 4, false);
    late.join();
    EXPECT_TRUE(peeked);
    EXPECT_EQ(out.substr(0, 1), "l");
    EXPECT_EQ(socket.fd, pair.ours());
}

TEST(SocketPeek, SilentPeerWithTimeOutClosesAndThrows) {
    SocketPair pair;
    tmg::Socket socket(pair.release(0));
    socket.receiveTimeoutMs = 50;
    std::string out;
    EXPECT_THROW(socket.peek(out, 3, true), tmg::ConnectionResetException);
    EXPECT_EQ(socket.fd, 0);
}

// Descriptor 0 stands for "no socket": nothing may act on standard input.
TEST(SocketNoDescriptor, EveryOperationFailsAtOnce) {
    tmg::Socket socket;
    std::string out = "untouched";
    sockaddr_in address = tmg::Socket::parseAddress("127.0.0.1", 1, false);
    EXPECT_FALSE(socket.send("x", true, false));
    EXPECT_FALSE(socket.receive(out, false));
    EXPECT_FALSE(socket.readLine(out, false));
    EXPECT_FALSE(socket.peek(out, 3, false));
    EXPECT_FALSE(socket.connect(address, false));
    EXPECT_FALSE(socket.setNonBlocking(true, false));
    EXPECT_FALSE(socket.waitReady(0, false));
    EXPECT_FALSE(socket.noDataWithin(0));
    EXPECT_THROW(socket.send("x", true, true), tmg::ConnectionResetException);
    EXPECT_THROW(socket.receive(out, true), tmg::ConnectionResetException);
    EXPECT_THROW(socket.readLine(out, true), tmg::ConnectionResetException);
    EXPECT_THROW(socket.peek(out, 3, true), tmg::ConnectionResetException);
    EXPECT_THROW(socket.connect(address, true), tmg::UnableToConnectException);
    EXPECT_THROW(socket.setNonBlocking(true, true), tmg::SocketException);
    tmg::Socket negative(-5);
    EXPECT_FALSE(negative.receive(out, false));
    EXPECT_FALSE(negative.send("x", false, false));
}

TEST(SocketClose, NeverClosesTheStandardDescriptors) {
    for (int standard : {0, 1, 2}) {
        tmg::Socket socket(standard);
        socket.close();
        EXPECT_EQ(socket.fd, 0);
        EXPECT_NE(::fcntl(standard, F_GETFD), -1) << standard;
    }
    SocketPair pair;
    int fd = pair.release(0);
    tmg::Socket socket(fd);
    socket.close();
    EXPECT_EQ(socket.fd, 0);
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
}

// A failed mode switch used to end with false even when an exception was asked for.
TEST(SocketClosedDescriptor, ReceiveWithTimeOutThrowsWhenAsked) {
    int fd;
    {
        SocketPair pair;
        fd = pair.ours();
    }
    ASSERT_EQ(::fcntl(fd, F_GETFD), -1);
    tmg::Socket socket(fd);
    socket.receiveTimeoutMs = 100;
    std::string out;
    EXPECT_THROW(socket.receive(out, true), tmg::ConnectionResetException);
    EXPECT_EQ(socket.fd, 0);
    tmg::Socket sender(fd);
    sender.sendTimeoutMs = 100;
    EXPECT_THROW(sender.send("x", false, true), tmg::ConnectionResetException);
}

// Runs body in a child whose standard input is a socket holding "keep", and checks that
// those bytes are still unread and stdin still blocking afterwards.
void expectStdinUntouched(const std::function<void()>& body) {
    testsupport::ForkedChild child([&] {
        int stdinPair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, stdinPair) != 0) return 10;
        if (::dup2(stdinPair[0], 0) != 0) return 11;
        if (::send(stdinPair[1], "keep", 4, MSG_NOSIGNAL) != 4) return 12;
        body();
        if (::fcntl(0, F_GETFL) & O_NONBLOCK) return 13;
        char buffer[8];
        if (::recv(0, buffer, sizeof buffer, MSG_PEEK | MSG_DONTWAIT) != 4) return 14;
        return 0;
    });
    ASSERT_TRUE(child.started());
    EXPECT_EQ(child.wait(10000), 0);
}

TEST(SocketNoDescriptor, StdinIsNotReadAfterAFailedReceive) {
    expectStdinUntouched([] {
        int ends[2];
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, ends);
        ::close(ends[1]);
        tmg::Socket socket(ends[0]);
        socket.receiveTimeoutMs = 50;
        std::string out;
        socket.receive(out, false);
        socket.receive(out, false);
        socket.readLine(out, false);
        socket.peek(out, 3, false);
        socket.waitReady(10, false);
    });
}

TEST(SocketNoDescriptor, StdinIsNotReadByAPop3QuitWhoseSendFailed) {
    expectStdinUntouched([] {
        int ends[2];
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, ends);
        ::close(ends[1]);
        tmg::Pop3Client client;
        client.socket = tmg::Socket(ends[0]);
        client.state = 2;
        client.quit();
        if (client.state != 0 || client.socket.fd != 0) ::_exit(15);
    });
}

TEST(SocketAddress, ParseAddressTable) {
    struct Case {
        const char* text;
        bool valid;
        std::uint32_t hostOrder;
    } cases[] = {
        {"127.0.0.1", true, 0x7F000001},
        {"10.0.0.1", true, 0x0A000001},
        {"255.255.255.255", true, 0xFFFFFFFF},
        {"300.1.2.3", false, 0},
        {"", false, 0},
        {"mail.example", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        sockaddr_in address = tmg::Socket::parseAddress(c.text, 110, false);
        EXPECT_EQ(address.sin_family, AF_INET);
        EXPECT_EQ(ntohs(address.sin_port), 110);
        EXPECT_EQ(ntohl(address.sin_addr.s_addr), c.hostOrder);
        EXPECT_EQ(ntohl(tmg::Socket::parseAddressValue(c.text, false)), c.hostOrder);
        if (!c.valid) {
            try {
                tmg::Socket::parseAddress(c.text, 110, true);
                ADD_FAILURE() << "no exception";
            } catch (const tmg::SocketException& e) {
                EXPECT_STREQ(e.what(), "Invalid IP Address");
            }
        }
    }
    const std::string withNul("1.2.3.4\0junk", 12);
    EXPECT_EQ(tmg::Socket::parseAddressValue(withNul, false), 0u);
}

TEST(SocketAddress, HostOrderAndNetworkOrderTexts) {
    struct Case {
        std::uint32_t hostOrder;
        const char* text;
    } cases[] = {
        {0xC0A80001, "192.168.0.1"},
        {0x0A000001, "10.0.0.1"},
        {0, "0.0.0.0"},
        {0xFFFFFFFF, "255.255.255.255"},
        {0x7F000001, "127.0.0.1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tmg::sock::hostOrderToString(c.hostOrder), c.text);
        EXPECT_EQ(tmg::sock::addressToString(htonl(c.hostOrder)), c.text);
    }
}

}  // namespace
