#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli_test_server.h"
#include "formats/dataset.h"
#include "foundation/exception.h"

namespace {

using cgp::CLI;
using cgp::DataSet;
using clitest::ConnectionScript;
using clitest::Milliseconds;
using clitest::ScriptedServer;
using Lines = std::vector<std::string>;

// "Kind message" of the exception execute throws, or "" when it returns.
std::string executeOutcome(CLI& client, const std::string& line) {
    try {
        client.execute(line);
        return "";
    } catch (const cgp::CLIException& e) {
        return "CLI " + std::to_string(e.getCode()) + " " + e.getMessage();
    } catch (const tmg::InvalidServerResponseException& e) {
        return "InvalidServerResponse " + e.getMessage();
    } catch (const tmg::ProtocolException& e) {
        return "Protocol " + e.getMessage();
    } catch (const tmg::ConnectionResetException& e) {
        return "ConnectionReset " + e.getMessage();
    }
}

TEST(CliReplyThreadTest, ReplyLinesBecomeFieldsOrExceptions) {
    struct Case {
        std::string reply;
        std::string outcome;
        int code;
        std::string message, data;
    };
    const Case cases[] = {
        {"200 OK\r\n", "", 200, "OK", "OK\r\n"},
        {"201 {a = b;}\r\n", "", 201, "OK", "{a = b;}\r\n"},
        // An error keeps the data of the last success.
        {"500 unknown command \t \r\n", "CLI 500 unknown command", 500, "unknown command", "{a = b;}\r\n"},
        {"512\r\n", "CLI 512 ", 512, "", "{a = b;}\r\n"},
        {"300 more\r\n", "CLI 300 more", 300, "more", "{a = b;}\r\n"},
        {"200\n", "", 200, "OK", ""},
        {"201 (x)\n", "", 201, "OK", "(x)\n"},
        {" 201 x \r\n", "InvalidServerResponse 201 x", 201, "OK", "(x)\n"},
        {"abc def\r\n", "Protocol abc def\r\n", 0, "OK", "(x)\n"},
        {"65736 wraps to 200\r\n", "Protocol 65736 wraps to 200\r\n", 0, "OK", "(x)\n"},
        {"-500 x\r\n", "Protocol -500 x\r\n", 0, "OK", "(x)\n"},
        {"65535 top\r\n", "CLI 65535 top", 65535, "top", "(x)\n"},
    };
    ConnectionScript script = clitest::loggedIn();
    for (std::size_t i = 0; i < std::size(cases); ++i) script.expectLine("C" + std::to_string(i)).send(cases[i].reply);
    clitest::quits(script);
    ScriptedServer server({script});
    CLI client = clitest::connectTo(server);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.reply);
        EXPECT_EQ(executeOutcome(client, "C" + std::to_string(i)), c.outcome);
        EXPECT_EQ(client.replyCode, c.code);
        EXPECT_EQ(client.replyMessage, c.message);
        EXPECT_EQ(client.replyData, c.data);
    }
}

TEST(CliReplyThreadTest, ReplySplitAtEveryByte) {
    const std::string reply = "201 {key = \"a b\";}\r\n";
    ConnectionScript script = clitest::loggedIn();
    for (std::size_t cut = 1; cut < reply.size(); ++cut)
        script.expectLine("Get").sendSplit({reply.substr(0, cut), reply.substr(cut)}, Milliseconds(1));
    // A 200 whose data line comes by itself, a byte at a time.
    script.expectLine("Get").send("200 OK\r\n").pause(Milliseconds(5)).sendSplit({"(a", ",", " b)", "\r", "\n"}, Milliseconds(1));
    clitest::quits(script);
    ScriptedServer server({script});
    CLI client = clitest::connectTo(server);
    for (std::size_t cut = 1; cut < reply.size(); ++cut) {
        SCOPED_TRACE(cut);
        client.execute("Get");
        EXPECT_EQ(client.replyData, "{key = \"a b\";}\r\n");
        DataSet value = client.getResponseData();
        ASSERT_EQ(value.kind(), cgp::DataSetKind::Dictionary);
        EXPECT_EQ(DataSet::toString(value, false), "{key = \"a b\";}");
    }
    client.execute("Get");
    EXPECT_EQ(client.readResponseData(), "(a, b)\r\n");
}

TEST(CliReplyThreadTest, LinesArrivingTogetherAreReadOneAtATime) {
    ConnectionScript script = clitest::loggedIn();
    // A 200 and its data line in one write.
    script.expectLine("GetA").send("200 OK\r\n{a = x;}\r\n");
    // Two replies in one write, for a command and the next.
    script.expectLine("B").send("201 first\r\n500 second\r\n").expectLine("C");
    // An error reply, then data that is not dataset text.
    script.expectLine("D").send("200 OK\r\n\"unterminated\r\n");
    clitest::quits(script);
    ScriptedServer server({script});
    CLI client = clitest::connectTo(server);

    client.execute("GetA");
    EXPECT_EQ(client.replyData, "OK\r\n");
    EXPECT_EQ(DataSet::toString(client.getResponseData(), false), "{a = x;}");
    client.execute("B");
    EXPECT_EQ(client.readResponseData(), "first\r\n");
    EXPECT_EQ(executeOutcome(client, "C"), "CLI 500 second");
    client.execute("D");
    EXPECT_EQ(client.getResponseData().kind(), cgp::DataSetKind::Empty);
    EXPECT_EQ(server.lines(0).size(), 6u);
}

TEST(CliReplyThreadTest, LostConnectionClosesTheClient) {
    struct Case { const char* name; void (*end)(ConnectionScript&); };
    const Case cases[] = {
        {"closed mid-reply", [](ConnectionScript& s) { s.send("200 O").close(); }},
        {"closed before the reply", [](ConnectionScript& s) { s.close(); }},
        {"reset", [](ConnectionScript& s) { s.reset(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectionScript script = clitest::loggedIn().expectLine("Noop");
        c.end(script);
        ScriptedServer server({script});
        {
            CLI client = clitest::connectTo(server);
            EXPECT_EQ(executeOutcome(client, "Noop"), "ConnectionReset ConnectionResetException");
            EXPECT_EQ(client.fd, 0);
            // Closed: nothing more is sent or read, the destructor's "Quit" included.
            EXPECT_EQ(executeOutcome(client, "Again"), "ConnectionReset ConnectionResetException");
            EXPECT_THROW(client.readLine(), tmg::ConnectionResetException);
        }
        EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));
        EXPECT_EQ(server.lines(0), (Lines{clitest::kApopLine, "inline", "Noop"}));
    }
}

}  // namespace
