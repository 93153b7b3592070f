#pragma once

#include <string_view>

namespace cgp {

// Reads a signed decimal integer at the start of the text the way an input string stream
// does: leading white space skipped, an optional "+" or "-", then digits up to the first
// other byte. False, with 0 in the result, when no digit reads; a number out of range
// gives the nearest limit.
bool readLeadingInteger(std::string_view text, long long& result) noexcept;

}  // namespace cgp
