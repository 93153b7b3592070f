#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>

#include "foundation/exception.h"
#include "foundation/pop3_client.h"
#include "foundation/socket.h"
#include "tests/support/scripted_server.h"

namespace {

using testsupport::ConnectionScript;
using testsupport::Milliseconds;
using testsupport::ScriptedServer;

// A loopback port that refuses connections: bound, so nobody else takes it, but not
// listening.
class RefusingPort {
public:
    RefusingPort() {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = tmg::Socket::parseAddress("127.0.0.1", 0, true);
        socklen_t length = sizeof address;
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            number = ntohs(address.sin_port);
    }
    ~RefusingPort() {
        if (fd >= 0) ::close(fd);
    }
    std::uint16_t port() const { return number; }

private:
    int fd = -1;
    std::uint16_t number = 0;
};

TEST(SocketConnectThread, RefusedPortFailsWithAndWithoutTimeOut) {
    RefusingPort refusing;
    ASSERT_NE(refusing.port(), 0);
    sockaddr_in address = tmg::Socket::parseAddress("127.0.0.1", refusing.port(), true);
    for (int timeout : {0, 500}) {
        SCOPED_TRACE(timeout);
        tmg::Socket socket;
        ASSERT_TRUE(socket.create(false, true));
        socket.connectTimeoutMs = timeout;
        EXPECT_THROW(socket.connect(address, true), tmg::UnableToConnectException);
        EXPECT_EQ(socket.fd, 0);
        ASSERT_TRUE(socket.create(false, true));
        socket.connectTimeoutMs = timeout;
        EXPECT_FALSE(socket.connect(address, false));
    }
}

TEST(SocketConnectThread, LinesBothWaysWithAndWithoutTimeOuts) {
    for (int timeout : {0, 2000}) {
        SCOPED_TRACE(timeout);
        ScriptedServer server({ConnectionScript()
                                   .send("hello\r\nsecond ")
                                   .expectLine("ping")
                                   .sendSplit({"li", "ne\r", "\n"}, Milliseconds(20))
                                   .close()});
        tmg::Socket socket;
        ASSERT_TRUE(socket.create(false, true));
        socket.connectTimeoutMs = socket.sendTimeoutMs = socket.receiveTimeoutMs = timeout;
        ASSERT_TRUE(socket.connect(tmg::Socket::parseAddress("127.0.0.1", server.port(), true), true));
        EXPECT_EQ(socket.nonBlocking, timeout != 0);
        std::string line;
        ASSERT_TRUE(socket.readLine(line, true));
        EXPECT_EQ(line, "hello");
        ASSERT_TRUE(socket.send("ping", true, true));
        ASSERT_TRUE(socket.readLine(line, true));
        EXPECT_EQ(line, "second line");
        EXPECT_THROW(socket.readLine(line, true), tmg::ConnectionResetException);
        EXPECT_EQ(server.lines(0), std::vector<std::string>{"ping"});
    }
}

TEST(Pop3SessionThread, ApopStatRetrieveDeleteQuit) {
    ScriptedServer server({ConnectionScript()
                               .sendSplit({"+o", "k POP3 <1896.697170952@dbc.mtview.ca.us>", "\r\n"}, Milliseconds(10))
                               .expectLine("APOP mrose c4c9334bac560ecc979e58001b3e22fb")
                               .send("+OK mrose has 2 messages\r\n")
                               .expectLine("STAT")
                               .send("+OK 2 320\r\n")
                               .expectLine("RETR 1")
                               .sendSplit({"+OK 120 octets\r\nline one\r", "\n...\r\n.x\r\n.", "\r\n"}, Milliseconds(10))
                               .expectLine("DELE 1")
                               .send("+OK message 1 deleted\r\n")
                               .expectLine("QUIT")
                               .send("+OK bye\r\n")
                               .close()});
    tmg::Pop3Client client;
    client.connect("127.0.0.1", server.port());
    EXPECT_EQ(client.state, 1);
    EXPECT_EQ(client.greeting, "+ok POP3 <1896.697170952@dbc.mtview.ca.us>");
    client.login("mrose", "tanstaaf", true);
    EXPECT_EQ(client.state, 2);
    EXPECT_EQ(client.status(), 2);
    std::ostringstream message;
    client.retrieve(1, message);
    EXPECT_EQ(message.str(), "line one\n..\n.x\n");
    client.remove(1);
    client.quit();
    EXPECT_EQ(client.state, 0);
    EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));
    EXPECT_TRUE(server.problems().empty());
}

TEST(Pop3SessionThread, ConnectFailuresAndRefusedGreeting) {
    tmg::Pop3Client client;
    EXPECT_THROW(client.connect("300.1.2.3", 110), tmg::SocketException);
    RefusingPort refusing;
    EXPECT_THROW(client.connect("127.0.0.1", refusing.port()), tmg::UnableToConnectException);
    EXPECT_EQ(client.state, 0);

    ScriptedServer server({ConnectionScript().send("-ERR busy\r\n").expectLine("QUIT").close()});
    EXPECT_THROW(client.connect("127.0.0.1", server.port()), tmg::InvalidServerPromptException);
    EXPECT_EQ(client.state, 0);
    EXPECT_EQ(client.lastResponse, "-ERR busy");
    EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));
    EXPECT_TRUE(server.problems().empty());
}

TEST(Pop3SessionThread, PeerClosingMidReplyIsAReset) {
    ScriptedServer server({ConnectionScript().send("+OK <a@b>\r\n").expectLine("USER joe").send("+OK wait").close()});
    tmg::Pop3Client client;
    client.connect("127.0.0.1", server.port());
    EXPECT_THROW(client.login("joe", "pw", false), tmg::ConnectionResetException);
    EXPECT_EQ(client.socket.fd, 0);
    EXPECT_EQ(client.state, 1);
}

}  // namespace
