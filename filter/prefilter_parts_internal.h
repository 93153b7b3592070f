#pragma once

// How the prefilter builder cuts a reading into the parts it compiles: which parts make
// the first stage and which the final one, and the key that tells a part's expressions
// apart, so that a part whose expressions a later build wants again is compiled once.
// Private to the builder and its tests.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "filter/regex_prefilter.h"

namespace cgp {
namespace PrefilterParts {

// One part to be had.
struct Task {
    // The part's expressions, each with the number of its rule within the part (0 for the
    // first rule it holds, 1 for the next...), byte for byte: equal keys compile to equal
    // parts, whatever the rules' numbers in the prefilter.
    std::string key;
    // Those expressions with the rules numbered within the part: what the compile reads,
    // shared with it.
    std::shared_ptr<const RegexPrefilter::Reading> reading;
    // The reading's rule that each of the part's rule numbers stands for.
    std::vector<std::uint32_t> rules;
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
// A part's key holds no rule numbers of the prefilter, so a rule added or removed leaves
// the parts of the other rules as they were. The first stage's parts are cut where the
// rules' own content says (cut()), so that a rule edited, added or removed changes the
// parts beside it only. The costly rules are cut into runs of like shape and equal size
// (RegexPrefilter::split), which an edit of a cheap rule leaves as they were.
Plan plan(const RegexPrefilter::Reading& header, const RegexPrefilter::Reading& body, std::size_t partBytes);

// Cuts the given expressions of reading (ascending, each rule's together) into runs of
// rules in order, of about partBytes expression bytes on average. A run ends after a rule
// whose hash of its expressions falls below a threshold that grows with the rule's bytes,
// so that where runs end depends on the rules around, not on their positions; a run of
// less than a quarter of partBytes joins the next, and one of more than twice partBytes is
// cut into equal pieces. No group is empty; each rule's expressions are in one.
std::vector<std::vector<std::size_t>> cut(const RegexPrefilter::Reading& reading,
                                          const std::vector<std::size_t>& expressions, std::size_t partBytes);

}  // namespace PrefilterParts
}  // namespace cgp
