#pragma once

#include <cstddef>
#include <string_view>

#include "formats/parser_tokens.h"

namespace cgp {

// One token. Both views point into the scanner's input and live as long as it does.
// text is what the grammar receives (quoted strings and data blocks without their
// delimiters, "#123" without the "#"); lexeme is the whole match, which error lines show.
struct Token {
    int code = TokEnd;
    std::string_view text;
    std::string_view lexeme;
};

// The scanner of the three languages over one in-memory input. Each language has its own
// scanning routine (scan_dataset.cpp, scan_router.cpp, scan_page.cpp); they share the line
// and column bookkeeping and the byte order mark rule kept here. A Scanner is one parse's
// state: nothing is process-wide, so scanners on different threads, or one started while
// another is in use, never meet.
//
// Line and column count from 0. Each line feed and carriage return that is skipped or
// returned as a line end adds a line and resets the column; every other token or skipped
// run adds its length to the column (a token holding a line feed, such as a quoted
// string, counts no line). A UTF-8 byte order mark is skipped at line 0, column 0 and is
// an error token anywhere else (inside page text it is ordinary text); what follows a
// skipped mark is at the start of its line, so a Router label may stand there.
class Scanner {
public:
    // mode is a ParserMode; the input must outlive the scanner.
    Scanner(std::string_view input, ParserMode mode);

    // The next token; TokEnd (with empty texts) from the end of input on, forever.
    // Never fails: a byte that begins no lexeme is returned as TokError.
    Token next();

    std::size_t line() const { return line_; }
    std::size_t column() const { return column_; }

private:
    enum State { PageText, RouterLines, DataSetValues, DirectiveBody, OutputBody, IncludeBody };

    Token scanDataSet();
    Token scanRouter();
    Token scanPageText();
    Token scanBody();

    // Shared bookkeeping.
    bool atEnd() const { return pos_ == end_; }
    std::size_t left() const { return static_cast<std::size_t>(end_ - pos_); }
    unsigned char peek(std::size_t ahead = 0) const {
        return ahead < left() ? static_cast<unsigned char>(pos_[ahead]) : 0;
    }
    // Returns a token over the next length bytes, whose grammar text starts textOffset
    // bytes in and is textLength long; advances past it and adds its length to the column.
    Token take(int code, std::size_t length, std::size_t textOffset, std::size_t textLength);
    Token take(int code, std::size_t length) { return take(code, length, 0, length); }
    // A line feed or carriage return that is skipped (or returned) as a line end.
    void lineEnd() {
        ++pos_;
        ++line_;
        column_ = 0;
        lineStart_ = pos_;
    }
    // Passes over the run of blanks and tabs at the position.
    void skipBlanks() {
        std::size_t i = 0;
        while (i < left() && (pos_[i] == ' ' || pos_[i] == '\t')) ++i;
        skip(i);
    }
    // Passes over blanks, tabs and line ends, counting the lines.
    void skipWhiteSpace() {
        while (!atEnd()) {
            if (*pos_ == ' ' || *pos_ == '\t')
                skipBlanks();
            else if (*pos_ == '\n' || *pos_ == '\r')
                lineEnd();
            else
                return;
        }
    }
    // The line feed or carriage return at the position as a one-byte token of the code;
    // counts the line.
    Token takeLineEnd(int code) {
        Token end;
        end.code = code;
        end.text = end.lexeme = std::string_view(pos_, 1);
        lineEnd();
        return end;
    }
    // At the first byte of a line, a leading byte order mark not counted.
    bool atLineStart() const { return pos_ == lineStart_; }
    void skip(std::size_t length) { pos_ += length; column_ += length; }
    bool atByteOrderMark() const;
    // Skips a byte order mark at the very start (line 0, column 0); true when it did.
    bool skipLeadingByteOrderMark();

    const char* begin_;
    const char* pos_;
    const char* end_;
    const char* lineStart_;
    State state_;
    std::size_t line_ = 0;
    std::size_t column_ = 0;
    bool routerEndGiven_ = false;
};

// UTF-8 sequences that dataset words, Router words and labels accept: a byte C2-DF and
// one byte 80-FF, or a byte E0-EE and two bytes 80-FF. Returns the sequence's length at p
// (2 or 3), or 0 when none starts there. n is the number of bytes available.
std::size_t utf8SequenceLength(const unsigned char* p, std::size_t n);

}  // namespace cgp
