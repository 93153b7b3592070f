#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "foundation/read_line.h"

namespace {

TEST(ReadLineTest, LinesEndAtLineFeedsOnly) {
    std::istringstream in("one\r\n\r\n\ntwo");
    std::string line;
    const char* expected[] = {"one\r", "\r", "", "two"};
    for (const char* text : expected) {
        ASSERT_TRUE(in.good());
        EXPECT_FALSE(tmg::readLine(in, line));
        EXPECT_EQ(line, text);
    }
    EXPECT_TRUE(in.eof());
    EXPECT_FALSE(tmg::readLine(in, line));
    EXPECT_EQ(line, "");
}

TEST(ReadLineTest, LimitKeepsTheStartAndSkipsTheRest) {
    struct Case {
        std::string text;
        std::size_t limit;
        bool cut;
        std::string line, rest;
        bool skipRest = true;
    } cases[] = {
        {"abcd\nnext", 4, false, "abcd", "next"},
        {"abcde\nnext", 4, true, "abcd", "next"},
        {"abcdefgh", 4, true, "abcd", ""},
        {"abcd", 4, false, "abcd", ""},
        {"\nnext", 0, false, "", "next"},
        {"x\nnext", 0, true, "", "next"},
        // Left unread: all but the one character that shows the line is long.
        {"abcdefgh\nnext", 4, true, "abcd", "fgh\nnext", false},
        {"abcde\nnext", 4, true, "abcd", "\nnext", false},
        {"abcd\nnext", 4, false, "abcd", "next", false},
        {"abcde", 4, true, "abcd", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::istringstream in(c.text);
        std::string line = "old";
        EXPECT_EQ(tmg::readLine(in, line, c.limit, c.skipRest), c.cut);
        EXPECT_EQ(line, c.line);
        std::string rest(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(rest, c.rest);
    }
}

TEST(ReadLineTest, WarmBufferIsReused) {
    std::istringstream in(std::string(100, 'x') + "\nshort\n");
    std::string line;
    tmg::readLine(in, line);
    const char* storage = line.data();
    tmg::readLine(in, line);
    EXPECT_EQ(line, "short");
    EXPECT_EQ(line.data(), storage);
}

}  // namespace
