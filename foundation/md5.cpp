#include "foundation/md5.h"

#include <cstring>

namespace tmg {

namespace {

// Every word is exactly 32 bits: the rotations and the additions rely on wrapping there.
using u32 = std::uint32_t;

constexpr u32 rotl(u32 x, unsigned n) { return x << n | x >> (32 - n); }

constexpr u32 f(u32 x, u32 y, u32 z) { return (x & y) | (~x & z); }
constexpr u32 g(u32 x, u32 y, u32 z) { return (x & z) | (y & ~z); }
constexpr u32 h(u32 x, u32 y, u32 z) { return x ^ y ^ z; }
constexpr u32 i(u32 x, u32 y, u32 z) { return y ^ (x | ~z); }

template <u32 (*Fn)(u32, u32, u32)>
void step(u32& a, u32 b, u32 c, u32 d, u32 x, unsigned s, u32 t) {
    a = b + rotl(a + Fn(b, c, d) + x + t, s);
}

u32 loadLe(const unsigned char* p) {
    return u32(p[0]) | u32(p[1]) << 8 | u32(p[2]) << 16 | u32(p[3]) << 24;
}

void storeLe(unsigned char* p, u32 v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

}  // namespace

Md5::Md5()
    : state{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, bitCount(0), buffer(), digestBytes(),
      finished(false) {}

void Md5::transform(const unsigned char block[64]) {
    u32 x[16];
    for (int k = 0; k < 16; ++k) x[k] = loadLe(block + 4 * k);
    u32 a = state[0], b = state[1], c = state[2], d = state[3];

    step<f>(a, b, c, d, x[0], 7, 0xd76aa478);
    step<f>(d, a, b, c, x[1], 12, 0xe8c7b756);
    step<f>(c, d, a, b, x[2], 17, 0x242070db);
    step<f>(b, c, d, a, x[3], 22, 0xc1bdceee);
    step<f>(a, b, c, d, x[4], 7, 0xf57c0faf);
    step<f>(d, a, b, c, x[5], 12, 0x4787c62a);
    step<f>(c, d, a, b, x[6], 17, 0xa8304613);
    step<f>(b, c, d, a, x[7], 22, 0xfd469501);
    step<f>(a, b, c, d, x[8], 7, 0x698098d8);
    step<f>(d, a, b, c, x[9], 12, 0x8b44f7af);
    step<f>(c, d, a, b, x[10], 17, 0xffff5bb1);
    step<f>(b, c, d, a, x[11], 22, 0x895cd7be);
    step<f>(a, b, c, d, x[12], 7, 0x6b901122);
    step<f>(d, a, b, c, x[13], 12, 0xfd987193);
    step<f>(c, d, a, b, x[14], 17, 0xa679438e);
    step<f>(b, c, d, a, x[15], 22, 0x49b40821);

    step<g>(a, b, c, d, x[1], 5, 0xf61e2562);
    step<g>(d, a, b, c, x[6], 9, 0xc040b340);
    step<g>(c, d, a, b, x[11], 14, 0x265e5a51);
    step<g>(b, c, d, a, x[0], 20, 0xe9b6c7aa);
    step<g>(a, b, c, d, x[5], 5, 0xd62f105d);
    step<g>(d, a, b, c, x[10], 9, 0x02441453);
    step<g>(c, d, a, b, x[15], 14, 0xd8a1e681);
    step<g>(b, c, d, a, x[4], 20, 0xe7d3fbc8);
    step<g>(a, b, c, d, x[9], 5, 0x21e1cde6);
    step<g>(d, a, b, c, x[14], 9, 0xc33707d6);
    step<g>(c, d, a, b, x[3], 14, 0xf4d50d87);
    step<g>(b, c, d, a, x[8], 20, 0x455a14ed);
    step<g>(a, b, c, d, x[13], 5, 0xa9e3e905);
    step<g>(d, a, b, c, x[2], 9, 0xfcefa3f8);
    step<g>(c, d, a, b, x[7], 14, 0x676f02d9);
    step<g>(b, c, d, a, x[12], 20, 0x8d2a4c8a);

    step<h>(a, b, c, d, x[5], 4, 0xfffa3942);
    step<h>(d, a, b, c, x[8], 11, 0x8771f681);
    step<h>(c, d, a, b, x[11], 16, 0x6d9d6122);
    step<h>(b, c, d, a, x[14], 23, 0xfde5380c);
    step<h>(a, b, c, d, x[1], 4, 0xa4beea44);
    step<h>(d, a, b, c, x[4], 11, 0x4bdecfa9);
    step<h>(c, d, a, b, x[7], 16, 0xf6bb4b60);
    step<h>(b, c, d, a, x[10], 23, 0xbebfbc70);
    step<h>(a, b, c, d, x[13], 4, 0x289b7ec6);
    step<h>(d, a, b, c, x[0], 11, 0xeaa127fa);
    step<h>(c, d, a, b, x[3], 16, 0xd4ef3085);
    step<h>(b, c, d, a, x[6], 23, 0x04881d05);
    step<h>(a, b, c, d, x[9], 4, 0xd9d4d039);
    step<h>(d, a, b, c, x[12], 11, 0xe6db99e5);
    step<h>(c, d, a, b, x[15], 16, 0x1fa27cf8);
    step<h>(b, c, d, a, x[2], 23, 0xc4ac5665);

    step<i>(a, b, c, d, x[0], 6, 0xf4292244);
    step<i>(d, a, b, c, x[7], 10, 0x432aff97);
    step<i>(c, d, a, b, x[14], 15, 0xab9423a7);
    step<i>(b, c, d, a, x[5], 21, 0xfc93a039);
    step<i>(a, b, c, d, x[12], 6, 0x655b59c3);
    step<i>(d, a, b, c, x[3], 10, 0x8f0ccc92);
    step<i>(c, d, a, b, x[10], 15, 0xffeff47d);
    step<i>(b, c, d, a, x[1], 21, 0x85845dd1);
    step<i>(a, b, c, d, x[8], 6, 0x6fa87e4f);
    step<i>(d, a, b, c, x[15], 10, 0xfe2ce6e0);
    step<i>(c, d, a, b, x[6], 15, 0xa3014314);
    step<i>(b, c, d, a, x[13], 21, 0x4e0811a1);
    step<i>(a, b, c, d, x[4], 6, 0xf7537e82);
    step<i>(d, a, b, c, x[11], 10, 0xbd3af235);
    step<i>(c, d, a, b, x[2], 15, 0x2ad7d2bb);
    step<i>(b, c, d, a, x[9], 21, 0xeb86d391);

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    std::memset(x, 0, sizeof x);
}

bool Md5::update(const unsigned char* data, std::size_t length) {
    if (finished) return false;
    if (length == 0) return true;
    std::size_t index = static_cast<std::size_t>(bitCount / 8 % 64);
    bitCount += static_cast<std::uint64_t>(length) * 8;
    std::size_t room = 64 - index;
    std::size_t used = 0;
    if (length >= room) {
        std::memcpy(buffer + index, data, room);
        transform(buffer);
        for (used = room; used + 64 <= length; used += 64) transform(data + used);
        index = 0;
    }
    std::memcpy(buffer + index, data + used, length - used);
    return true;
}

bool Md5::update(std::string_view bytes) {
    return update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

const unsigned char* Md5::final() {
    if (finished) return digestBytes;
    unsigned char count[8];
    for (int k = 0; k < 8; ++k) count[k] = static_cast<unsigned char>(bitCount >> (8 * k));
    static const unsigned char padding[64] = {0x80};
    std::size_t index = static_cast<std::size_t>(bitCount / 8 % 64);
    update(padding, index < 56 ? 56 - index : 120 - index);
    update(count, 8);
    for (int k = 0; k < 4; ++k) storeLe(digestBytes + 4 * k, state[k]);
    std::memset(buffer, 0, sizeof buffer);
    std::memset(state, 0, sizeof state);
    bitCount = 0;
    finished = true;
    return digestBytes;
}

void Md5::digest(unsigned char out[16]) {
    std::memcpy(out, final(), 16);
}

std::string md5ToHex(const unsigned char digest[16]) {
    static const char hex[] = "0123456789abcdef";
    std::string out(32, '0');
    for (int k = 0; k < 16; ++k) {
        out[2 * k] = hex[digest[k] >> 4];
        out[2 * k + 1] = hex[digest[k] & 15];
    }
    return out;
}

}  // namespace tmg
