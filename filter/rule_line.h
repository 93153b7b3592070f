#pragma once

#include <string_view>

// A rule line of the rules file, without its indent: the name, blanks, and the pattern
// between slashes followed by the options. It is what the Perl expression
// "^(.*[^ \t])[ \t]+/(.*[^\\])/(.*)$" makes of the whole line as Boost.Regex matches it
// (its dot takes every byte): greedy, so the name and then the pattern are as long as they
// can be. The name ends in a character other than a blank or tab; the pattern holds at
// least one character and does not end in a backslash.
struct RuleLine {
    std::string_view name, pattern, options;
};

// Splits line, in time linear in its length. False, leaving parts unspecified, when the
// line is no rule line. The views point into line.
bool splitRuleLine(std::string_view line, RuleLine& parts);
