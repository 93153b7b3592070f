#pragma once

#include <cstddef>
#include <string_view>

namespace cgp {

// The fixed words of the template page language, matched without regard to case.
struct PageWord {
    std::string_view text;
    int code;
};

// Output openers beginning with "%%" ("%%HTML:" ... "%%INDEX:"), without plain "%%".
extern const PageWord kOutputOpeners[];
extern const std::size_t kOutputOpenerCount;
// Directive openers beginning with "<!--%%", "<!--%%INCLUDE " among them.
extern const PageWord kDirectiveOpeners[];
extern const std::size_t kDirectiveOpenerCount;
// Function words, each with its "(" ("INCLUDEARG(" ... "KNOWNTIMEZONES(").
extern const PageWord kFunctionWords[];
extern const std::size_t kFunctionWordCount;
// Keywords inside directives and outputs ("AND", "IN", ...).
extern const PageWord kKeywords[];
extern const std::size_t kKeywordCount;

// The longest word of the table that the text begins with (case-insensitive); its length
// is the word's length. Returns null when none does.
const PageWord* longestPageWord(std::string_view text, const PageWord* table, std::size_t count);

// The word of the table equal to the text (case-insensitive), or null.
const PageWord* exactPageWord(std::string_view text, const PageWord* table, std::size_t count);

// True when text is a proper prefix (case-insensitive) of a word of the table.
bool isPageWordPrefix(std::string_view text, const PageWord* table, std::size_t count);

}  // namespace cgp
