#include "foundation/wide_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WideTextTest, BytesWidenToLatin1) {
    EXPECT_EQ(tmg::bytesToWide("a\xE9\xFF"), std::wstring(L"a\u00E9\u00FF"));
    EXPECT_EQ(tmg::bytesToWide(std::string("\0x", 2)), std::wstring(L"\0x", 2));
}

TEST(WideTextTest, Utf16BigEndian) {
    EXPECT_EQ(tmg::utf16beToWide(std::string("\x00\xE9", 2)), L"\u00E9");
    EXPECT_EQ(tmg::utf16beToWide("\x20\xAC\xFF"), std::wstring(L"\u20AC\uFF00"));  // odd tail
    // Surrogate units stay separate characters here.
    EXPECT_EQ(tmg::utf16beToWide(std::string("\xD8\x3D\xDE\x00", 4)), std::wstring({wchar_t(0xD83D), wchar_t(0xDE00)}));

    EXPECT_EQ(tmg::wideToUtf16be(L"\u20AC"), "\x20\xAC");
    EXPECT_EQ(tmg::wideToUtf16be(L"A"), std::string("\0A", 2));
    // Above U+FFFF a surrogate pair, not the low 16 bits.
    EXPECT_EQ(tmg::wideToUtf16be(std::wstring(1, wchar_t(0x1F600))), std::string("\xD8\x3D\xDE\x00", 4));
    EXPECT_EQ(tmg::wideToUtf16be(std::wstring({wchar_t(0x110000), wchar_t(-1), L'A'})), std::string("\0A", 2));
    std::wstring all;
    for (long c = 0; c <= 0x10FFFF; c += 0x1F3) all += static_cast<wchar_t>(c);
    EXPECT_EQ(tmg::wideToUtf8(tmg::utf16beToWide(tmg::wideToUtf16be(all))), tmg::wideToUtf8(all));
}

struct Utf8Case {
    std::wstring text;
    std::string utf8;
};

TEST(WideTextTest, Utf8) {
    const Utf8Case cases[] = {
        {L"abc", "abc"},
        {L"\u007F", "\x7F"},
        {L"\u0080", "\xC2\x80"},
        {L"\u00E9", "\xC3\xA9"},
        {L"\u07FF", "\xDF\xBF"},
        {L"\u0800", "\xE0\xA0\x80"},
        {L"\u20AC", "\xE2\x82\xAC"},
        {L"\uFFFF", "\xEF\xBF\xBF"},
        {std::wstring(1, wchar_t(0x1F600)), "\xF0\x9F\x98\x80"},
        {std::wstring(1, wchar_t(0x10FFFF)), "\xF4\x8F\xBF\xBF"},
        {std::wstring({wchar_t(0xD83D), wchar_t(0xDE00)}), "\xF0\x9F\x98\x80"},  // joined pair
        {std::wstring({wchar_t(0xD83D), L'x'}), "\xED\xA0\xBDx"},                 // lone high
        {std::wstring({wchar_t(0xDE00), wchar_t(0xD83D)}), "\xED\xB8\x80\xED\xA0\xBD"},  // wrong order
        {std::wstring({wchar_t(0x110000), wchar_t(-5), L'z'}), "z"},              // out of range
        {std::wstring(L"\0", 1), std::string("\0", 1)},
    };
    for (const Utf8Case& c : cases) EXPECT_EQ(tmg::wideToUtf8(c.text), c.utf8) << c.utf8;
}

}  // namespace
