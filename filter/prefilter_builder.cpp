#include "filter/prefilter_builder.h"

// <cstdio> brings in the C library's feature macros.
#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <thread>
#include <unordered_map>
#include <vector>

#include "filter/heap_release_internal.h"
#include "filter/prefilter_parts_internal.h"
#include "foundation/condition.h"
#include "foundation/log_line.h"
#include "foundation/mutex.h"
#include "foundation/process.h"

namespace cgp {

namespace {

std::atomic<std::uint64_t> nextSerial{1};

}  // namespace

RulesPrefilter::RulesPrefilter() : serial(nextSerial.fetch_add(1)) {}

namespace {

// The rules of one start(), to be built.
struct Job {
    std::uint64_t generation = 0;
    std::size_t ruleCount = 0;
    std::chrono::steady_clock::time_point began;
    std::vector<PrefilterRule> headerLines;
    std::vector<PrefilterRule> bodyLines;
};

// One compiled part, shared by every build that wants its expressions: a compile begun for
// a build that was dropped meanwhile serves the next one when its expressions are still
// wanted.
struct Compiled {
    bool begun = false;
    bool done = false;
    std::shared_ptr<const RegexPrefilter::Part> part;  // null when the compile failed
    std::vector<std::uint64_t> builds;                 // the builds that want it
};

void append(const std::vector<FilterSettings::Rule>& rules, std::vector<PrefilterRule>& out) {
    for (const FilterSettings::Rule& rule : rules)
        out.push_back(PrefilterRule{rule.pattern.str(), (rule.pattern.flags() & boost::regex::icase) != 0,
                                    rule.pattern.mark_count()});
}

}  // namespace

struct PrefilterBuilder::State {
    tmg::MutexInterface mutex;
    // The build thread waits on it for a compile's end, for newer rules and for the end.
    tmg::Condition wake;
    bool stopped = false;
    std::atomic<bool> gone{false};  // stopped, for the compiles
    bool building = false;          // the build thread runs
    std::unique_ptr<Job> pending;   // the newest rules, waiting for the build thread
    std::atomic<bool> dropped{false};  // the running build's rules are no longer the newest
    std::shared_ptr<const RulesPrefilter> current;
    int reading = 0;  // 1 while the build thread may call Boost
    std::size_t partBytes = 16 * 1024;

