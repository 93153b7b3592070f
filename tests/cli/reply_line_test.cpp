#include "cli/reply_line.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/exception.h"

namespace {

using cgp::cli_internal::ReplyLine;
using cgp::cli_internal::splitReplyLine;
using cgp::cli_internal::takeThroughLineFeed;

enum class Outcome { Reply, BadResponse, Protocol };

TEST(ReplyLineTest, SplitsCodeAndText) {
    struct Case {
        std::string line;
        Outcome outcome;
        int code;
        bool success;
        std::string text;  // the reply's text, or the exception's message
    };
    const Case cases[] = {
        {"200 OK\r\n", Outcome::Reply, 200, true, "OK\r\n"},
        {"201 {a = b;}\r\n", Outcome::Reply, 201, true, "{a = b;}\r\n"},
        {"201  two blanks\n", Outcome::Reply, 201, true, " two blanks\n"},
        {"200\r\n", Outcome::Reply, 200, true, ""},
        {"500 unknown command \t \r\n", Outcome::Reply, 500, false, "unknown command"},
        {"512\r\n", Outcome::Reply, 512, false, ""},
        {"300 give the password\r\n", Outcome::Reply, 300, false, "give the password"},
        {"536   \r\n", Outcome::Reply, 536, false, ""},
        {"65535 top\n", Outcome::Reply, 65535, false, "top"},
        {"0200 leading zero\n", Outcome::Reply, 200, true, "leading zero\n"},
        {"200abc rest\n", Outcome::Reply, 200, true, "rest\n"},
        {"5\tx\n", Outcome::Reply, 5, false, ""},
        // A blank first: the trimmed line.
        {" 200 OK\r\n", Outcome::BadResponse, 0, false, "200 OK"},
        {"   \r\n", Outcome::BadResponse, 0, false, ""},
        // No code: the line as received.
        {"OK then\r\n", Outcome::Protocol, 0, false, "OK then\r\n"},
        {"0 zero\r\n", Outcome::Protocol, 0, false, "0 zero\r\n"},
        {"000\n", Outcome::Protocol, 0, false, "000\n"},
        {"-200 signed\n", Outcome::Protocol, 0, false, "-200 signed\n"},
        {"+200 signed\n", Outcome::Protocol, 0, false, "+200 signed\n"},
        {"\t200 tab\n", Outcome::Protocol, 0, false, "\t200 tab\n"},
        {"\r\n", Outcome::Protocol, 0, false, "\r\n"},
        {"", Outcome::Protocol, 0, false, ""},
        // Codes that would wrap round in 16 bits into a success or an error.
        {"65736 x\r\n", Outcome::Protocol, 0, false, "65736 x\r\n"},
        {"65536 x\n", Outcome::Protocol, 0, false, "65536 x\n"},
        {"131272 x\n", Outcome::Protocol, 0, false, "131272 x\n"},
        {"99999999999999999999999999 x\n", Outcome::Protocol, 0, false, "99999999999999999999999999 x\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        switch (c.outcome) {
        case Outcome::Reply: {
            ReplyLine reply = splitReplyLine(c.line);
            EXPECT_EQ(reply.code, c.code);
            EXPECT_EQ(reply.success, c.success);
            EXPECT_EQ(reply.text, c.text);
            break;
        }
        case Outcome::BadResponse:
            try {
                splitReplyLine(c.line);
                ADD_FAILURE() << "no exception";
            } catch (const tmg::InvalidServerResponseException& e) {
                EXPECT_EQ(e.getMessage(), c.text);
                EXPECT_EQ(e.getCode(), 0);
            }
            break;
        case Outcome::Protocol:
            try {
                splitReplyLine(c.line);
                ADD_FAILURE() << "no exception";
            } catch (const tmg::InvalidServerResponseException&) {
                ADD_FAILURE() << "not a plain protocol error";
            } catch (const tmg::ProtocolException& e) {
                EXPECT_EQ(e.getMessage(), c.text);
                EXPECT_EQ(e.getCode(), 0);
            }
            break;
        }
    }
}

TEST(ReplyLineTest, FramingTakesOneLineAndKeepsTheRest) {
    std::string buffer = "200 OK\r\n{a = b;}\r\n201 (";
    std::size_t start = 0;
    std::string line;
    ASSERT_TRUE(takeThroughLineFeed(line, buffer, start));
    EXPECT_EQ(line, "200 OK\r\n");
    line.clear();
    ASSERT_TRUE(takeThroughLineFeed(line, buffer, start));
    EXPECT_EQ(line, "{a = b;}\r\n");
    line.clear();
    ASSERT_FALSE(takeThroughLineFeed(line, buffer, start));
    EXPECT_EQ(line, "201 (");
    EXPECT_EQ(buffer, "");
    EXPECT_EQ(start, 0u);
    buffer = "x)\n";
    ASSERT_TRUE(takeThroughLineFeed(line, buffer, start));
    EXPECT_EQ(line, "201 (x)\n");
    EXPECT_EQ(buffer, "");  // a buffer read to its end is emptied
    EXPECT_EQ(start, 0u);

    // A lone line feed ends a line; a lone CR does not.
    line.clear();
    buffer = "a\rb\nc";
    ASSERT_TRUE(takeThroughLineFeed(line, buffer, start));
    EXPECT_EQ(line, "a\rb\n");
    EXPECT_EQ(buffer.substr(start), "c");
    line.clear();
    ASSERT_FALSE(takeThroughLineFeed(line, buffer, start));
    EXPECT_EQ(line, "c");
    line.clear();
    ASSERT_FALSE(takeThroughLineFeed(line, buffer, start));
    EXPECT_EQ(line, "");
}

}  // namespace
