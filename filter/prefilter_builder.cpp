#include "filter/prefilter_builder.h"

// <cstdio> brings in the C library's feature macros.
#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
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

namespace {

std::atomic<std::uint64_t> nextSerial{1};

}  // namespace

RulesPrefilter::RulesPrefilter() : serial(nextSerial.fetch_add(1)) {}

struct PrefilterBuilder::State {
    tmg::MutexInterface mutex;
    bool stopped = false;
    std::shared_ptr<std::atomic<bool>> latestStop;  // the newest build's
    std::shared_ptr<const RulesPrefilter> current;
    int reading = 0;  // builds that may still call Boost
    std::size_t partBytes = 16 * 1024;
};

namespace {


struct Job {
    std::uint64_t generation = 0;
    std::size_t ruleCount = 0;
    std::size_t partBytes = 0;
    std::chrono::steady_clock::time_point began;
    std::vector<PrefilterRule> headerLines;
    std::vector<PrefilterRule> bodyLines;
};

void append(const std::vector<FilterSettings::Rule>& rules, std::vector<PrefilterRule>& out) {
    for (const FilterSettings::Rule& rule : rules)
        out.push_back(PrefilterRule{rule.pattern.str(), (rule.pattern.flags() & boost::regex::icase) != 0,
                                    rule.pattern.mark_count()});
}

// A rule whose expressions hold more bytes than this may take seconds to compile alone.
constexpr std::size_t costlyRuleBytes = 2048;

// The expressions of a reading: those of its cheap rules and those of its costly ones.
struct Sorted {
    std::vector<std::size_t> cheap, costly;
    std::size_t cheapBytes = 0, costlyBytes = 0;
};

Sorted sortByCost(const RegexPrefilter::Reading& reading) {
    std::vector<std::size_t> ruleBytes(reading.always.size(), 0);
    for (std::size_t i = 0; i < reading.expressions.size(); ++i)
        ruleBytes[reading.ruleOf[i]] += reading.expressions[i].size();
    Sorted sorted;
    for (std::size_t i = 0; i < reading.expressions.size(); ++i) {
        bool costly = ruleBytes[reading.ruleOf[i]] > costlyRuleBytes;
        (costly ? sorted.costly : sorted.cheap).push_back(i);
        (costly ? sorted.costlyBytes : sorted.cheapBytes) += reading.expressions[i].size();
    }
    return sorted;
}

// Threads for the parts: half the processors, at least one, at most four.
std::size_t partThreads() {
    std::size_t processors = std::thread::hardware_concurrency();
    return std::max<std::size_t>(1, std::min<std::size_t>(4, processors / 2));
}

// One compile to be done, and what it made.
struct Task {
    const RegexPrefilter::Reading* reading = nullptr;
    std::vector<std::size_t> expressions;
    std::size_t weight = 0;
    std::shared_ptr<const RegexPrefilter::Part> part;
    bool failed = false;
};

// Tasks for the given expressions of reading: whole, or in about count parts.
void addTasks(std::vector<Task>& tasks, const RegexPrefilter::Reading& reading, const std::vector<std::size_t>& expressions,
              std::size_t count) {
    if (expressions.empty()) return;
    std::vector<std::vector<std::size_t>> groups;
    if (count <= 1) groups.push_back(expressions);
    else groups = RegexPrefilter::split(reading, expressions, count);
    for (std::vector<std::size_t>& group : groups) {
        Task task;
        task.reading = &reading;
        for (std::size_t index : group) task.weight += reading.expressions[index].size();
        task.expressions = std::move(group);
        tasks.push_back(std::move(task));
    }
}

// Runs the tasks, heaviest first, on up to threads threads counting this one; false when
// stopped or when one of them failed.
bool runAll(std::vector<Task>& tasks, std::size_t threads, const std::atomic<bool>& stop) {
    std::vector<Task*> order;
    for (Task& task : tasks) order.push_back(&task);
    std::stable_sort(order.begin(), order.end(), [](const Task* a, const Task* b) { return a->weight > b->weight; });
    std::atomic<std::size_t> next{0};
    auto work = [&]() {
        for (std::size_t i; (i = next.fetch_add(1)) < order.size();) {
            Task& task = *order[i];
            try {
                task.part = RegexPrefilter::compilePart(*task.reading, &task.expressions, &stop);
            } catch (const std::exception&) {
                task.part.reset();
            }
            task.failed = !task.part;
        }
    };
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < std::min(threads, order.size()); ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::exception&) {
            break;  // fewer threads, same result
        }
    }
    work();
    for (std::thread& helper : helpers) helper.join();
    if (stop.load()) return false;
    return std::none_of(tasks.begin(), tasks.end(), [](const Task& task) { return task.failed; });
}

