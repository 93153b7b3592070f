#include "formats/internal/scanner.h"

#include "formats/internal/parser_fatal.h"

namespace cgp {

std::size_t utf8SequenceLength(const unsigned char* p, std::size_t n) {
    if (n >= 2 && p[0] >= 0xC2 && p[0] <= 0xDF && p[1] >= 0x80) return 2;
    if (n >= 3 && p[0] >= 0xE0 && p[0] <= 0xEE && p[1] >= 0x80 && p[2] >= 0x80) return 3;
    return 0;
}

Scanner::Scanner(std::string_view input, ParserMode mode)
    : begin_(input.data()), pos_(input.data()), end_(input.data() + input.size()), lineStart_(input.data()) {
    switch (mode) {
        case PageMode: state_ = PageText; break;
        case RouterMode: state_ = RouterLines; break;
        default: state_ = DataSetValues; break;
    }
}

Token Scanner::take(int code, std::size_t length, std::size_t textOffset, std::size_t textLength) {
    if (length > left()) cgparserFatal(FatalEndOfBufferMissed);
    Token token;
    token.code = code;
    token.lexeme = std::string_view(pos_, length);
    token.text = std::string_view(pos_ + textOffset, textLength);
    pos_ += length;
    column_ += length;
    return token;
}

bool Scanner::atByteOrderMark() const {
    return peek() == 0xEF && peek(1) == 0xBB && peek(2) == 0xBF;
}

bool Scanner::skipLeadingByteOrderMark() {
    if (line_ != 0 || column_ != 0 || pos_ != begin_ || !atByteOrderMark()) return false;
    skip(3);
    lineStart_ = pos_;
    return true;
}

Token Scanner::next() {
    if (pos_ == begin_) skipLeadingByteOrderMark();
    switch (state_) {
        case DataSetValues: return scanDataSet();
        case RouterLines: return scanRouter();
        case PageText: return scanPageText();
        case DirectiveBody:
        case OutputBody:
        case IncludeBody: return scanBody();
    }
    cgparserFatal(FatalNoActionFound);
}

}  // namespace cgp
