#include "filter/rule_line.h"

#include <cstddef>

bool splitRuleLine(std::string_view line, RuleLine& parts) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    // The pattern closes at the last slash that follows anything but a backslash; every
    // opening slash before it, leaving a character between, can pair with it.
    std::size_t close = std::string_view::npos;
    for (std::size_t k = line.size(); k-- > 1;)
        if (line[k] == '/' && line[k - 1] != '\\') {
            close = k;
            break;
        }
    if (close == std::string_view::npos) return false;
    // The last opening slash with blanks before it and something else before those.
    for (std::size_t open = close - 1; open-- > 0;) {
        if (line[open] != '/') continue;
        std::size_t nameEnd = open;
        while (nameEnd > 0 && isBlank(line[nameEnd - 1])) --nameEnd;
        if (nameEnd == open || nameEnd == 0) continue;
        parts.name = line.substr(0, nameEnd);
        parts.pattern = line.substr(open + 1, close - open - 1);
        parts.options = line.substr(close + 1);
        return true;
    }
    return false;
}
