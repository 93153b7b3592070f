#pragma once

// How the prefilter builder cuts a reading into the parts it compiles: which parts make
// the first stage and which the final one, and the key that tells a part's expressions
// apart, so that a part whose expressions a later build wants again is compiled once.
// Private to the builder and its tests.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "filter/regex_prefilter.h"

namespace cgp {
namespace PrefilterParts {

// One part to be had.
struct Task {
    // The part's expressions with their rule numbers, byte for byte: equal keys compile to
    // equal parts.
    std::string key;
    // Those expressions alone (no rule list): what the compile reads, shared with it.
    std::shared_ptr<const RegexPrefilter::Reading> reading;
    bool header = false;  // a part of the header lines' prefilter, else of the body lines'
    std::size_t weight = 0;  // expression bytes
    std::shared_ptr<const RegexPrefilter::Part> part;  // set once compiled
};

struct Plan {
    std::vector<Task> firstStage;  // empty for a rule set built whole at once
    std::vector<Task> finalStage;
};

// A rule whose expressions hold more bytes than this may take seconds to compile alone.
constexpr std::size_t costlyRuleBytes = 2048;

// The stages of header's and body's rules, with first-stage parts of about partBytes
// expression bytes each. The engine's compile time grows far faster than the expressions,
// and some rules take seconds alone. So a large rule set is served first by its cheap
// rules, compiled in parts side by side (the costly ones always run meanwhile); then by
// the cheap rules in one part, which scans faster, beside the costly ones in parts of three
// times partBytes. A rule set without costly rules and of at most two parts' worth is
// built whole at once.
//
// The first stage's parts are cut at fixed ranges of the cheap rules, so that a rule edited
// in place changes the part that holds it only, and the others keep their keys. (A rule
// added or removed renumbers the rules after it, whose parts are compiled again.) The
// costly rules are balanced by size (RegexPrefilter::split), which an edit of a cheap rule
// leaves as it was.
Plan plan(const RegexPrefilter::Reading& header, const RegexPrefilter::Reading& body, std::size_t partBytes);

// The rules per part when rules rules hold bytes expression bytes: about partBytes bytes'
// worth, rounded up to 1, 2, 3, 4, 6, 8, 12, 16, ... rules, so that the bytes of an edited
// rule seldom change it.
std::size_t rulesPerPart(std::size_t rules, std::size_t bytes, std::size_t partBytes);

// Cuts the given expressions of reading (ascending, each rule's together) into groups of
// per = rulesPerPart() rules each, in order: the first per rules among those given, the next
// per, and so on. No group is empty.
std::vector<std::vector<std::size_t>> cut(const RegexPrefilter::Reading& reading,
                                          const std::vector<std::size_t>& expressions, std::size_t partBytes);

}  // namespace PrefilterParts
}  // namespace cgp
