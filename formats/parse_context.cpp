#include "formats/internal/parse_context.h"

#include "foundation/output_line.h"

namespace cgp {

namespace {

void appendOneLine(std::string& out, std::string_view text) {
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
}

}  // namespace

ParseContext::ParseContext(std::string_view input, ParserMode mode, const std::string& fileName, bool quiet)
    : scanner_(input, mode), fileName_(fileName), quiet_(quiet) {
    advance();
}

bool ParseContext::expect(int code) {
    if (token_.code != code) return syntaxError();
    advance();
    return true;
}

bool ParseContext::fail(const char* message) {
    if (!failed_ && !quiet_) {
        // Standard output is the filter's protocol channel: the line goes out whole, in
        // one write under the output lock, and is flushed.
        tmg::writeOutputLine(
            formatParseErrorLine(fileName_, message, token_.lexeme, scanner_.line(), scanner_.column()));
    }
    failed_ = true;
    return false;
}

bool ParseContext::enter(int entries) {
    if (depth_ + entries > kStackLimit) return fail("memory exhausted");
    depth_ += entries;
    return true;
}

std::string formatParseErrorLine(const std::string& fileName, const char* message, std::string_view near,
                                 std::size_t line, std::size_t column) {
    std::string out = "* while parsing \"";
    appendOneLine(out, fileName);
    out += "\" file: ";
    out += message;
    out += " : near \"";
    appendOneLine(out, near);
    out += "\" (";
    out += std::to_string(line);
    out += ':';
    out += std::to_string(column);
    out += ")\n";
    return out;
}

}  // namespace cgp
