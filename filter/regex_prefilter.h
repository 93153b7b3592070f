#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A prefilter in front of Boost.Regex: for one line it names, in one pass, every rule of a
// list that may match it. A rule it does not name cannot match the line, so the scan runs
// Boost only on the rules named; what a scan answers never depends on the prefilter. Rules
// whose pattern the prefilter cannot read with certainty, or whose superset would match any
// line, are always named.

struct hs_database;
struct hs_scratch;

namespace cgp {

// What the prefilter needs of one rule: the pattern text and options as the rules file
// gives them, and Boost's mark_count() of the compiled rule (a cross-check of the reading).
struct PrefilterRule {
    std::string pattern;
    bool ignoreCase = false;
    std::size_t markCount = 0;
};

class RegexPrefilter {
public:
    // The rules read, ready to compile: the first half of a build, and the only one that
    // calls Boost. A rule may have several expressions (a long one is cut into pieces whose
    // languages together hold the rule's); a rule with none is always run.
    struct Reading {
        std::vector<char> always;          // by rule
        std::vector<std::string> expressions;
        std::vector<unsigned int> ruleOf;  // by expression
    };

    // The engine's longest expression: longer ones are cut, or their rules always run.
    static constexpr std::size_t maxExpressionLength = 16000;
    // Longer rules compile faster, and name fewer lines, by the core of their pattern.
    static constexpr std::size_t coreLength = 2048;

    // One compiled database of some of a reading's expressions.
    class Part {
    public:
        ~Part();
        Part(const Part&) = delete;
        Part& operator=(const Part&) = delete;

    private:
        friend class RegexPrefilter;
        Part() = default;
        hs_database* database = nullptr;
        // By the rule numbers of the reading it was compiled from.
        std::vector<unsigned int> rules;  // the rules all of whose expressions it holds
        std::vector<unsigned int> lost;   // the rules of expressions the engine refused
        std::size_t numbers = 0;          // one more than the largest rule number it knows
    };

    // A part as a prefilter uses it: rules[k] is the prefilter's rule that rule number k of
    // the part's reading stands for. So a part compiled once serves prefilters that number
    // its rules differently. Empty rules: the same numbers.
    struct Placed {
        std::shared_ptr<const Part> part;
        std::vector<std::uint32_t> rules;
    };

    // Reading and compiling take seconds for a thousand rules; both check stop between
    // rules (compiling only before it starts) and give up, returning null, once it is set.
    // No expression is longer than limit, and a rule that spells out longer than core is
    // given by its core (prefilter::coreOf); tests make both shorter.
    static std::unique_ptr<Reading> read(const std::vector<PrefilterRule>& rules,
                                         const std::atomic<bool>* stop = nullptr,
                                         std::size_t limit = maxExpressionLength, std::size_t core = coreLength);
    // Compiles the expressions of reading with the given indices (all of them when null)
    // into one part. An expression the engine refuses is left out and its rule always runs;
    // only this part is compiled again without it. Null on stop, or when the engine has no
    // memory; a part with no expression holds no database.
    static std::unique_ptr<Part> compilePart(const Reading& reading, const std::vector<std::size_t>* expressions,
                                             const std::atomic<bool>* stop = nullptr);
    // Cuts the given expressions of reading into at most count groups of about equal size,
    // each rule's expressions in one group and rules of like shape together, for parts that
    // compile side by side: compiling takes far more than linear time in the size. No group
    // is empty.
    static std::vector<std::vector<std::size_t>> split(const Reading& reading, const std::vector<std::size_t>& expressions,
                                                       std::size_t count);
    // The prefilter of reading's rules served by these parts. A rule is a candidate only
    // through a part that holds every expression of it; any other rule is always run.
    static std::unique_ptr<RegexPrefilter> assemble(const Reading& reading,
                                                    std::vector<std::shared_ptr<const Part>> parts);
    // The same with each part's rules renumbered as it says. A part whose rules do not
    // cover its numbers, or name a rule reading lacks, is left out, and null parts are
    // ignored: their rules are always run.
    static std::unique_ptr<RegexPrefilter> assemble(const Reading& reading, std::vector<Placed> parts);
    // All of reading's expressions in one part.
    static std::unique_ptr<RegexPrefilter> compile(Reading reading, const std::atomic<bool>* stop = nullptr);
    // read, then compile.
    static std::unique_ptr<RegexPrefilter> build(const std::vector<PrefilterRule>& rules,
                                                 const std::atomic<bool>* stop = nullptr);
    ~RegexPrefilter();
    RegexPrefilter(const RegexPrefilter&) = delete;
    RegexPrefilter& operator=(const RegexPrefilter&) = delete;

    // One thread's working memory for scan(); made for one prefilter, or grown by
    // prepare() to serve several. Not shared between threads.
    class Scratch {
    public:
        Scratch() = default;
        ~Scratch();
        Scratch(const Scratch&) = delete;
        Scratch& operator=(const Scratch&) = delete;

    private:
        friend class RegexPrefilter;
        hs_scratch* space = nullptr;
        std::vector<std::uint32_t> seen;  // by rule: the line stamp it was last named for
        std::vector<std::uint32_t> named;  // the last line's candidates, ascending
        std::uint32_t stamp = 0;
        bool all = false;  // the last scan failed: every rule is a candidate
    };

    // Makes scratch fit this prefilter; false when memory could not be had, in which case
    // scan() must not be called with it.
    bool prepare(Scratch& scratch) const;

    // Names the rules that may match [begin, end): afterwards isCandidate(scratch, i) is
    // true for each of them, and candidates(scratch) lists them. False when the engine
    // failed on the line; then every rule counts as a candidate.
    bool scan(const char* begin, const char* end, Scratch& scratch) const;
    bool isCandidate(const Scratch& scratch, std::size_t rule) const {
        return always[rule] || scratch.all || scratch.seen[rule] == scratch.stamp;
    }
    // The candidates of the line last scanned with scratch, in ascending order, the rules
    // always run among them. Valid until the next scan with scratch.
    const std::vector<std::uint32_t>& candidates(const Scratch& scratch) const { return scratch.named; }

    std::size_t ruleCount() const { return always.size(); }
    // Rules that every line reaches Boost with.
    std::size_t alwaysRunCount() const;
    // The compiled databases it scans each line with.
    std::size_t partCount() const { return parts.size(); }

private:
    RegexPrefilter() = default;

    std::vector<Placed> parts;                       // those with a database, rules never empty
    std::vector<char> always;                        // by rule
    std::vector<std::uint32_t> alwaysList;           // ascending
};

}  // namespace cgp
