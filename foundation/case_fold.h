#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tmg {

// The lower-case table behind every case-insensitive compare of protocol words, addresses
// and names. Only ASCII 'A'..'Z' fold; bytes of the upper half map to themselves, so UTF-8
// names are never altered.
struct CaseFoldTable {
    unsigned char bytes[256];
    constexpr CaseFoldTable() : bytes() {
        for (int i = 0; i < 256; ++i) bytes[i] = static_cast<unsigned char>(i >= 'A' && i <= 'Z' ? i + 32 : i);
    }
    constexpr unsigned char operator[](unsigned char c) const { return bytes[c]; }
};

inline constexpr CaseFoldTable caseFoldTable;

inline unsigned char foldCase(unsigned char c) { return caseFoldTable[c]; }
inline char foldCase(char c) { return static_cast<char>(caseFoldTable[static_cast<unsigned char>(c)]); }

// The text with every byte folded through the table.
std::string foldCase(std::string_view text);

// True when both texts have the same length and are equal after folding.
bool equalsNoCase(std::string_view a, std::string_view b);

// True when text begins with prefix, compared after folding (the keyword test).
bool startsWithNoCase(std::string_view text, std::string_view prefix);

// Like strcmp over folded bytes: negative, zero or positive.
int compareNoCase(std::string_view a, std::string_view b);

}  // namespace tmg
