// Base64 and MD5 throughput, each against a baseline measured in the same run: Base64
// against the plain way of writing each character to a string stream, MD5 against a
// one-multiply-per-byte hash (FNV-1a) over the same bytes.
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>

#include "foundation/base64.h"
#include "foundation/md5.h"
#include "timing.h"

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string streamEncode(const std::string& bytes) {
    std::ostringstream out;
    std::size_t i = 0;
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    for (; i + 3 <= bytes.size(); i += 3) {
        out << kAlphabet[at(i) >> 2] << kAlphabet[(at(i) & 3) << 4 | at(i + 1) >> 4]
            << kAlphabet[(at(i + 1) & 15) << 2 | at(i + 2) >> 6] << kAlphabet[at(i + 2) & 63];
    }
    return out.str();  // the tail does not matter for timing
}

std::uint64_t fnv1a(const std::string& bytes) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    return h;
}

template <typename F>
double seconds(F&& f, int rounds) {
    return secondsFor([&] {
        for (int r = 0; r < rounds; ++r) f();
    });
}

volatile std::size_t sink;

}  // namespace

int main() {
    std::string bytes(1 << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + i / 7);
    const std::string text = tmg::base64Encode(bytes);
    const int rounds = 20;

    double base = seconds([&] { sink = streamEncode(bytes).size(); }, rounds);
    double enc = seconds([&] { sink = tmg::base64Encode(bytes).size(); }, rounds);
    double dec = seconds([&] { sink = tmg::base64Decode(text).size(); }, rounds);
    std::printf("base64 encode 1 MiB: %.2fx faster than a string-stream encoder\n", base / enc);
    std::printf("base64 decode 1 MiB: %.2fx faster than a string-stream encoder\n", base / dec);

    double hash = seconds([&] { sink = fnv1a(bytes); }, rounds);
    double md5 = seconds([&] {
        tmg::Md5 m;
        m.update(bytes);
        sink = m.final()[0];
    }, rounds);
    std::printf("md5 1 MiB: %.2fx the time of FNV-1a over the same bytes (%.0f MB/s)\n", md5 / hash,
                rounds * bytes.size() / md5 / 1e6);
    return 0;
}
