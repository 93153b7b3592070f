#include "foundation/base64.h"

#include <algorithm>

namespace tmg {

namespace {

constexpr char kStandard[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kModified[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

constexpr unsigned char kPad = 127;
constexpr unsigned char kInvalid = 128;

struct DecodeTable {
    unsigned char value[256];
    constexpr DecodeTable() : value() {
        for (int i = 0; i < 256; ++i) value[i] = kInvalid;
        for (int i = 0; i < 64; ++i) value[static_cast<unsigned char>(kStandard[i])] = static_cast<unsigned char>(i);
        value[static_cast<unsigned char>(',')] = 63;
        value[static_cast<unsigned char>('=')] = kPad;
    }
};

constexpr DecodeTable kDecode;

// Streams get the text in slices this large, so memory stays bounded for big inputs. Both
// are whole groups, so slicing never changes the result.
constexpr std::size_t kEncodeSlice = 3 * 1024;
constexpr std::size_t kDecodeSlice = 4 * 1024;

void encodeAppend(std::string_view bytes, bool modified, bool last, std::string& out) {
    const char* alphabet = modified ? kModified : kStandard;
    auto at = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        unsigned b0 = at(i), b1 = at(i + 1), b2 = at(i + 2);
        out += alphabet[b0 >> 2];
        out += alphabet[(b0 & 3) << 4 | b1 >> 4];
        out += alphabet[(b1 & 15) << 2 | b2 >> 6];
        out += alphabet[b2 & 63];
    }
    if (!last) return;
    std::size_t left = bytes.size() - i;
    if (left == 2) {
        unsigned b0 = at(i), b1 = at(i + 1);
        out += alphabet[b0 >> 2];
        out += alphabet[(b0 & 3) << 4 | b1 >> 4];
        out += alphabet[(b1 & 15) << 2];
        if (!modified) out += '=';
    } else if (left == 1) {
        unsigned b0 = at(i);
        out += alphabet[b0 >> 2];
        out += alphabet[(b0 & 3) << 4];
        if (!modified) out += "==";
    }
}

// Decodes text (whose first character has index base in the whole input) onto out.
Base64DecodeResult decodeAppend(std::string_view text, std::size_t base, std::string& out) {
    std::size_t read = 0;
    while (read < text.size()) {
        unsigned v[4];
        for (unsigned& value : v) {
            if (read < text.size()) {
                value = kDecode.value[static_cast<unsigned char>(text[read])];
                if (value & kInvalid) return {false, base + read};
            } else {
                value = kPad;
            }
            ++read;
        }
        // Without a second value the group holds less than one byte.
        if (v[0] == kPad || v[1] == kPad) continue;
        out += static_cast<char>((v[0] << 2 | v[1] >> 4) & 0xFF);
        if (v[2] == kPad) continue;
        out += static_cast<char>(((v[1] & 15) << 4 | v[2] >> 2) & 0xFF);
        if (v[3] == kPad) continue;
        out += static_cast<char>(((v[2] & 3) << 6 | v[3]) & 0xFF);
    }
    return {true, base + read};
}

}  // namespace

void base64EncodeTo(std::string_view bytes, std::ostream& out, bool modified) {
    std::string chunk;
    std::size_t start = 0;
    do {
        std::size_t size = std::min(kEncodeSlice, bytes.size() - start);
        chunk.clear();
        encodeAppend(bytes.substr(start, size), modified, start + size == bytes.size(), chunk);
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        start += size;
    } while (start < bytes.size());
}

std::string base64Encode(std::string_view bytes, bool modified) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    encodeAppend(bytes, modified, true, out);
    return out;
}

Base64DecodeResult base64DecodeTo(std::string_view text, std::ostream& out) {
    std::string chunk;
    Base64DecodeResult result{true, 0};
    for (std::size_t start = 0; start < text.size(); start += kDecodeSlice) {
        chunk.clear();
        result = decodeAppend(text.substr(start, kDecodeSlice), start, chunk);
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        if (!result.ok) break;
    }
    return result;
}

std::string base64Decode(std::string_view text, bool& failed) {
    std::string out;
    out.reserve(text.size() / 4 * 3 + 3);
    failed = !decodeAppend(text, 0, out).ok;
    return out;
}

std::string base64Decode(std::string_view text) {
    bool failed;
    return base64Decode(text, failed);
}

}  // namespace tmg
