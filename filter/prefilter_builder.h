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
    std::uint64_t generation = 0;
    std::unique_ptr<RegexPrefilter> headerLines;
    std::unique_ptr<RegexPrefilter> bodyLines;
};

// Builds the prefilter of the rules in force off the scanning thread, so that start-up and
// reloads stay as fast as without it: until a build is ready the scan runs every rule, as
// it always did. A build that is ready writes "* Prefilter ready: <n> rules in <s> s".
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

    // The prefilter of the rules of that generation once it is ready, else null.
    std::shared_ptr<const RulesPrefilter> ready(std::uint64_t generation) const;

    // For tests: waits at most the given time for the build of that generation; true when
    // it is ready.
    bool waitForTests(std::uint64_t generation, int milliseconds) const;

    struct State;

private:
    std::shared_ptr<State> state;
};

}  // namespace cgp
