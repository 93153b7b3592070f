// The template page language's tokens: page text with its openers, and the bodies of
// directives, outputs and includes.
#include "formats/internal/scanner.h"

#include "formats/internal/page_words.h"

namespace cgp {

namespace {

constexpr std::string_view kDirectivePrefix = "<!--%%";

bool isNameStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool isNameByte(unsigned char c) { return isNameStart(c) || isDigit(c); }

}  // namespace

Token Scanner::scanPageText() {
    if (atEnd()) return Token();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(pos_);
    std::size_t n = left();
    std::string_view rest(pos_, n);
    switch (p[0]) {
        case '\n':
            return takeLineEnd(TokPageText);
        case '%': {
            if (n >= 2 && p[1] == '%') {
                state_ = OutputBody;
                const PageWord* opener = longestPageWord(rest, kOutputOpeners, kOutputOpenerCount);
                return opener ? take(opener->code, opener->text.size()) : take(TokOutputOpen, 2);
            }
            // A "%" and the byte after it are text; so is a "%" that ends the page or a
            // line, whose line feed stays a token of its own and counts its line.
            return take(TokPageText, n >= 2 && p[1] != '\n' ? 2 : 1);
        }
        case '<': {
            std::size_t k = 0;
            while (k < kDirectivePrefix.size() && k < n && p[k] == kDirectivePrefix[k]) ++k;
            // "<", "<!", "<!-", "<!--", "<!--%" and the byte that continues no opener are
            // text; at the end of the page or of a line, so is an unfinished opener on its
            // own (the line feed counts its line).
            if (k < kDirectivePrefix.size()) return take(TokPageText, k < n && p[k] != '\n' ? k + 1 : k);
            if (const PageWord* opener = longestPageWord(rest, kDirectiveOpeners, kDirectiveOpenerCount)) {
                state_ = opener->code == TokInclude ? IncludeBody : DirectiveBody;
                return take(opener->code, opener->text.size());
            }
            if (isPageWordPrefix(rest, kDirectiveOpeners, kDirectiveOpenerCount)) return take(TokPageText, n);
            return take(TokError, 1);
        }
        default: break;
    }
    std::size_t i = 1;
    while (i < n && p[i] != '%' && p[i] != '<' && p[i] != '\n') ++i;
    return take(TokPageText, i);
}

Token Scanner::scanBody() {
    for (;;) {
        skipWhiteSpace();
        if (atEnd()) return Token();
        const unsigned char* p = reinterpret_cast<const unsigned char*>(pos_);
        std::size_t n = left();
        unsigned char c = p[0];
        switch (c) {
            case '-':
                if (state_ != OutputBody && n >= 3 && p[1] == '-' && p[2] == '>') {
                    state_ = PageText;
                    return take(TokDirectiveEnd, 3);
                }
                return take(TokError, 1);
            case '%':
                if (state_ == OutputBody && n >= 2 && p[1] == '%') {
                    state_ = PageText;
                    return take(TokOutputClose, 2);
                }
                return take(TokError, 1);
            case '"': {
                std::size_t i = 1;
                while (i < n && p[i] != '"' && p[i] != '\n') ++i;
                if (i >= n || p[i] != '"') return take(TokError, 1);
                return take(TokString, i + 1, 1, i - 1);
            }
            case '(': return take(TokOpenParen, 1);
            case ')': return take(TokCloseParen, 1);
            case '[': return take(TokOpenBracket, 1);
            case ']': return take(TokCloseBracket, 1);
            case ':': return take(TokColon, 1);
            case '|': return take(TokOr, 1);
            case '&': return take(TokAnd, 1);
            case '.': return take(TokDot, 1);
            case ',': return take(TokComma, 1);
            default: break;
        }
        if (isDigit(c)) {
            std::size_t i = 1;
            while (i < n && isDigit(p[i])) ++i;
            return take(TokNumber, i);
        }
        if (isNameStart(c)) {
            std::size_t i = 1;
            while (i < n && isNameByte(p[i])) ++i;
            if (i < n && p[i] == '(') {
                std::string_view call(pos_, i + 1);
                if (const PageWord* fn = exactPageWord(call, kFunctionWords, kFunctionWordCount)) {
                    return take(fn->code, i + 1);
                }
            }
            const PageWord* keyword = exactPageWord(std::string_view(pos_, i), kKeywords, kKeywordCount);
            return take(keyword ? keyword->code : TokName, i);
        }
        if (atByteOrderMark()) return take(TokError, 3);
        return take(TokError, 1);
    }
}

}  // namespace cgp
