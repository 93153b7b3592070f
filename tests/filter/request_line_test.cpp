#include "filter/request_line.h"

#include <gtest/gtest.h>

namespace {

TEST(RequestLineTest, Split) {
    const struct {
        std::string line, seq, command, parameters;
    } cases[] = {
        {"", "", "", ""},
        {" \r \r", "", "", ""},
        {"1", "1", "", ""},
        {"1 FILE /a b c", "1", "file", "/a b c"},
        {"  1  INTF   3  \r", "1", "intf", "3  \r"},
        {"1\rKEY\rx", "1", "key", "x"},
        {"1\tFILE /A", "1\tFILE", "/a", ""},
        {"1 F\xC0LE x", "1", "f\xC0le", "x"},
    };
    for (const auto& c : cases) {
        cgp::RequestLine r = cgp::splitRequestLine(c.line);
        EXPECT_EQ(r.seq, c.seq) << c.line;
        EXPECT_EQ(r.command, c.command) << c.line;
        EXPECT_EQ(r.parameters, c.parameters) << c.line;
    }
}

TEST(RequestLineTest, Number) {
    const struct {
        std::string text;
        bool ok;
        std::uint32_t number;
    } cases[] = {
        {"0", true, 0},           {"007", true, 7},          {"12abc", true, 12},
        {"+5", true, 5},          {" \t\v\f5", true, 5},     {"4294967295", true, 4294967295u},
        {"", false, 0},           {"abc", false, 0},         {"-1", false, 0},
        {"+", false, 0},          {"++1", false, 0},         {"+-1", false, 0},
        {"4294967296", false, 0}, {"99999999999999999999999", false, 0},
        {"0004294967295", true, 4294967295u},
    };
    for (const auto& c : cases) {
        std::uint32_t number = 99;
        EXPECT_EQ(cgp::readRequestNumber(c.text, number), c.ok) << c.text;
        EXPECT_EQ(number, c.number) << c.text;
    }
}

}  // namespace
