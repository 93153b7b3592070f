#include "foundation/pop3_client.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "foundation/exception.h"
#include "foundation/pop3_message_reader_internal.h"
#include "socket_pair.h"

namespace {

TEST(Pop3Apop, CommandOfTheRfcExample) {
    EXPECT_EQ(tmg::Pop3Client::apopCommand("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>", "mrose",
                                           "tanstaaf"),
              "APOP mrose c4c9334bac560ecc979e58001b3e22fb");
    // The first "<" and the first ">" after it make the stamp.
    EXPECT_EQ(tmg::Pop3Client::apopCommand("+OK x> <1896.697170952@dbc.mtview.ca.us> <2@b>", "mrose", "tanstaaf"),
              "APOP mrose c4c9334bac560ecc979e58001b3e22fb");
    for (const char* greeting : {"+OK ready", "+OK <unclosed", "+OK >only<"}) {
        EXPECT_THROW(tmg::Pop3Client::apopCommand(greeting, "u", "p"), tmg::InvalidServerPromptException) << greeting;
    }
}

// A client already past its greeting or login, talking over a local socket pair whose
// peer end the test plays.
struct Pop3OverPair {
    explicit Pop3OverPair(int state, int type = SOCK_STREAM) : pair(type) {
        client.socket = tmg::Socket(pair.ours());
        client.state = state;
        client.greeting = "+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>";
    }
    SocketPair pair;
    tmg::Pop3Client client;
};

TEST(Pop3Reply, GreetingInOneBytePiecesIsReadWhole) {
    Pop3OverPair pop(0, SOCK_SEQPACKET);
    for (char c : std::string("+ok hello <a@b>\r\n")) ASSERT_TRUE(pop.pair.write(std::string(1, c)));
    std::string reply;
    ASSERT_TRUE(pop.client.readResponse(reply, true));
    EXPECT_EQ(reply, "+ok hello <a@b>");
}

TEST(Pop3Reply, RefusedReplyQuitsAndCloses) {
    Pop3OverPair pop(2);
    ASSERT_TRUE(pop.pair.write("-ERR no\r\n"));
    pop.pair.endWrites();
    std::string reply;
    EXPECT_FALSE(pop.client.readResponse(reply, true));
    EXPECT_EQ(pop.client.state, 0);
    EXPECT_EQ(pop.client.socket.fd, 0);
    EXPECT_EQ(pop.pair.drain(), "QUIT\r\n");
    pop.pair.release(0);
}

TEST(Pop3Reply, PeerClosingMidReplyIsAReset) {
    Pop3OverPair pop(2);
    ASSERT_TRUE(pop.pair.write("+OK 2 3"));
    pop.pair.closeEnd(1);
    EXPECT_THROW(pop.client.status(), tmg::ConnectionResetException);
    EXPECT_EQ(pop.client.socket.fd, 0);
    EXPECT_EQ(pop.client.state, 2);
    pop.pair.release(0);
}

// A peer streaming bytes without a line end is not heard out for ever.
TEST(Pop3Reply, EndlessReplyLineIsARefusal) {
    Pop3OverPair pop(2);
    ASSERT_TRUE(pop.pair.write("+OK " + std::string(70000, 'x')));
    pop.pair.endWrites();
    std::string reply;
    EXPECT_FALSE(pop.client.readResponse(reply, true));
    EXPECT_EQ(pop.client.state, 0);
    EXPECT_EQ(pop.client.socket.fd, 0);
    pop.pair.release(0);
}

TEST(Pop3Status, CountOfTheReply) {
    struct Case {
        const char* reply;
        int count;
    } cases[] = {{"+OK 2 320\r\n", 2}, {"+OK\r\n", 0}, {"+OK \r\n", 0}, {"+OK x\r\n", 0}, {"+ok 17\r\n", 17}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        Pop3OverPair pop(2);
        ASSERT_TRUE(pop.pair.write(c.reply));
        EXPECT_EQ(pop.client.status(), c.count);
        EXPECT_EQ(pop.pair.drain(), "STAT\r\n");
    }
}

TEST(Pop3Login, LineBreaksInUserOrPasswordSendNothing) {
    struct Case {
        const char* user;
        const char* password;
        bool apop;
    } cases[] = {
        {"a\r\nDELE 1", "p", false}, {"a\nb", "p", true}, {"a", "p\rDELE 1", false}, {"a\r", "p", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        Pop3OverPair pop(1);
        EXPECT_THROW(pop.client.login(c.user, c.password, c.apop), tmg::InvalidLoginException);
        EXPECT_EQ(pop.client.state, 1);
        EXPECT_EQ(pop.pair.drain(), "");
    }
    // A password is only hashed with APOP, so any byte may be in it.
    Pop3OverPair pop(1);
    ASSERT_TRUE(pop.pair.write("+OK in\r\n"));
    pop.client.login("mrose", "tan\r\nstaaf", true);
    EXPECT_EQ(pop.client.state, 2);
}

TEST(Pop3Login, WrongStateSendsNothing) {
    Pop3OverPair pop(0);
    EXPECT_THROW(pop.client.login("u", "p", false), tmg::ProtocolException);
    EXPECT_THROW(pop.client.status(), tmg::ProtocolException);
    std::ostringstream out;
    EXPECT_THROW(pop.client.retrieve(1, out), tmg::ProtocolException);
    EXPECT_THROW(pop.client.remove(1), tmg::ProtocolException);
    EXPECT_EQ(pop.pair.drain(), "");
}

TEST(Pop3Login, UserAndPassThenApop) {
    Pop3OverPair pop(1, SOCK_SEQPACKET);
    ASSERT_TRUE(pop.pair.write("+OK user\r\n"));
    ASSERT_TRUE(pop.pair.write("+OK pass\r\n"));
    pop.client.login("joe", "secret", false);
    EXPECT_EQ(pop.client.state, 2);
    EXPECT_EQ(pop.client.lastResponse, "+OK pass");

    Pop3OverPair apop(1);
    ASSERT_TRUE(apop.pair.write("-ERR denied\r\n"));
    apop.pair.endWrites();
    EXPECT_THROW(apop.client.login("mrose", "tanstaaf", true), tmg::InvalidLoginException);
    EXPECT_EQ(apop.client.state, 0);
    EXPECT_EQ(apop.client.lastResponse, "-ERR denied");
    apop.pair.release(0);
}

// Writes reply in the given pieces through the RETR splitter.
std::string splitMessage(const std::vector<std::string>& pieces, bool* finished = nullptr) {
    std::ostringstream out;
    tmg::detail::Pop3MessageReader reader(out);
    bool done = false;
    for (const std::string& piece : pieces) done = reader.feed(piece);
    if (finished) *finished = done;
    return out.str();
}

TEST(Pop3Retrieve, MessageLinesTable) {
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
        std::string message;
    } cases[] = {
        {"plain", {"+OK 12 octets\r\nSubject: x\r\n\r\nbody\r\n.\r\n"}, "Subject: x\n\nbody\n"},
        {"three dots give two", {"+OK\r\n...\r\n.\r\n"}, "..\n"},
        {"dot x is kept", {"+OK\r\n.x\r\n.\r\n"}, ".x\n"},
        {"lone cr then dot is kept", {"+OK\r\na\r.\r\n.\r\n"}, "a\n.\n"},
        {"lone cr then dot dot is kept", {"+OK\r\na\r..\r\n.\r\n"}, "a\n..\n"},
        {"lone lf lines", {"+OK\nl1\nl2\n.\n"}, "l1\nl2\n"},
        {"crlf split across pieces", {"+OK\r\nline\r", "\nnext\r\n.\r\n"}, "line\nnext\n"},
        {"terminator split", {"+OK\r\nend\r\n.", "\r", "\n"}, "end\n"},
        {"status line split", {"+O", "K\r", "\nm\r\n.\r\n"}, "m\n"},
        {"bytes after the end are ignored", {"+OK\r\n.\r\nstray\r\n"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool finished = false;
        EXPECT_EQ(splitMessage(c.pieces, &finished), c.message);
        EXPECT_TRUE(finished);
        // Byte by byte gives the same message.
        std::string whole;
        for (const std::string& piece : c.pieces) whole += piece;
        std::vector<std::string> bytes;
        for (char ch : whole) bytes.emplace_back(1, ch);
        EXPECT_EQ(splitMessage(bytes), c.message);
    }
    bool finished = true;
    EXPECT_EQ(splitMessage({"+OK\r\nno end yet\r\n"}, &finished), "no end yet\n");
    EXPECT_FALSE(finished);
}

TEST(Pop3Retrieve, WholeExchangeThenDele) {
    Pop3OverPair pop(2, SOCK_SEQPACKET);
    ASSERT_TRUE(pop.pair.write("+OK 20 octets\r\nFrom: a\r"));
    ASSERT_TRUE(pop.pair.write("\n\r\n..dot\r\n.x\r\n."));
    ASSERT_TRUE(pop.pair.write("\r\n"));
    ASSERT_TRUE(pop.pair.write("+OK deleted\r\n"));
    std::ostringstream out;
    pop.client.retrieve(3, out);
    EXPECT_EQ(out.str(), "From: a\n\n.dot\n.x\n");
    pop.client.remove(3);
    EXPECT_EQ(pop.client.lastResponse, "+OK deleted\r\n");
    EXPECT_EQ(pop.pair.drain(), "RETR 3\r\nDELE 3\r\n");
}

TEST(Pop3Retrieve, RefusalLeavesStateZeroAndTheTrimmedReply) {
    Pop3OverPair pop(2);
    ASSERT_TRUE(pop.pair.write("-ERR no such message \r\n"));
    pop.pair.endWrites();
    std::ostringstream out;
    EXPECT_THROW(pop.client.retrieve(9, out), tmg::InvalidServerResponseException);
    EXPECT_EQ(pop.client.state, 0);
    EXPECT_EQ(pop.client.socket.fd, 0);
    EXPECT_EQ(pop.client.lastResponse, "-ERR no such message");
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(pop.pair.drain(), "RETR 9\r\nQUIT\r\n");
    pop.pair.release(0);
}

TEST(Pop3Quit, SaysQuitOnceInAnyState) {
    Pop3OverPair pop(2);
    ASSERT_TRUE(pop.pair.write("+OK bye\r\n"));
    pop.client.quit();
    EXPECT_EQ(pop.client.state, 0);
    EXPECT_EQ(pop.client.socket.fd, 0);
    pop.client.quit();
    EXPECT_EQ(pop.pair.drain(), "QUIT\r\n");
    pop.pair.release(0);
}

}  // namespace
