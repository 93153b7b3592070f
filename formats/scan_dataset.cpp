// The dataset language's tokens.
#include "formats/internal/scanner.h"

namespace cgp {

namespace {

struct ByteSet {
    bool has[256];
    constexpr explicit ByteSet(const char* members) : has() {
        for (const char* p = members; *p; ++p) has[static_cast<unsigned char>(*p)] = true;
    }
    constexpr bool operator[](unsigned char c) const { return has[c]; }
};

constexpr ByteSet kWordBytes(
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-.@_");
constexpr ByteSet kDataBytes(
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=\n");
// Bytes that end a "#T" date word. Besides those that end it in the server's text, the
// closing brackets, the comma and blanks end it too: else a date inside an array or
// before "}" would swallow the bracket.
constexpr ByteSet kDateStop("\n\";,)} \t\r");
constexpr ByteSet kAddressLiteral("0123456789.:dD");
constexpr ByteSet kAddressPort("0123456789dD");

bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Length of a run of bytes of set, with UTF-8 sequences when utf8 is set.
std::size_t runOf(const unsigned char* p, std::size_t n, const ByteSet& set, bool utf8) {
    std::size_t i = 0;
    while (i < n) {
        if (set[p[i]]) {
            ++i;
        } else if (utf8 && p[i] >= 0xC2) {
            std::size_t seq = utf8SequenceLength(p + i, n - i);
            if (seq == 0) break;
            i += seq;
        } else {
            break;
        }
    }
    return i;
}

// Length of a quoted string at p (p[0] is the quote), 0 when it is not one: an
// unfinished string or a backslash before anything but " \ 0 e n r t (either case), "ddd"
// (either case) or three decimal digits.
std::size_t quotedLength(const unsigned char* p, std::size_t n) {
    for (std::size_t i = 1; i < n; ++i) {
        unsigned char c = p[i];
        if (c == '"') return i + 1;
        if (c != '\\') continue;
        if (i + 1 >= n) return 0;
        unsigned char e = p[i + 1];
        switch (e) {
            case '"': case '\\': case '0':
            case 'e': case 'n': case 'r': case 't':
            case 'E': case 'N': case 'R': case 'T':
                ++i;
                continue;
            default: break;
        }
        if (i + 3 < n) {
            bool letters = (e | 0x20) == 'd' && (p[i + 2] | 0x20) == 'd' && (p[i + 3] | 0x20) == 'd';
            bool digits = isDigit(e) && isDigit(p[i + 2]) && isDigit(p[i + 3]);
            if (letters || digits) {
                i += 3;
                continue;
            }
        }
        return 0;
    }
    return 0;
}

// Length of a "#" word at p (p[0] is "#"), 0 when none matches; sets *bare when the
// grammar gets the word without its "#" (numbers).
std::size_t hashWordLength(const unsigned char* p, std::size_t n, bool* bare) {
    *bare = false;
    if (n < 2) return 0;
    unsigned char c = p[1];
    if ((c | 0x20) == 't') {
        std::size_t i = 2;
        while (i < n && !kDateStop[p[i]]) ++i;
        return i;
    }
    if (c == '(') {
        std::size_t i = 2;
        while (i < n && p[i] != '\n' && p[i] != '"' && p[i] != ')' && p[i] != ';') ++i;
        return (i > 2 && i < n && p[i] == ')') ? i + 1 : 0;
    }
    if ((c | 0x20) == 'i' && n >= 3 && p[2] == '[') {
        std::size_t i = 3 + runOf(p + 3, n - 3, kAddressLiteral, false);
        if (i >= n || p[i] != ']') return 0;
        ++i;
        if (i < n && p[i] == ':') {
            std::size_t port = runOf(p + i + 1, n - i - 1, kAddressPort, false);
            if (port > 0) i += 1 + port;
        }
        return i;
    }
    if ((c | 0x20) == 'n' && n >= 6 && (p[2] | 0x20) == 'u' && (p[3] | 0x20) == 'l' &&
        (p[4] | 0x20) == 'l' && p[5] == '#') {
        return 6;
    }
    std::size_t i = 1;
    if (c == '-') ++i;
    std::size_t digits = 0;
    while (i + digits < n && isDigit(p[i + digits])) ++digits;
    if (digits == 0) return 0;
    *bare = true;
    return i + digits;
}

}  // namespace

Token Scanner::scanDataSet() {
    for (;;) {
        skipWhiteSpace();
        if (atEnd()) return Token();
        const unsigned char* p = reinterpret_cast<const unsigned char*>(pos_);
        std::size_t n = left();
        unsigned char c = p[0];
        switch (c) {
            case '(': return take(TokOpenParen, 1);
            case ')': return take(TokCloseParen, 1);
            case '{': return take(TokOpenBrace, 1);
            case '}': return take(TokCloseBrace, 1);
            case ';': return take(TokSemicolon, 1);
            case '=': return take(TokEquals, 1);
            case ',': return take(TokComma, 1);
            case '"': {
                std::size_t length = quotedLength(p, n);
                if (length == 0) return take(TokError, 1);
                return take(TokString, length, 1, length - 2);
            }
            case '[': {
                std::size_t inner = runOf(p + 1, n - 1, kDataBytes, true);
                if (1 + inner >= n || p[1 + inner] != ']') return take(TokError, 1);
                return take(TokDataBlock, inner + 2, 1, inner);
            }
            case '#': {
                bool bare = false;
                std::size_t length = hashWordLength(p, n, &bare);
                if (length == 0) return take(TokError, 1);
                return bare ? take(TokWord, length, 1, length - 1) : take(TokWord, length);
            }
            default: break;
        }
        std::size_t length = runOf(p, n, kWordBytes, true);
        if (length > 0) return take(TokWord, length);
        if (atByteOrderMark()) return take(TokError, 3);
        return take(TokError, 1);
    }
}

}  // namespace cgp
