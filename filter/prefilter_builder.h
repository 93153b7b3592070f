#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "filter/filter_settings.h"
#include "filter/regex_prefilter.h"

namespace cgp {

// The prefilters of one generation of rules: header lines meet the header rules and then
// the full rules, body lines the body rules and then the full rules, and each prefilter
// numbers its rules in that order.
struct RulesPrefilter {
    RulesPrefilter();

    std::uint64_t generation = 0;
    // Tells every prefilter made in this process apart, even one at a freed one's address;
    // never 0.
    const std::uint64_t serial;
    // False for the first stage, which serves while the final one is built.
    bool final = true;
    std::unique_ptr<RegexPrefilter> headerLines;
    std::unique_ptr<RegexPrefilter> bodyLines;
};

// Builds the prefilter of the rules in force off the scanning thread, so that start-up and
// reloads stay as fast as without it: until a build is ready the scan runs every rule, as
// it always did.
//
// A large rule set is built in two stages, because the engine's compile time grows much
// faster than the rules: first in parts compiled side by side, which is in service within
// seconds and logs "* Prefilter first stage: <n> rules in <s> s"; then whole, which scans
// faster, replaces it and logs "* Prefilter ready: <n> rules in <s> s". A small one is built
// whole at once and logs only the second line. The seconds count from start().
//
// One build runs at a time, on one build thread, and its compiles run on at most
// partThreads() threads of their own: newer rules wait for those slots, whatever the rate
// of start(), and take them over part by part as the compiles of the build they dropped
// end (a compile cannot be cut short). The build thread and the compile threads end when
// there is nothing left to build.
//
// Parts whose expressions a build wants again (those of the prefilter in service, of the
// build it dropped, or a compile of that build still in flight) are not compiled again: a
// rule edited changes only the parts around it, and rules that come back unchanged are
// ready as soon as they are read. What is kept is what the prefilter in service and the
// build running want; the rest is freed as builds end.
//
// Used from one thread (the one that loads the rules); the builds run on threads of their
// own.
class PrefilterBuilder {
public:
    PrefilterBuilder();
    // Stops the builds. Waits while one is still reading patterns through Boost (a moment),
    // not while one compiles: that one finishes unseen and frees what it made.
    ~PrefilterBuilder();
    PrefilterBuilder(const PrefilterBuilder&) = delete;
    PrefilterBuilder& operator=(const PrefilterBuilder&) = delete;

    // The compile threads a builder may have alive at once: half the processors, at least
    // one, at most four.
    static std::size_t partThreads();

    // Builds the rules as they are now, once the build running (of older rules, which is
    // dropped) has let go; a build of older rules not yet begun is never begun. The
    // prefilter in service is for the older rules, so ready() gives it no more. Without a
    // thread to build on there is no prefilter, and the scan runs every rule.
    void start(const FilterSettings& rules);

    // The prefilter in service for the rules of that generation (first stage or final),
    // else null.
    std::shared_ptr<const RulesPrefilter> ready(std::uint64_t generation) const;

    // For tests: waits at most the given time for the final prefilter of that generation;
    // true when it is in service.
    bool waitForTests(std::uint64_t generation, int milliseconds) const;

    // For tests and benchmarks: expression bytes per part of the first stage (by default
    // 16 KiB; the costly rules of the final one go in parts of three times that). A rule set
    // without costly rules and of at most two parts' worth is built whole at once.
    void setPartBytesForTests(std::size_t bytes);

    // For tests: the compiles of parts begun so far, by all of this builder's builds.
    std::size_t compilesBegunForTests() const;

    struct State;

private:
    std::shared_ptr<State> state;
};

}  // namespace cgp
