#include "foundation/md5.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string hexOf(const std::string& bytes) {
    tmg::Md5 md5;
    md5.update(bytes);
    return tmg::md5ToHex(md5.final());
}

struct DigestCase {
    std::string input;
    const char* hex;
};

TEST(Md5Test, ReferenceSuite) {
    const DigestCase cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const DigestCase& c : cases) EXPECT_EQ(hexOf(c.input), c.hex) << c.input;

    // The raw bytes behind the hex text.
    tmg::Md5 md5;
    md5.update("abc");
    unsigned char out[16];
    md5.digest(out);
    const unsigned char want[16] = {0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0,
                                    0xd6, 0x96, 0x3f, 0x7d, 0x28, 0xe1, 0x7f, 0x72};
    EXPECT_EQ(std::memcmp(out, want, 16), 0);
}

// The padding boundaries: 55 bytes fit one final block, 56 need two, 64 fill one exactly.
TEST(Md5Test, BlockBoundaryLengths) {
    const DigestCase cases[] = {
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
        {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
        {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},
    };
    for (const DigestCase& c : cases) EXPECT_EQ(hexOf(c.input), c.hex) << c.input.size();
}

TEST(Md5Test, EverySplitPointGivesTheSameDigest) {
    std::string input;
    for (int k = 0; k < 200; ++k) input += static_cast<char>(k * 37 + 11);  // NUL bytes too
    const std::string whole = hexOf(input);
    for (std::size_t split = 0; split <= input.size(); ++split) {
        tmg::Md5 md5;
        md5.update(input.substr(0, split));
        md5.update(input.substr(split));
        EXPECT_EQ(tmg::md5ToHex(md5.final()), whole) << split;
    }
    tmg::Md5 bytewise;
    for (char c : input) bytewise.update(std::string(1, c));
    EXPECT_EQ(tmg::md5ToHex(bytewise.final()), whole);
}

TEST(Md5Test, FinishedDigestIgnoresFurtherInput) {
    tmg::Md5 md5;
    md5.update("abc");
    const unsigned char* first = md5.final();
    EXPECT_FALSE(md5.update("more"));
    EXPECT_EQ(md5.final(), first);
    EXPECT_EQ(tmg::md5ToHex(md5.final()), "900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace
