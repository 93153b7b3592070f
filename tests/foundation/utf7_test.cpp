#include "foundation/utf7.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "foundation/wide_text.h"

namespace {

struct EncodeCase {
    std::string name;
    std::string imap;
    std::string plain;
};

TEST(Utf7Test, Encodes) {
    const EncodeCase cases[] = {
        {"", "", ""},
        {"INBOX/Sent Items", "INBOX/Sent Items", "INBOX/Sent Items"},
        {"Caf\xE9", "Caf&AOk-", "Caf+AOk-"},
        {"&", "&-", "&"},
        {"+", "+", "+-"},
        {"R&D", "R&-D", "R&D"},
        {"\xE9\xE8", "&AOkA6A-", "+AOkA6A-"},             // one run for adjacent characters
        {"\xE9x\xE8", "&AOk-x&AOg-", "+AOk-x+AOg-"},      // two runs, each closed
        {"\xE9-", "&AOk--", "+AOk--"},
        {std::string("\x01\x7F\0", 3), "&AAEAfwAA-", "+AAEAfwAA-"},  // controls and NUL
        {"\xFF", "&AP8-", "+AP8-"},
        {"\xFB\xFB", "&APsA+w-", "+APsA+w-"},          // "+" as a Base64 digit
    };
    for (const EncodeCase& c : cases) {
        EXPECT_EQ(tmg::utf7Encode(c.name, true), c.imap) << c.imap;
        EXPECT_EQ(tmg::utf7Encode(c.name, false), c.plain) << c.plain;
        std::ostringstream out;
        tmg::utf7EncodeTo(c.name, out, true);
        EXPECT_EQ(out.str(), c.imap);
    }
}

struct DecodeCase {
    std::string text;
    bool imapForm;
    std::string utf8;
};

TEST(Utf7Test, Decodes) {
    const DecodeCase cases[] = {
        {"INBOX", true, "INBOX"},
        {"Caf&AOk-", true, "Caf\xC3\xA9"},
        {"Caf+AOk-", false, "Caf\xC3\xA9"},
        {"+APsA+w-", false, "\xC3\xBB\xC3\xBB"},        // "+" inside a run is data
        {"Caf+AOk-", true, "Caf+AOk-"},                   // the other shift is plain text
        {"&-", true, "&"},
        {"+-", false, "+"},
        {"a-b", true, "a-b"},
        {"&AOk--", true, "\xC3\xA9-"},
        {"&U,BTFw-", true, "\xE5\x8F\xB0\xE5\x8C\x97"},
        {"&U/BTFw-", true, "\xE5\x8F\xB0\xE5\x8C\x97"},    // "/" is taken too
        {"Caf&AOk", true, "Caf"},                         // unclosed run is dropped
        {"&&AOk-", true, "\xC3\xA9"},                     // a new shift restarts the run
        {"&AOkA-", true, "\xC3\xA9"},                     // half a unit is left out
        {"&A-", true, ""},
        {"&AOkA6A!-x", true, "\xC3\xA9x"},                // text after a bad character is lost
        {"&AO\xE9k-", true, ""},
        {"a\xE9z", true, "a\xE9z"},                       // 8-bit bytes outside runs pass
    };
    for (const DecodeCase& c : cases) {
        EXPECT_EQ(tmg::utf7Decode(c.text, c.imapForm), c.utf8) << c.text;
        std::ostringstream out;
        tmg::utf7DecodeTo(c.text, out, c.imapForm);
        EXPECT_EQ(out.str(), c.utf8);
    }
}

// U+1F600 is D83D DE00 in UTF-16: one 4-byte character when both halves are in one run.
TEST(Utf7Test, SurrogatePairsJoin) {
    EXPECT_EQ(tmg::utf7Decode("&2D3eAA-", true), "\xF0\x9F\x98\x80");
    EXPECT_EQ(tmg::utf7Decode("x&2D3eANg9-", true), "x\xF0\x9F\x98\x80\xED\xA0\xBD");
    EXPECT_EQ(tmg::utf7Decode("&2D0-", true), "\xED\xA0\xBD");             // lone high
    EXPECT_EQ(tmg::utf7Decode("&3gA-", true), "\xED\xB8\x80");             // lone low
    EXPECT_EQ(tmg::utf7Decode("&2D0-&3gA-", true), "\xED\xA0\xBD\xED\xB8\x80");  // two runs
}

// Names are encoded from 8-bit text and decoded to UTF-8: every byte comes back as its
// Latin-1 character.
TEST(Utf7Test, EncodedNamesDecodeToUtf8) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    const std::string want = tmg::wideToUtf8(tmg::bytesToWide(all + "&+-" + all));
    for (bool imapForm : {true, false}) {
        const std::string encoded = tmg::utf7Encode(all + "&+-" + all, imapForm);
        for (char c : encoded) EXPECT_TRUE(c >= 0x20 && c <= 0x7E);
        EXPECT_EQ(tmg::utf7Decode(encoded, imapForm), want);
    }
}

}  // namespace
