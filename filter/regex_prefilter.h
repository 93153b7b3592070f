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
    // calls Boost.
    struct Reading {
        std::vector<char> always;          // by rule
        std::vector<std::string> expressions;
        std::vector<unsigned int> ruleOf;  // by expression
    };

    // Reading and compiling take seconds for a thousand rules; both check stop between
    // rules (compiling only before it starts) and give up, returning null, once it is set.
    static std::unique_ptr<Reading> read(const std::vector<PrefilterRule>& rules,
                                         const std::atomic<bool>* stop = nullptr);
    static std::unique_ptr<RegexPrefilter> compile(Reading reading, const std::atomic<bool>* stop = nullptr);
    // read, then compile.
    static std::unique_ptr<RegexPrefilter> build(const std::vector<PrefilterRule>& rules,
                                                 const std::atomic<bool>* stop = nullptr);
    ~RegexPrefilter();
    RegexPrefilter(const RegexPrefilter&) = delete;
    RegexPrefilter& operator=(const RegexPrefilter&) = delete;

    // One thread's working memory for candidates(); made for one prefilter, or grown by
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
        std::uint32_t stamp = 0;
        bool all = false;  // the last scan failed: every rule is a candidate
    };

    // Makes scratch fit this prefilter; false when memory could not be had, in which case
    // candidates() must not be called with it.
    bool prepare(Scratch& scratch) const;

    // Names the rules that may match [begin, end): afterwards isCandidate(scratch, i) is
    // true for each of them. False when the engine failed on the line; then every rule
    // counts as a candidate.
    bool scan(const char* begin, const char* end, Scratch& scratch) const;
    bool isCandidate(const Scratch& scratch, std::size_t rule) const {
        return always[rule] || scratch.all || scratch.seen[rule] == scratch.stamp;
    }

    std::size_t ruleCount() const { return always.size(); }
    // Rules that every line reaches Boost with.
    std::size_t alwaysRunCount() const;

private:
    RegexPrefilter() = default;

    hs_database* database = nullptr;
    std::vector<char> always;  // by rule; a rule's expression id is its index
};

}  // namespace cgp
