#pragma once

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
// faster than the rules: first in parts compiled side by side on at most half the
// processors (at most four threads), which is in service within seconds and logs
// "* Prefilter first stage: <n> rules in <s> s"; then whole, which scans faster, replaces
// it and logs "* Prefilter ready: <n> rules in <s> s". A small one is built whole at once
// and logs only the second line. The seconds count from start().
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

    // Starts a build for the rules as they are now; a build of older rules is dropped.
    // Without a thread to build on there is no prefilter, and the scan runs every rule.
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

    struct State;

private:
    std::shared_ptr<State> state;
};

}  // namespace cgp
