#include "foundation/case_fold.h"

#include <gtest/gtest.h>

namespace {

TEST(CaseFoldTest, OnlyAsciiLettersFold) {
    for (int c = 0; c < 256; ++c) {
        int want = (c >= 'A' && c <= 'Z') ? c + 32 : c;
        EXPECT_EQ(tmg::caseFoldTable[static_cast<unsigned char>(c)], want) << c;
    }
    EXPECT_EQ(tmg::foldCase(std::string("X-Regex \xC3\x84")), "x-regex \xC3\x84");
}

TEST(CaseFoldTest, Compares) {
    EXPECT_TRUE(tmg::equalsNoCase("FILE", "file"));
    EXPECT_FALSE(tmg::equalsNoCase("file", "files"));
    EXPECT_FALSE(tmg::equalsNoCase("\xC3\x84", "\xC3\xA4"));
    EXPECT_TRUE(tmg::startsWithNoCase("HEADERS:", "headers"));
    EXPECT_FALSE(tmg::startsWithNoCase("HEAD", "headers"));
    EXPECT_EQ(tmg::compareNoCase("abc", "ABC"), 0);
    EXPECT_LT(tmg::compareNoCase("ab", "ABC"), 0);
    EXPECT_GT(tmg::compareNoCase("b", "A"), 0);
}

}  // namespace