std::shared_ptr<RulesPrefilter> assemble(const Job& job, bool final, const RegexPrefilter::Reading& header,
                                         const RegexPrefilter::Reading& body, std::vector<Task>& tasks) {
    std::vector<std::shared_ptr<const RegexPrefilter::Part>> headerParts, bodyParts;
    for (Task& task : tasks) (task.reading == &header ? headerParts : bodyParts).push_back(std::move(task.part));
    auto built = std::make_shared<RulesPrefilter>();
    built->generation = job.generation;
    built->final = final;
    built->headerLines = RegexPrefilter::assemble(header, std::move(headerParts));
    built->bodyLines = RegexPrefilter::assemble(body, std::move(bodyParts));
    return built;
}

// Puts built in service unless the build was dropped meanwhile; false when it was.
bool publish(PrefilterBuilder::State& state, const std::atomic<bool>& stop, const Job& job,
             std::shared_ptr<RulesPrefilter> built, const char* what) {
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - job.began).count();
    char took[32];
    std::snprintf(took, sizeof took, "%.1f", seconds);
    tmg::MutexLock lock(&state.mutex);
    if (state.stopped || stop.load()) return false;
    state.current = std::move(built);
    // Standard output is the protocol channel: the line goes out whole, under the output
    // mutex, like every log line.
    tmg::logline() << "Prefilter " << what << ": " << job.ruleCount << " rules in " << took << " s";
    return true;
}

// The stages of a build once its rules are read.
void compileStages(PrefilterBuilder::State& state, const std::atomic<bool>& stop, const Job& job,
                   const RegexPrefilter::Reading& header, const RegexPrefilter::Reading& body) {
    // The engine's compile time grows far faster than the expressions, and some rules take
    // seconds alone. So a large rule set is served first by its cheap rules, compiled in
    // parts side by side (the costly ones always run meanwhile); then by the cheap rules in
    // one database, which scans faster, beside the costly ones in parts.
    std::size_t threads = partThreads();
    std::size_t partBytes = std::max<std::size_t>(1, job.partBytes);
    Sorted headerSorted = sortByCost(header), bodySorted = sortByCost(body);
    std::size_t headerParts = (headerSorted.cheapBytes + partBytes - 1) / partBytes;
    std::size_t bodyParts = (bodySorted.cheapBytes + partBytes - 1) / partBytes;
    bool costly = !headerSorted.costly.empty() || !bodySorted.costly.empty();
    if (costly || headerParts + bodyParts > 2) {
        std::vector<Task> tasks;
        addTasks(tasks, header, headerSorted.cheap, headerParts);
        addTasks(tasks, body, bodySorted.cheap, bodyParts);
        if (!runAll(tasks, threads, stop)) return;
        if (!publish(state, stop, job, assemble(job, false, header, body, tasks), "first stage")) return;
    }
    std::vector<Task> tasks;
    addTasks(tasks, header, headerSorted.cheap, 1);
    addTasks(tasks, body, bodySorted.cheap, 1);
    // Fewer, larger parts of the costly rules: each part scanned is a pass over the line.
    std::size_t costlyPartBytes = 3 * partBytes;
    addTasks(tasks, header, headerSorted.costly, (headerSorted.costlyBytes + costlyPartBytes - 1) / costlyPartBytes);
    addTasks(tasks, body, bodySorted.costly, (bodySorted.costlyBytes + costlyPartBytes - 1) / costlyPartBytes);
    if (!runAll(tasks, threads, stop)) return;
    if (!publish(state, stop, job, assemble(job, true, header, body, tasks), "ready")) return;
#ifdef __GLIBC__
    // The compiles' working memory, freed on several threads' heaps, goes back to the system
    // rather than staying with the filter for as long as it runs.
    malloc_trim(0);
#endif
}

void build(const std::shared_ptr<PrefilterBuilder::State>& state, const std::shared_ptr<std::atomic<bool>>& stop,
           const Job& job) {
    std::unique_ptr<RegexPrefilter::Reading> header, body;
    try {
        header = RegexPrefilter::read(job.headerLines, stop.get());
        if (header) body = RegexPrefilter::read(job.bodyLines, stop.get());
    } catch (const std::exception&) {
        header.reset();
    }
    {
        tmg::MutexLock lock(&state->mutex);
        --state->reading;
    }
    if (!header || !body) return;

    // An exception leaving this thread would end the filter; without memory for the next
    // stage, the one in service (or none: every rule runs) stays.
    try {
        compileStages(*state, *stop, job, *header, *body);
    } catch (const std::exception&) {
    }
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
    job.began = std::chrono::steady_clock::now();
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
        job.partBytes = state->partBytes;
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
        std::shared_ptr<const RulesPrefilter> current = ready(generation);
        if (current && current->final) return true;
        if (waited >= milliseconds) return false;
        tmg::sleepMilliseconds(1);
    }
}

void PrefilterBuilder::setPartBytesForTests(std::size_t bytes) {
    tmg::MutexLock lock(&state->mutex);
    state->partBytes = bytes;
}

}  // namespace cgp
