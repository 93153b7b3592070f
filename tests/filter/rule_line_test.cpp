// The split of a rule line against the expression it stands for, matched by Boost.

#include "filter/rule_line.h"

#include <string>

#include <boost/regex.hpp>
#include <gtest/gtest.h>

namespace {

const boost::regex& grammar() {
    static const boost::regex expression("^(.*[^ \\t])[ \\t]+/(.*[^\\\\])/(.*)$");
    return expression;
}

// Compares the split with Boost's match of the expression.
void expectAsBoost(const std::string& line) {
    SCOPED_TRACE(testing::PrintToString(line));
    boost::smatch groups;
    bool matched = boost::regex_match(line, groups, grammar());
    RuleLine parts;
    ASSERT_EQ(splitRuleLine(line, parts), matched);
    if (!matched) return;
    EXPECT_EQ(parts.name, groups.str(1));
    EXPECT_EQ(parts.pattern, groups.str(2));
    EXPECT_EQ(parts.options, groups.str(3));
}

TEST(RuleLineTest, Examples) {
    struct Case {
        std::string line, name, pattern, options;
    };
    const Case cases[] = {
        {"Spam   /buy now/", "Spam", "buy now", ""},
        {"Spam\t/x/gi", "Spam", "x", "gi"},
        {"A /b/ c /d/e", "A /b/ c", "d", "e"},
        {"Path /a/b/x", "Path", "a/b", "x"},
        {"N /a\\/b/", "N", "a\\/b", ""},
        {"N /x\\//", "N", "x\\/", ""},
        {"Say \"hi\" \\o/ /x/", "Say \"hi\" \\o/", "x", ""},
        {"CR /x/\r", "CR", "x", "\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        RuleLine parts;
        ASSERT_TRUE(splitRuleLine(c.line, parts));
        EXPECT_EQ(parts.name, c.name);
        EXPECT_EQ(parts.pattern, c.pattern);
        EXPECT_EQ(parts.options, c.options);
        expectAsBoost(c.line);
    }
    for (const char* line : {"A //", "A /x\\/", "A/x/", "/x/", " /x/", "A x", "", "A /", "A //x"}) {
        RuleLine parts;
        EXPECT_FALSE(splitRuleLine(line, parts)) << line;
        expectAsBoost(line);
    }
}

TEST(RuleLineTest, EveryShortLineSplitsAsBoostMatches) {
    const char alphabet[] = {' ', '\t', '/', '\\', 'a', '\r'};
    const int letters = sizeof alphabet;
    for (int length = 0; length <= 6; ++length) {
        int combinations = 1;
        for (int k = 0; k < length; ++k) combinations *= letters;
        for (int n = 0; n < combinations; ++n) {
            std::string line;
            for (int k = 0, rest = n; k < length; ++k, rest /= letters) line.push_back(alphabet[rest % letters]);
            expectAsBoost(line);
            if (testing::Test::HasFailure()) return;
        }
    }
}

TEST(RuleLineTest, LongLinesSplitInLinearTime) {
    // Many candidate slashes; Boost's backtracking gives up on this one.
    std::string line = "N";
    for (int i = 0; i < 200000; ++i) line += " /a";
    RuleLine parts;
    ASSERT_TRUE(splitRuleLine(line, parts));
    EXPECT_EQ(parts.pattern, "a ");
    EXPECT_EQ(parts.options, "a");
    EXPECT_EQ(parts.name.size(), line.size() - 6);
}

}  // namespace
