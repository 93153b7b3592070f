#pragma once

// Internal to the prefilter: a rule's pattern read the way Boost.Regex reads it, as far as
// a whitelist of its Perl syntax goes, and turned into a purely regular expression whose
// language holds every text the rule can match. Nothing here may ever narrow what a rule
// matches: where the reader is not certain, it gives up and the rule is always run.

#include <bitset>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace cgp::prefilter {

using ByteSet = std::bitset<256>;

// One node of a pattern as the prefilter sees it.
struct PatternNode {
    enum Kind {
        Bytes,     // exactly one byte out of set
        Sequence,  // children one after the other
        Choice,    // one of the children
        Repeat,    // children[0], at least min and at most max times (max < 0: no limit)
        Nothing,   // the empty text: assertions, lookarounds, comments
        AnyText,   // any text at all, empty included: \X, \R, back-references not read as a copy
        LineStart, // ^ \A \`: the start of the text or after a byte of set
        LineEnd,   // $ \z \Z \': the end of the text or before a byte of set
    };
    Kind kind = Nothing;
    ByteSet set;
    std::vector<PatternNode> children;
    long min = 0;
    long max = 0;
};

// Byte sets of one-byte pieces, asked of Boost and remembered: a rule set repeats the same
// few hundred pieces many times. One per thread.
class ByteSetOracle {
public:
    // The bytes that the piece, compiled alone with the syntax perl (plus icase when
    // ignoreCase) after the inline flags prefix, matches as a whole one-byte text. False
    // when it does not compile, matches the empty text or matches no byte at all.
    bool bytesOf(const std::string& prefix, const std::string& piece, bool ignoreCase, ByteSet& set);

    // The bytes after which "^" matches (start true) or before which "$" matches, in
    // Boost's default perl syntax: its line separators.
    const ByteSet& lineSeparators(bool start);

private:
    struct Entry {
        bool valid;
        ByteSet set;
    };
    std::unordered_map<std::string, Entry> known;
    bool separatorsKnown = false;
    ByteSet startSeparators, endSeparators;
};

// Reads pattern as Boost reads it with the syntax boost::regex::perl, plus icase when
// ignoreCase. Anchors become LineStart and LineEnd where they stand at the very start or
// end of every match (first or last in the pattern, outside any repeat); elsewhere they
// require nothing. Every one-byte piece (a literal, an escape, ".", a class) gets its byte set
// from Boost itself: the piece is compiled alone, under the inline flags in force, and
// tried on all 256 bytes, so case folding and classes mean exactly what Boost makes of
// them. Comment groups and an empty \Q\E are nothing to Boost, so a quantifier after them
// repeats the atom before them; \Q..\E is its bytes one after the other. A back-reference to
// a group closed before it reads as a copy of that group without its anchors, unless it
// ignores case where the group does not (then as any text). Returns false,
// leaving tree unspecified, for anything outside the whitelist (a quantifier after them that
// follows no atom or a repeated one, \E alone, "(?x)" among them), for
// a piece that is not exactly one byte, and when the number of capture groups read differs
// from markCount (what boost::regex::mark_count() says: the number of capture groups).
bool readPattern(const std::string& pattern, bool ignoreCase, std::size_t markCount, ByteSetOracle& oracle,
                 PatternNode& tree);

// True when the node's language holds the empty text.
bool matchesEmpty(const PatternNode& node);

// The node as a regular expression for the prefilter engine: bytes spelled as explicit
// classes of \xHH, no assertion, no back-reference, no flag. Its language holds the node's.
// Repeats with bounds above repeatLimit widen to "at least repeatLimit, no limit" or to a
// lower minimum, which only grows the language.
std::string emitPattern(const PatternNode& node, long repeatLimit = 64);

// The same expression for the engine's caseless mode, in fewer bytes: "(?i)", then every
// letter in lower case only. Only for a node each of whose byte sets holds every letter in
// both cases or in neither (as a rule that ignores case has them); empty for any other.
std::string emitFoldedPattern(const PatternNode& node, long repeatLimit = 64);

// The part of node to give the engine when node is long: while the node spells out to more
// than size bytes, a repeat of at least one becomes its repeated node and a sequence its
// element of three quarters or more of its bytes. Every text that contains a match of node
// contains a match of the part. The engine compiles a long rule's exact core faster, and
// names fewer lines with it, than the approximation it makes of the whole rule.
const PatternNode& coreOf(const PatternNode& node, std::size_t size);

// The node as expressions of at most limit bytes each, whose languages together hold every
// text that contains a match of the node: what a prefilter needs. One expression when it
// fits; else a choice is cut into groups of its branches, a sequence keeps its longest
// element (or a run of elements) and a repeat of at least one keeps one copy. Empty when
// no such cut fits, or when a piece would match the empty text.
std::vector<std::string> emitPieces(const PatternNode& node, std::size_t limit, long repeatLimit = 64);

}  // namespace cgp::prefilter
