#include "filter/prefilter_builder.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>
#include <vector>

#include "foundation/log_line.h"
#include "foundation/mutex.h"
#include "foundation/process.h"

namespace cgp {

struct PrefilterBuilder::State {
    tmg::MutexInterface mutex;
    bool stopped = false;
    std::shared_ptr<std::atomic<bool>> latestStop;  // the newest build's
    std::shared_ptr<const RulesPrefilter> current;
    int reading = 0;  // builds that may still call Boost
};

namespace {

struct Job {
    std::uint64_t generation = 0;
    std::size_t ruleCount = 0;
    std::vector<PrefilterRule> headerLines;
    std::vector<PrefilterRule> bodyLines;
};

void append(const std::vector<FilterSettings::Rule>& rules, std::vector<PrefilterRule>& out) {
    for (const FilterSettings::Rule& rule : rules)
        out.push_back(PrefilterRule{rule.pattern.str(), (rule.pattern.flags() & boost::regex::icase) != 0,
                                    rule.pattern.mark_count()});
}

void build(const std::shared_ptr<PrefilterBuilder::State>& state, const std::shared_ptr<std::atomic<bool>>& stop,
           const Job& job) {
    auto began = std::chrono::steady_clock::now();
    std::unique_ptr<RegexPrefilter::Reading> headerReading, bodyReading;
    try {
        headerReading = RegexPrefilter::read(job.headerLines, stop.get());
        if (headerReading) bodyReading = RegexPrefilter::read(job.bodyLines, stop.get());
    } catch (const std::exception&) {
        headerReading.reset();
    }
    {
        tmg::MutexLock lock(&state->mutex);
        --state->reading;
    }
    if (!headerReading || !bodyReading) return;

    auto built = std::make_shared<RulesPrefilter>();
    built->generation = job.generation;
    try {
        built->headerLines = RegexPrefilter::compile(std::move(*headerReading), stop.get());
        if (built->headerLines) built->bodyLines = RegexPrefilter::compile(std::move(*bodyReading), stop.get());
    } catch (const std::exception&) {
        return;
    }
    if (!built->headerLines || !built->bodyLines) return;

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    char took[32];
    std::snprintf(took, sizeof took, "%.1f", seconds);
    tmg::MutexLock lock(&state->mutex);
    if (state->stopped || stop->load()) return;
    state->current = built;
    // Standard output is the protocol channel: the line goes out whole, under the output
    // mutex, like every log line.
    tmg::logline() << "Prefilter ready: " << job.ruleCount << " rules in " << took << " s";
}

}  // namespace

PrefilterBuilder::PrefilterBuilder() : state(std::make_shared<State>()) {}

PrefilterBuilder::~PrefilterBuilder() {
    for (;;) {
        {
            tmg::MutexLock lock(&state->mutex);
            state->stopped = true;
            if (state->latestStop) state->latestStop->store(true);
            if (state->reading == 0) return;
        }
        tmg::sleepMilliseconds(1);
    }
}

void PrefilterBuilder::start(const FilterSettings& rules) {
    Job job;
    job.generation = rules.generation();
    append(rules.headerRules(), job.headerLines);
    append(rules.fullRules(), job.headerLines);
    append(rules.bodyRules(), job.bodyLines);
    append(rules.fullRules(), job.bodyLines);
    job.ruleCount = rules.headerRules().size() + rules.bodyRules().size() + rules.fullRules().size();

    auto stop = std::make_shared<std::atomic<bool>>(false);
    {
        tmg::MutexLock lock(&state->mutex);
        if (state->latestStop) state->latestStop->store(true);
        state->latestStop = stop;
        state->current.reset();
        ++state->reading;
    }
    try {
        std::thread(build, state, stop, std::move(job)).detach();
    } catch (const std::exception&) {
        tmg::MutexLock lock(&state->mutex);
        --state->reading;
    }
}

std::shared_ptr<const RulesPrefilter> PrefilterBuilder::ready(std::uint64_t generation) const {
    tmg::MutexLock lock(&state->mutex);
    if (state->current && state->current->generation == generation) return state->current;
    return nullptr;
}

bool PrefilterBuilder::waitForTests(std::uint64_t generation, int milliseconds) const {
    for (int waited = 0;; ++waited) {
        if (ready(generation)) return true;
        if (waited >= milliseconds) return false;
        tmg::sleepMilliseconds(1);
    }
}

}  // namespace cgp
