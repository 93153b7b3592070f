#pragma once

// Internal to the prefilter: how often a rule's reading names a line of ordinary mail. A
// rule that the engine names on nearly every line saves no search, yet its expression costs
// the engine time on every line (broad classes and free gaps are its slowest kind); such a
// rule is better left to Boost, where its name, soon matched, stops being searched.

#include "filter/prefilter_pattern.h"

namespace cgp::prefilter {

// The share, from 0 to 1, of lines of ordinary mail text (about 60 bytes each, mostly
// lower-case letters and spaces) estimated to hold a match of node. A rough model: bytes
// are drawn independently by their frequency in such text, and the parts of a pattern on
// either side of a gap that takes any text occur independently anywhere on the line. It only
// decides where a rule is searched, never what a scan answers.
double shareOfLinesNamed(const PatternNode& node);

}  // namespace cgp::prefilter
