#pragma once

#include <string>
#include <string_view>

namespace cgp {

// The escapes of the page engine's output encodings. Each appends the escaped text to
// out and never fails; any bytes are accepted (they are not checked as UTF-8).

// For HTML text and attribute values: "&" "\"" "<" ">" "'" become "&amp;" "&quot;"
// "&lt;" "&gt;" "&#39;".
void appendHtmlEscaped(std::string& out, std::string_view text);

// For HTML text that may hold entities of its own: only "<" and ">" become "&lt;" and
// "&gt;", so "&amp;" and the like still show as their characters.
void appendHtmlTagsEscaped(std::string& out, std::string_view text);

// For a JavaScript string literal inside an HTML page: backslash, "'" and "\"" get a
// backslash in front, a line feed becomes "\n", a carriage return "\r" and "<" "\x3C"
// (so no "</script>" ends the script early).
void appendJavaScriptEscaped(std::string& out, std::string_view text);

// For a URL component: every byte but A-Z, a-z, 0-9, "-", "_", ".", "~" becomes "%" and
// two upper-case hex digits.
void appendUrlEscaped(std::string& out, std::string_view text);

}  // namespace cgp
