#include "foundation/fs_wildcard.h"

#include <gtest/gtest.h>

namespace {

TEST(FsWildcardTest, Table) {
    const struct {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"a*b?c", "aXXbYc", true},  {"*", "", true},          {"", "", true},          {"", "a", false},
        {"a*", "a", true},          {"?", "", false},         {"?", "x", true},        {"??", "x", false},
        {"*x", "xyx", true},        {"*x", "xy", false},      {"*.txt", "a.txt", true}, {"*.txt", "a.TXT", false},
        {"*.txt", ".x.txt", true},  {"a", "a", true},         {"a", "ab", false},      {"ab", "a", false},
        {"***", "abc", true},       {"a**", "a", true},       {"*a*b*", "xaybz", true}, {"*a*b*", "xbya", false},
        {"*ab", "aab", true},       {"*aab", "aaab", true},   {"a*a", "a", false},     {"*?", "", false},
        {"*?", "z", true},          {"x*y*z", "xyyzz", true}, {"*.*", "noext", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tmg::fs::wildcardMatch(c.pattern, c.name), c.match) << c.pattern << " ~ " << c.name;
}

}  // namespace
