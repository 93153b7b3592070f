#include "foundation/wide_text.h"

namespace tmg {

namespace {

constexpr long kMaxCodePoint = 0x10FFFF;

bool isHighSurrogate(long c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(long c) { return c >= 0xDC00 && c <= 0xDFFF; }

void appendUnit(std::string& out, long unit) {
    out += static_cast<char>((unit >> 8) & 0xFF);
    out += static_cast<char>(unit & 0xFF);
}

void appendUtf8(std::string& out, long c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::wstring bytesToWide(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (char b : bytes) out += static_cast<wchar_t>(static_cast<unsigned char>(b));
    return out;
}

std::wstring utf16beToWide(std::string_view bytes) {
    std::wstring out;
    out.reserve((bytes.size() + 1) / 2);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        unsigned high = static_cast<unsigned char>(bytes[i]);
        unsigned low = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        out += static_cast<wchar_t>(high << 8 | low);
    }
    return out;
}

std::string wideToUtf16be(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (wchar_t w : text) {
        long c = static_cast<long>(w);
        if (c < 0 || c > kMaxCodePoint) continue;
        if (c < 0x10000) {
            appendUnit(out, c);
        } else {
            c -= 0x10000;
            appendUnit(out, 0xD800 + (c >> 10));
            appendUnit(out, 0xDC00 + (c & 0x3FF));
        }
    }
    return out;
}

std::string wideToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        long c = static_cast<long>(text[i]);
        if (c < 0 || c > kMaxCodePoint) continue;
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<long>(text[i + 1]) - 0xDC00);
            ++i;
        }
        appendUtf8(out, c);
    }
    return out;
}

}  // namespace tmg
