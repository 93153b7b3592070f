#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "foundation/exception.h"
#include "foundation/host_entry.h"
#include "foundation/socket.h"
#include "foundation/socket_set.h"
#include "socket_pair.h"

namespace {

std::uint16_t localPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// A listening socket at a free port and a client connected to it (waiting in the backlog).
struct ListenerAndClient {
    ListenerAndClient() {
        EXPECT_TRUE(listener.create(false, true));
        EXPECT_TRUE(listener.listen(0, true));
        port = localPort(listener.fd);
        EXPECT_TRUE(client.create(false, true));
        EXPECT_TRUE(client.connect(tmg::Socket::parseAddress("127.0.0.1", port, true), true));
    }
    ~ListenerAndClient() {
        client.close();
        listener.close();
    }
    tmg::Socket listener;
    tmg::Socket client;
    std::uint16_t port = 0;
};

TEST(SocketListen, AcceptsAndTalks) {
    ListenerAndClient pair;
    tmg::Socket served;
    sockaddr_in peer{};
    ASSERT_TRUE(pair.listener.accept(served, peer));
    EXPECT_EQ(ntohl(peer.sin_addr.s_addr), 0x7F000001u);
    EXPECT_FALSE(served.nonBlocking);
    ASSERT_TRUE(pair.client.send("hi", true, true));
    std::string line;
    ASSERT_TRUE(served.readLine(line, true));
    EXPECT_EQ(line, "hi");
    served.close();
}

TEST(SocketListen, PortHeldByAListenerIsRefusedAndTheDescriptorStays) {
    tmg::Socket holder;
    ASSERT_TRUE(holder.create(false, true));
    ASSERT_TRUE(holder.listen(0, true));
    std::uint16_t port = localPort(holder.fd);
    tmg::Socket second;
    ASSERT_TRUE(second.create(false, true));
    EXPECT_THROW(second.listen(port, true), tmg::PortAlreadyUsedException);
    EXPECT_GT(second.fd, 2);
    EXPECT_NE(::fcntl(second.fd, F_GETFD), -1);
    EXPECT_FALSE(second.listen(port, false));
    second.close();
    holder.close();
    tmg::Socket none;
    EXPECT_FALSE(none.listen(port, false));
    sockaddr_in peer{};
    tmg::Socket client;
    EXPECT_FALSE(none.accept(client, peer));
}

TEST(SocketAcceptSecure, RefusesPlainTextAndKeepsAHandshakeUnread) {
    {
        ListenerAndClient pair;
        ASSERT_TRUE(pair.client.send("GET / HTTP/1.0", true, true));
        tmg::Socket served;
        sockaddr_in peer{};
        EXPECT_THROW(pair.listener.acceptSecure(served, peer, 1000, true), tmg::InvalidSSLCertificateOrKeyException);
        EXPECT_EQ(served.fd, 0);
    }
    {
        ListenerAndClient pair;
        ASSERT_TRUE(pair.client.send(std::string("\x16\x03\x01", 3), false, true));
        tmg::Socket served;
        sockaddr_in peer{};
        ASSERT_TRUE(pair.listener.acceptSecure(served, peer, 1000, true));
        EXPECT_EQ(served.receiveTimeoutMs, 1000);
        std::string bytes;
        ASSERT_TRUE(served.receive(bytes, true));
        EXPECT_EQ(bytes, std::string("\x16\x03\x01", 3));
        served.close();
    }
    {
        ListenerAndClient pair;
        tmg::Socket served;
        sockaddr_in peer{};
        EXPECT_FALSE(pair.listener.acceptSecure(served, peer, 60, false));
        EXPECT_EQ(served.fd, 0);
    }
}

TEST(SocketSet, TimeOutReadinessAndBounds) {
    SocketPair first, second;
    tmg::SocketSet set{tmg::Socket(first.ours()), tmg::Socket(second.ours())};
    EXPECT_TRUE(set.waitReadable(30));
    EXPECT_FALSE(set.isReady(0));
    EXPECT_FALSE(set.isReady(1));
    ASSERT_TRUE(second.write("x"));
    EXPECT_FALSE(set.waitReadable(1000));
    EXPECT_FALSE(set.isReady(0));
    EXPECT_TRUE(set.isReady(1));
    std::string out;
    ASSERT_TRUE(set.socketAt(1).receive(out, true));
    EXPECT_EQ(out, "x");
    EXPECT_THROW(set.isReady(2), std::out_of_range);
    EXPECT_THROW(set.socketAt(2), std::out_of_range);
}

TEST(SocketSet, ClosedCopiesAndNoSocketAreNeverReady) {
    SocketPair live;
    tmg::Socket original;
    ASSERT_TRUE(original.create(false, true));
    std::vector<tmg::Socket> sockets{original, tmg::Socket(), tmg::Socket(live.ours())};
    tmg::SocketSet set(sockets);
    original.close();
    EXPECT_TRUE(set.waitReadable(30));
    for (std::uint8_t i = 0; i < 3; ++i) EXPECT_FALSE(set.isReady(i));
    ASSERT_TRUE(live.write("y"));
    EXPECT_FALSE(set.waitReadable(1000));
    EXPECT_FALSE(set.isReady(0));
    EXPECT_FALSE(set.isReady(1));
    EXPECT_TRUE(set.isReady(2));
}

// select would write past its fixed set for a descriptor this high.
TEST(SocketHighDescriptor, WaitsWorkAt1500) {
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_cur < 1600) {
        if (limit.rlim_max < 1600) GTEST_SKIP() << "descriptor limit below 1600";
        limit.rlim_cur = 1600;
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) GTEST_SKIP() << "cannot raise the descriptor limit";
    }
    SocketPair pair;
    ASSERT_EQ(::dup2(pair.ours(), 1500), 1500);
    tmg::Socket socket(1500);
    EXPECT_TRUE(socket.noDataWithin(20));
    ASSERT_TRUE(pair.write("z"));
    EXPECT_TRUE(socket.waitReady(1000, false));
    tmg::SocketSet set(socket);
    EXPECT_FALSE(set.waitReadable(1000));
    EXPECT_TRUE(set.isReady(0));
    socket.close();
    EXPECT_EQ(::fcntl(1500, F_GETFD), -1);
}

