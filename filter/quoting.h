#pragma once

#include <string>

namespace cgp {

// The quoted form of a text, for use between double quotes in the server's protocols and
// dataset strings: backslash doubled, carriage return dropped, line feed as \e, tab as \t,
// double quote as \", NUL as \0. All other bytes pass unchanged. The quotes themselves are
// the caller's. Never fails.
std::string escapeString(const std::string& text);

// The plain form of a quoted text (without its quotes): undoes escapeString. A backslash
// before any other character is kept with that character, and a trailing lone backslash
// is kept. Never fails.
std::string unescapeString(const std::string& text);

}  // namespace cgp
