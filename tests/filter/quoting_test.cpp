#include "filter/quoting.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

struct QuoteCase {
    std::string plain;
    std::string quoted;
};

// Texts without carriage returns: escaping and unescaping are exact inverses.
const QuoteCase kRoundTrips[] = {
    {"", ""},
    {"plain text", "plain text"},
    {"\\\n", "\\\\\\e"},
    {"tab\there", "tab\\there"},
    {"say \"hi\"", "say \\\"hi\\\""},
    {"nul\0byte"s, "nul\\0byte"},
    {"\xC3\xA9\x01\x7f", "\xC3\xA9\x01\x7f"},
    {"\\e is not a line feed", "\\\\e is not a line feed"},
};

TEST(QuotingTest, EscapeAndUnescapeAreInverses) {
    for (const auto& c : kRoundTrips) {
        EXPECT_EQ(cgp::escapeString(c.plain), c.quoted) << c.quoted;
        EXPECT_EQ(cgp::unescapeString(c.quoted), c.plain) << c.quoted;
    }
}

TEST(QuotingTest, CarriageReturnsAreDropped) {
    EXPECT_EQ(cgp::escapeString("a\r\nb"), "a\\eb");
    EXPECT_EQ(cgp::escapeString("\r\r"), "");
}

TEST(QuotingTest, UnknownAndTrailingEscapesAreKept) {
    EXPECT_EQ(cgp::unescapeString("\\n\\r"), "\\n\\r");
    EXPECT_EQ(cgp::unescapeString("end\\"), "end\\");
    EXPECT_EQ(cgp::unescapeString("\\\\\\"), "\\\\");
    EXPECT_EQ(cgp::unescapeString("\\"), "\\");
}

}  // namespace