TEST(SocketNames, LocalhostAndDottedTexts) {
    tmg::ptr<tmg::sock::host_entry> entry = tmg::sock::resolve("localhost", false);
    if (entry.isNull()) GTEST_SKIP() << "localhost does not resolve here";
    ASSERT_FALSE(entry->addresses.empty());
    EXPECT_EQ(entry->firstAddress().substr(0, 4), "127.");
    EXPECT_EQ(entry->addressStrings().size(), entry->addresses.size());

    tmg::ptr<tmg::sock::host_entry> dotted = tmg::sock::resolve("10.1.2.3", true);
    ASSERT_FALSE(dotted.isNull());
    EXPECT_EQ(dotted->firstAddress(), "10.1.2.3");

    EXPECT_TRUE(tmg::sock::resolve("no-such-host.invalid", false).isNull());
    EXPECT_THROW(tmg::sock::resolve("no-such-host.invalid", true), tmg::UnableToResolveAddressException);
    try {
        tmg::sock::reverseResolve("not an address", true);
        ADD_FAILURE() << "no exception";
    } catch (const tmg::UnableToResolveAddressException& e) {
        EXPECT_STREQ(e.what(), "Invalid IP address");
    }
    EXPECT_TRUE(tmg::sock::reverseResolve("300.0.0.1", false).isNull());
}

TEST(SocketNamesThread, ResolveFromEightThreads) {
    if (tmg::sock::resolve("localhost", false).isNull()) GTEST_SKIP() << "localhost does not resolve here";
    std::vector<std::thread> threads;
    std::vector<int> good(8, 0);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&good, t] {
            for (int i = 0; i < 50; ++i) {
                tmg::ptr<tmg::sock::host_entry> a = tmg::sock::resolve("localhost", false);
                tmg::ptr<tmg::sock::host_entry> b = tmg::sock::resolve("127.0.0.1", false);
                if (!a.isNull() && !b.isNull() && b->firstAddress() == "127.0.0.1") ++good[t];
            }
        });
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < 8; ++t) EXPECT_EQ(good[t], 50) << t;
}

}  // namespace
