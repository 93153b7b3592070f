#pragma once

#include <string_view>

#include <boost/regex.hpp>

namespace cgp {

// True when Boost.Regex 1.74 would never return from compiling pattern with these syntax
// flags, for the one such shape known: a possessive quantifier (*+ ++ ?+ {n,m}+, lazy or
// not) followed by one or more comment groups "(?#...)" (white space between them under
// the x modifier) and then any character but * + ? { or "(". Its parser loops for ever
// there. The pattern is read as Boost's Perl syntax reads it: escapes, \Q...\E, classes,
// comments, the inline flags and their scope. Only the Perl syntax has possessive
// quantifiers; for any other syntax the answer is false.
//
// A pattern that Boost refuses with an error before reaching such a place may be answered
// true as well: refusing it changes nothing. A false answer does not promise that the
// compile ends (see compileWithinBounds for the general guard). Never throws; linear in
// the pattern's length.
bool compileNeverEnds(std::string_view pattern, boost::regex::flag_type flags);

}  // namespace cgp
