// The Router table language's tokens.
#include "formats/internal/scanner.h"

namespace cgp {

namespace {

bool isAddressByte(unsigned char c) {
    return c == '#' || c == '%' || (c >= '(' && c <= '9') || (c >= '@' && c <= '[') || c == ']' ||
           c == '_' || (c >= 'a' && c <= '{') || c == '}';
}

bool isLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Length of a run of address bytes, "\*" pairs and UTF-8 sequences at p.
std::size_t addressRun(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
        if (isAddressByte(p[i])) {
            ++i;
        } else if (p[i] == '\\' && i + 1 < n && p[i + 1] == '*') {
            i += 2;
        } else if (std::size_t seq = p[i] >= 0xC2 ? utf8SequenceLength(p + i, n - i) : 0) {
            i += seq;
        } else {
            break;
        }
    }
    return i;
}

// Length of the longest label at p: groups of letters (or UTF-8 sequences) each followed
// by ":"; 0 when there is none.
std::size_t labelLength(const unsigned char* p, std::size_t n) {
    std::size_t best = 0;
    std::size_t i = 0;
    for (;;) {
        std::size_t start = i;
        while (i < n) {
            if (isLetter(p[i])) {
                ++i;
            } else if (std::size_t seq = p[i] >= 0xC2 ? utf8SequenceLength(p + i, n - i) : 0) {
                i += seq;
            } else {
                break;
            }
        }
        if (i == start || i >= n || p[i] != ':') return best;
        best = ++i;
    }
}

// Length of the longest quoted address word at p (p[0] is the quote): any bytes but line
// feeds up to a quote that address bytes follow directly; 0 when there is none.
std::size_t quotedAddressLength(const unsigned char* p, std::size_t n) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < n && p[i] != '\n'; ++i) {
        if (p[i] != '"') continue;
        std::size_t run = addressRun(p + i + 1, n - i - 1);
        if (run > 0 && i + 1 + run > best) best = i + 1 + run;
    }
    return best;
}

}  // namespace

Token Scanner::scanRouter() {
    for (;;) {
        if (atEnd()) {
            // The last line needs no line feed: the end of input is a line end first.
            if (routerEndGiven_) return Token();
            routerEndGiven_ = true;
            Token end;
            end.code = TokLineEnd;
            end.text = end.lexeme = std::string_view(pos_, 0);
            return end;
        }
        const unsigned char* p = reinterpret_cast<const unsigned char*>(pos_);
        std::size_t n = left();
        switch (p[0]) {
            case ' ':
            case '\t':
                skipBlanks();
                continue;
            case ';': {
                std::size_t i = 1;
                while (i < n && p[i] != '\n' && p[i] != '\r') ++i;
                skip(i);
                continue;
            }
            case '\n':
            case '\r':
                return takeLineEnd(TokLineEnd);
            case '<': return take(TokLess, 1);
            case '>': return take(TokGreater, 1);
            case '=': return take(TokEquals, 1);
            case '"': {
                std::size_t length = quotedAddressLength(p, n);
                return length ? take(TokQuotedAddress, length) : take(TokError, 1);
            }
            default: break;
        }
        std::size_t word = addressRun(p, n);
        if (atLineStart()) {
            std::size_t label = labelLength(p, n);
            if (label > word) return take(TokLabel, label);
        }
        if (word > 0) return take(TokAddress, word);
        if (atByteOrderMark()) return take(TokError, 3);
        return take(TokError, 1);
    }
}

}  // namespace cgp
