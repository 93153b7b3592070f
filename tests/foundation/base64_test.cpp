#include "foundation/base64.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

struct EncodeCase {
    std::string bytes;
    std::string standard;
    std::string modified;
};

TEST(Base64Test, EncodesBothAlphabets) {
    const EncodeCase cases[] = {
        {"", "", ""},
        {"M", "TQ==", "TQ"},
        {"Ma", "TWE=", "TWE"},
        {"Man", "TWFu", "TWFu"},
        {"\xFF", "/w==", ",w"},
        {"\xFB\xFF\xBF", "+/+/", "+,+,"},
        {std::string("\0\0\0\0", 4), "AAAAAA==", "AAAAAA"},
        {"any carnal pleasure.", "YW55IGNhcm5hbCBwbGVhc3VyZS4=", "YW55IGNhcm5hbCBwbGVhc3VyZS4"},
    };
    for (const EncodeCase& c : cases) {
        EXPECT_EQ(tmg::base64Encode(c.bytes), c.standard) << c.standard;
        EXPECT_EQ(tmg::base64Encode(c.bytes, true), c.modified) << c.modified;
        std::ostringstream out;
        tmg::base64EncodeTo(c.bytes, out, false);
        EXPECT_EQ(out.str(), c.standard);
        EXPECT_EQ(tmg::base64Decode(c.standard), c.bytes) << c.standard;
        EXPECT_EQ(tmg::base64Decode(c.modified), c.bytes) << c.modified;
    }
}

struct DecodeCase {
    std::string text;
    std::string bytes;
    bool ok;
    std::size_t position;
};

TEST(Base64Test, DecodeResultAndPosition) {
    const DecodeCase cases[] = {
        {"", "", true, 0},
        {"TQ", "M", true, 4},                 // implied padding is counted
        {"TWE", "Ma", true, 4},
        {"TWFuTQ==", "ManM", true, 8},
        {"TQ==TWFu", "MMan", true, 8},        // padding mid-text does not end decoding
        {"====TWFu", "Man", true, 8},
        {"TW!u", "", false, 2},
        {"TWFuTW!u", "Man", false, 6},        // earlier groups stay written
        {"TWFu\n", "Man", false, 4},          // line breaks are not skipped
        {std::string("TW\0u", 4), "", false, 2},
        {"TWFu\xC3\xA9", "Man", false, 4},
    };
    for (const DecodeCase& c : cases) {
        std::ostringstream out;
        tmg::Base64DecodeResult r = tmg::base64DecodeTo(c.text, out);
        EXPECT_EQ(out.str(), c.bytes) << c.text;
        EXPECT_EQ(r.ok, c.ok) << c.text;
        EXPECT_EQ(r.position, c.position) << c.text;
        bool failed = !c.ok;
        EXPECT_EQ(tmg::base64Decode(c.text, failed), c.bytes);
        EXPECT_EQ(failed, !c.ok) << c.text;
    }
}

// One character of a group carries only six bits: it must not invent a byte.
TEST(Base64Test, GroupWithoutSecondValueWritesNothing) {
    EXPECT_EQ(tmg::base64Decode("T"), "");
    EXPECT_EQ(tmg::base64Decode("A"), "");
    EXPECT_EQ(tmg::base64Decode("T==="), "");
    EXPECT_EQ(tmg::base64Decode("TWFuT"), "Man");
    EXPECT_EQ(tmg::base64Decode("T=Fu"), "");
}

TEST(Base64Test, EveryByteRoundTripsAcrossSlices) {
    std::string bytes;
    for (int i = 0; i < 10000; ++i) bytes += static_cast<char>((i * 7 + i / 256) & 0xFF);
    for (bool modified : {false, true}) {
        std::ostringstream encoded;
        tmg::base64EncodeTo(bytes, encoded, modified);
        EXPECT_EQ(encoded.str(), tmg::base64Encode(bytes, modified));
        std::ostringstream decoded;
        tmg::Base64DecodeResult r = tmg::base64DecodeTo(encoded.str(), decoded);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.position, (encoded.str().size() + 3) / 4 * 4);
        EXPECT_EQ(decoded.str(), bytes);
    }
    // A bad byte far into a long text reports its index in the whole text.
    std::string text = tmg::base64Encode(bytes) + "!";
    std::ostringstream out;
    tmg::Base64DecodeResult r = tmg::base64DecodeTo(text, out);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.position, text.size() - 1);
    EXPECT_EQ(out.str(), bytes);
}

}  // namespace