    std::size_t compilesBegun = 0;
    std::unordered_map<std::string, std::shared_ptr<Compiled>> parts;  // by Task::key
    // The expressions of each rule of the last rules read, by readingKey(): the build thread's
    // alone.
    std::unordered_map<std::string, std::vector<std::string>> readings;
    std::uint64_t nextBuild = 1;
    std::uint64_t running = 0;  // the build on the build thread, 0 between builds
    // The build that running dropped, until running has said what it wants: its parts may
    // be running's too.
    std::uint64_t previous = 0;
    bool runningSaid = false;  // running has said what it wants
    std::uint64_t serving = 0;  // the last build whose final prefilter was published
};

namespace {

using State = PrefilterBuilder::State;

void trimMemory() {
#ifdef __GLIBC__
    // The compiles' working memory, freed on several threads' heaps, goes back to the system
    // rather than staying with the filter for as long as it runs.
    malloc_trim(0);
#endif
}

bool wanted(const State& state, const Compiled& compiled) {
    for (std::uint64_t build : compiled.builds)
        if (build == state.running || build == state.serving || build == state.previous) return true;
    return false;
}

// Forgets the parts that no build wants (wanted()); a compile still in flight is forgotten
// when it ends. Under the state's mutex. The parts go when the last prefilter holding them
// goes.
void prune(State& state) {
    for (auto it = state.parts.begin(); it != state.parts.end();) {
        Compiled& compiled = *it->second;
        compiled.builds.erase(std::remove_if(compiled.builds.begin(), compiled.builds.end(),
                                             [&](std::uint64_t build) {
                                                 return build != state.running && build != state.serving &&
                                                        build != state.previous;
                                             }),
                              compiled.builds.end());
        if (compiled.builds.empty() && (compiled.done || !compiled.begun)) it = state.parts.erase(it);
        else ++it;
    }
}

// A compile thread: one part, then it ends. Its result goes to the builds that still want
// it; when none does, or the builder is gone, it is freed unseen.
void compile(const std::shared_ptr<State>& state, std::string key, std::shared_ptr<Compiled> compiled,
             std::shared_ptr<const RegexPrefilter::Reading> reading) {
    std::shared_ptr<const RegexPrefilter::Part> part;
    try {
        part = RegexPrefilter::compilePart(*reading, nullptr, &state->gone);
    } catch (const std::exception&) {
        part.reset();
    }
    bool unwanted;
    {
        tmg::MutexLock lock(&state->mutex);
        compiled->done = true;
        compiled->part = part;
        unwanted = !wanted(*state, *compiled) || !part;
        if (unwanted) {
            auto it = state->parts.find(key);
            if (it != state->parts.end() && it->second == compiled) state->parts.erase(it);
            compiled->part.reset();
        }
    }
    state->wake.signal();
    if (unwanted) {
        part.reset();
        trimMemory();
    }
}

// The compile threads of the build thread, joined once their compile is done, so that a
// thread on its way out still counts against the limit.
struct Slot {
    std::thread thread;
    std::shared_ptr<Compiled> compiled;
};

// Joins the compile threads that are done. Without the state's mutex.
void reap(State& state, std::vector<Slot>& slots) {
    std::vector<Slot> ended;
    {
        tmg::MutexLock lock(&state.mutex);
        for (auto it = slots.begin(); it != slots.end();) {
            if (it->compiled->done) {
                ended.push_back(std::move(*it));
                it = slots.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (Slot& slot : ended) slot.thread.join();
}

// Brings the parts of tasks about, those at hand first, the others compiled heaviest first
// on at most partThreads() compile threads in all (those of dropped builds still running
// included). False when the build was dropped or the builder stopped before all were done,
// or a compile failed.
bool compileAll(const std::shared_ptr<State>& state, std::vector<PrefilterParts::Task>& tasks,
                std::vector<Slot>& slots) {
    std::vector<PrefilterParts::Task*> order;
    for (PrefilterParts::Task& task : tasks) order.push_back(&task);
    std::stable_sort(order.begin(), order.end(),
                     [](const PrefilterParts::Task* a, const PrefilterParts::Task* b) { return a->weight > b->weight; });
    std::vector<std::shared_ptr<Compiled>> compiled(order.size());
    const std::size_t limit = PrefilterBuilder::partThreads();
    for (;;) {
        reap(*state, slots);
        {
            tmg::MutexLock lock(&state->mutex);
            if (state->stopped || state->dropped.load()) return false;
            bool all = true;
            for (std::size_t i = 0; i < order.size(); ++i) {
                if (!compiled[i]) {
                    // Marked by want(), unless a compile of it failed since and took it out.
                    std::shared_ptr<Compiled>& entry = state->parts[order[i]->key];
                    if (!entry) entry = std::make_shared<Compiled>();
                    if (entry->builds.empty()) entry->builds.push_back(state->running);
                    compiled[i] = entry;
                }
                Compiled& entry = *compiled[i];
                if (entry.done) {
                    if (!entry.part) return false;
                    continue;
                }
                all = false;
                if (entry.begun || slots.size() >= limit) continue;
                try {
                    slots.push_back(
                        Slot{std::thread(compile, state, order[i]->key, compiled[i], order[i]->reading), compiled[i]});
                } catch (const std::exception&) {
                    // Without a thread the part cannot be had: this stage fails.
                    state->parts.erase(order[i]->key);
                    return false;
                }
                entry.begun = true;
                ++state->compilesBegun;
            }
            if (all) break;
        }
        state->wake.waitFor(1000);
    }
    tmg::MutexLock lock(&state->mutex);
    for (std::size_t i = 0; i < order.size(); ++i) order[i]->part = compiled[i]->part;
    return true;
}

// Marks the parts of both stages as wanted by the running build, so that the parts of a
// stage it skips stay for the next build too; true when every part of the final stage is
// compiled already.
bool want(State& state, const PrefilterParts::Plan& plan) {
    tmg::MutexLock lock(&state.mutex);
    bool atHand = true;
    for (const std::vector<PrefilterParts::Task>* stage : {&plan.firstStage, &plan.finalStage}) {
        for (const PrefilterParts::Task& task : *stage) {
            std::shared_ptr<Compiled>& entry = state.parts[task.key];
            if (!entry) entry = std::make_shared<Compiled>();
            if (std::find(entry->builds.begin(), entry->builds.end(), state.running) == entry->builds.end())
                entry->builds.push_back(state.running);
            if (stage == &plan.finalStage && (!entry->done || !entry->part)) atHand = false;
        }
    }
    state.previous = 0;
    state.runningSaid = true;
    prune(state);
    return atHand;
}

std::shared_ptr<RulesPrefilter> assemble(const Job& job, bool final, const RegexPrefilter::Reading& header,
                                         const RegexPrefilter::Reading& body, std::vector<PrefilterParts::Task>& tasks) {
    std::vector<RegexPrefilter::Placed> headerParts, bodyParts;
    for (PrefilterParts::Task& task : tasks)
        (task.header ? headerParts : bodyParts).push_back(RegexPrefilter::Placed{task.part, task.rules});
    auto built = std::make_shared<RulesPrefilter>();
    built->generation = job.generation;
    built->final = final;
    built->headerLines = RegexPrefilter::assemble(header, std::move(headerParts));
    built->bodyLines = RegexPrefilter::assemble(body, std::move(bodyParts));
    return built;
}

// Puts built in service unless the build was dropped meanwhile; false when it was.
bool publish(State& state, const Job& job, std::shared_ptr<RulesPrefilter> built, const char* what) {
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - job.began).count();
    char took[32];
    std::snprintf(took, sizeof took, "%.1f", seconds);
    std::shared_ptr<const RulesPrefilter> replaced;
    tmg::MutexLock lock(&state.mutex);
    if (state.stopped || state.dropped.load()) return false;
    replaced = std::move(state.current);
    state.current = std::move(built);
    if (state.current->final) {
        state.serving = state.running;
        prune(state);
    }
    // Standard output is the protocol channel: the line goes out whole, under the output
    // mutex, like every log line.
    tmg::logline() << "Prefilter " << what << ": " << job.ruleCount << " rules in " << took << " s";
    lock.unlock();
    return true;
}

// The stages of a build once its rules are read.
void compileStages(const std::shared_ptr<State>& state, const Job& job, std::size_t partBytes,
                   const RegexPrefilter::Reading& header, const RegexPrefilter::Reading& body,
                   std::vector<Slot>& slots) {
    PrefilterParts::Plan plan = PrefilterParts::plan(header, body, partBytes);
    // A build whose final parts are all at hand (rules that did not change, or changed back)
    // needs no first stage.
    bool atHand = want(*state, plan);
    if (!plan.firstStage.empty() && !atHand) {
        if (!compileAll(state, plan.firstStage, slots)) return;
        if (!publish(*state, job, assemble(job, false, header, body, plan.firstStage), "first stage")) return;
    }
    if (!compileAll(state, plan.finalStage, slots)) return;
    publish(*state, job, assemble(job, true, header, body, plan.finalStage), "ready");
}

std::string readingKey(const PrefilterRule& rule) {
    return rule.pattern + '\0' + (rule.ignoreCase ? 'i' : '-') + std::to_string(rule.markCount);
}

// The reading of both sides' rules, through Boost only for the rules not read before: a
// rule's expressions depend on nothing but its pattern and options. False when dropped.
bool readRules(State& state, const Job& job, std::unique_ptr<RegexPrefilter::Reading>& header,
               std::unique_ptr<RegexPrefilter::Reading>& body) {
    std::unordered_map<std::string, std::vector<std::string>> known;
    std::vector<PrefilterRule> fresh;
    std::vector<std::string> freshKeys;
    for (const std::vector<PrefilterRule>* side : {&job.headerLines, &job.bodyLines}) {
        for (const PrefilterRule& rule : *side) {
            std::string key = readingKey(rule);
            if (known.count(key)) continue;
            auto it = state.readings.find(key);
            if (it != state.readings.end()) {
                known.emplace(key, it->second);  // a copy: a build dropped meanwhile keeps them
            } else {
                known.emplace(key, std::vector<std::string>());
                fresh.push_back(rule);
                freshKeys.push_back(std::move(key));
            }
        }
    }
    if (!fresh.empty()) {
        std::unique_ptr<RegexPrefilter::Reading> read = RegexPrefilter::read(fresh, &state.dropped);
        if (!read) return false;
        for (std::size_t i = 0; i < read->expressions.size(); ++i)
            known[freshKeys[read->ruleOf[i]]].push_back(std::move(read->expressions[i]));
    }
    auto assembled = [&](const std::vector<PrefilterRule>& rules) {
        auto reading = std::make_unique<RegexPrefilter::Reading>();
        reading->always.assign(rules.size(), 1);
        for (std::size_t i = 0; i < rules.size(); ++i)
            for (const std::string& expression : known[readingKey(rules[i])]) {
                reading->expressions.push_back(expression);
                reading->ruleOf.push_back(static_cast<unsigned int>(i));
            }
        return reading;
    };
    header = assembled(job.headerLines);
    body = assembled(job.bodyLines);
    // Only the rules of the newest rules read are kept.
    state.readings = std::move(known);
    return true;
}

void build(const std::shared_ptr<State>& state, const Job& job, std::size_t partBytes, std::vector<Slot>& slots) {
    std::unique_ptr<RegexPrefilter::Reading> header, body;
    try {
        if (!readRules(*state, job, header, body)) header.reset();
    } catch (const std::exception&) {
        header.reset();
    }
    {
        tmg::MutexLock lock(&state->mutex);
        state->reading = 0;
    }
    if (!header || !body) return;

    // An exception leaving this thread would end the filter; without memory for the next
    // stage, the one in service (or none: every rule runs) stays.
    try {
        compileStages(state, job, partBytes, *header, *body, slots);
    } catch (const std::exception&) {
    }
}

// The build thread: builds the newest rules, one build at a time, until none wait and its
// compiles have ended.
void buildThread(const std::shared_ptr<State>& state) {
    std::vector<Slot> slots;
    for (;;) {
        std::unique_ptr<Job> job;
        std::size_t partBytes;
        reap(*state, slots);
        {
            tmg::MutexLock lock(&state->mutex);
            // A build ends here dropped or done; when newer rules wait, its parts stay until
            // the next build has said which of them it wants. (One dropped before it said so
            // leaves the parts of the build before it.)
            if (!state->pending || state->stopped) state->previous = 0;
            else if (state->runningSaid) state->previous = state->running;
            state->running = 0;
            state->runningSaid = false;
            prune(*state);
            if (state->stopped || !state->pending) {
                if (slots.empty()) {
                    state->building = false;
                    break;
                }
                lock.unlock();
                state->wake.waitFor(1000);
                continue;
            }
            job = std::move(state->pending);
            state->dropped.store(false);
            state->running = state->nextBuild++;
            state->reading = 1;
            partBytes = state->partBytes;
        }
        build(state, *job, partBytes, slots);
        job.reset();
        trimMemory();
    }
    trimMemory();
}

}  // namespace

std::size_t PrefilterBuilder::partThreads() {
    std::size_t processors = std::thread::hardware_concurrency();
    return std::max<std::size_t>(1, std::min<std::size_t>(4, processors / 2));
}

PrefilterBuilder::PrefilterBuilder() : state(std::make_shared<State>()) { keepFreedMemoryReturnable(); }

PrefilterBuilder::~PrefilterBuilder() {
    {
        tmg::MutexLock lock(&state->mutex);
        state->stopped = true;
        state->gone.store(true);
        state->dropped.store(true);
        state->pending.reset();
    }
    state->wake.signal();
    for (;;) {
        {
            tmg::MutexLock lock(&state->mutex);
            if (state->reading == 0) return;
        }
        tmg::sleepMilliseconds(1);
    }
}

void PrefilterBuilder::start(const FilterSettings& rules) {
    auto job = std::make_unique<Job>();
    job->generation = rules.generation();
    job->began = std::chrono::steady_clock::now();
    append(rules.headerRules(), job->headerLines);
    append(rules.fullRules(), job->headerLines);
    append(rules.bodyRules(), job->bodyLines);
    append(rules.fullRules(), job->bodyLines);
    job->ruleCount = rules.headerRules().size() + rules.bodyRules().size() + rules.fullRules().size();

    std::shared_ptr<const RulesPrefilter> replaced;
    tmg::MutexLock lock(&state->mutex);
    replaced = std::move(state->current);
    state->pending = std::move(job);
    if (state->building) {
        // The build running gives up at its next part; its compiles in flight end on their
        // slots and serve these rules when their expressions are still wanted.
        state->dropped.store(true);
        lock.unlock();
        state->wake.signal();
        return;
    }
    state->building = true;
    try {
        std::thread(buildThread, state).detach();
    } catch (const std::exception&) {
        // Without a thread to build on there is no prefilter, and the scan runs every rule.
        state->building = false;
        state->pending.reset();
    }
}

std::shared_ptr<const RulesPrefilter> PrefilterBuilder::ready(std::uint64_t generation) const {
    tmg::MutexLock lock(&state->mutex);
    if (state->current && state->current->generation == generation) return state->current;
    return nullptr;
}

bool PrefilterBuilder::waitForTests(std::uint64_t generation, int milliseconds) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        std::shared_ptr<const RulesPrefilter> current = ready(generation);
        if (current && current->final) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
        tmg::sleepMilliseconds(1);
    }
}

std::size_t PrefilterBuilder::compilesBegunForTests() const {
    tmg::MutexLock lock(&state->mutex);
    return state->compilesBegun;
}

void PrefilterBuilder::setPartBytesForTests(std::size_t bytes) {
    tmg::MutexLock lock(&state->mutex);
    state->partBytes = std::max<std::size_t>(1, bytes);
}

}  // namespace cgp
