#pragma once

#include <string>
#include <string_view>

namespace tmg {

// Conversions between byte strings, wide strings (one 32-bit character per element) and
// the UTF-16 and UTF-8 byte encodings. None of them throws or fails: input that cannot be
// represented is left out, as each function says.

// One character per byte, of the byte's unsigned value: Latin-1 text keeps its code points.
std::wstring bytesToWide(std::string_view bytes);

// Big-endian UTF-16 byte pairs to one character per 16-bit unit. Surrogate pairs are not
// combined here (wideToUtf8 joins them). An odd last byte is the high byte of a last unit
// whose low byte is 0.
std::wstring utf16beToWide(std::string_view bytes);

// Big-endian UTF-16: two bytes per character up to U+FFFF, a surrogate pair (four bytes)
// for U+10000 to U+10FFFF. Negative characters and those above U+10FFFF are left out.
std::string wideToUtf16be(std::wstring_view text);

// UTF-8: one to three bytes up to U+FFFF, four bytes for U+10000 to U+10FFFF. A high
// surrogate followed by a low surrogate is joined into the one character they stand for;
// a lone surrogate is written as its own three bytes. Negative characters and those above
// U+10FFFF are left out.
std::string wideToUtf8(std::wstring_view text);

}  // namespace tmg
