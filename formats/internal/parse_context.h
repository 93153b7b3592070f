#pragma once

#include <string>
#include <string_view>

#include "formats/internal/scanner.h"

namespace cgp {

class RouterRowSink;

// The state of one parse: the scanner, the lookahead token, the name used in error lines
// and the emulated depth of the parser's stack. One per parse, so nothing is shared
// between parses (a parse started inside another on the same thread included).
class ParseContext {
public:
    // The stack limit of the table parser this one stands in for.
    static constexpr int kStackLimit = 10000;

    // Reads the first token at once. fileName names the input in error lines; with quiet
    // set nothing is printed.
    ParseContext(std::string_view input, ParserMode mode, const std::string& fileName, bool quiet);

    const Token& token() const { return token_; }
    int code() const { return token_.code; }
    void advance() { token_ = scanner_.next(); }
    // Consumes the token when it has the code; otherwise a syntax error (false).
    bool expect(int code);

    // Reports "syntax error" near the current token and fails the parse. Returns false.
    bool syntaxError() { return fail("syntax error"); }
    // Reports the message near the current token (unless quiet) and fails. Returns false.
    bool fail(const char* message);
    // Fails without an error line (the builder that failed has said why).
    void failSilently() { failed_ = true; }
    bool failed() const { return failed_; }

    // Accounts for entries symbols held while a nested construct is parsed. False, after
    // reporting "memory exhausted", when they would pass the stack limit; leave() must
    // follow every successful enter().
    bool enter(int entries);
    void leave(int entries) { depth_ -= entries; }

    RouterRowSink* rows = nullptr;

private:
    Scanner scanner_;
    Token token_;
    std::string fileName_;
    bool quiet_;
    bool failed_ = false;
    int depth_ = 0;
};

// Holds entries of the emulated stack for a scope.
class StackEntries {
public:
    StackEntries(ParseContext& context, int entries) : context_(context), entries_(entries) {
        held_ = context.enter(entries);
    }
    ~StackEntries() {
        if (held_) context_.leave(entries_);
    }
    StackEntries(const StackEntries&) = delete;
    StackEntries& operator=(const StackEntries&) = delete;
    bool held() const { return held_; }

private:
    ParseContext& context_;
    int entries_;
    bool held_;
};

// The error line "* while parsing "<file>" file: <message> : near "<token>" (<line>:<col>)"
// and its line feed; line feeds and carriage returns in the file name and the token text
// are written as \n and \r, so the line stays one line.
std::string formatParseErrorLine(const std::string& fileName, const char* message, std::string_view near,
                                 std::size_t line, std::size_t column);

}  // namespace cgp
