#include "filter/request_line.h"

#include "foundation/case_fold.h"

namespace cgp {

namespace {

bool isDelimiter(char c) { return c == ' ' || c == '\r' || c == '\n'; }

bool isWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Skips delimiters from pos, then returns the token up to the next delimiter.
std::string nextToken(const std::string& line, std::size_t& pos) {
    while (pos < line.size() && isDelimiter(line[pos])) ++pos;
    std::size_t start = pos;
    while (pos < line.size() && !isDelimiter(line[pos])) ++pos;
    return line.substr(start, pos - start);
}

}  // namespace

RequestLine splitRequestLine(std::string line) {
    RequestLine request;
    std::size_t pos = 0;
    request.seq = nextToken(line, pos);
    request.command = tmg::foldCase(nextToken(line, pos));
    while (pos < line.size() && isDelimiter(line[pos])) ++pos;
    line.erase(0, pos);
    request.parameters = std::move(line);
    return request;
}

bool readRequestNumber(const std::string& text, std::uint32_t& number) {
    number = 0;
    std::size_t pos = 0;
    while (pos < text.size() && isWhiteSpace(text[pos])) ++pos;
    if (pos < text.size() && text[pos] == '+') ++pos;
    if (pos >= text.size() || text[pos] < '0' || text[pos] > '9') return false;

    std::uint64_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + static_cast<std::uint64_t>(text[pos] - '0');
        if (value > UINT32_MAX) return false;
    }
    number = static_cast<std::uint32_t>(value);
    return true;
}

}  // namespace cgp
