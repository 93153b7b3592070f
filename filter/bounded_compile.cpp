#include "filter/bounded_compile.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "filter/regex_compile_hang.h"
#include "foundation/condition.h"
#include "foundation/mutex.h"

namespace cgp {

namespace {

std::atomic<std::int64_t> processorBound{1'000'000'000};
std::atomic<std::int64_t> wallBound{20'000'000'000};
std::atomic<void (*)(const std::string&)> compileHook{nullptr};

// Boost compiles about a byte a microsecond here, so a long pattern gets a bound many times
// what its compile takes: 1 s more per 100,000 bytes, in both clocks.
constexpr std::int64_t nanosecondsPerByte = 10'000;

// How often the waiting caller looks at the compile's clocks; a batch that ends wakes it
// at once.
constexpr int lookEveryMilliseconds = 10;

std::int64_t nanosecondsOn(clockid_t clock) {
    struct timespec now;
    if (clock_gettime(clock, &now) != 0) return -1;
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void compile(BoundedCompile& item) {
    try {
        item.expression.assign(item.pattern, item.flags);
        item.outcome = BoundedCompile::Compiled;
    } catch (const std::exception&) {
        item.outcome = BoundedCompile::Refused;
    }
}

// A run of compiles on one thread. Shared by the caller and the thread: an abandoned
// thread keeps it, and with it its own copies of the patterns, for as long as it runs.
struct Run {
    explicit Run(std::vector<BoundedCompile> todo) : items(std::move(todo)) {}

    std::vector<BoundedCompile> items;
    void (*const hook)(const std::string&) = compileHook.load();
    tmg::MutexInterface mutex;
    // Under mutex: the item being compiled (those before it are done) and when it started,
    // on the thread's processor clock and on the wall clock.
    std::size_t current = 0;
    std::int64_t currentProcessorStart = 0;
    std::int64_t currentWallStart = nanosecondsOn(CLOCK_MONOTONIC);
    bool finished = false;
    bool abandoned = false;
    tmg::Condition ended;
};

// An abandoned compile may return while the process exits, after Boost's own state is
// gone, and freeing its expressions then crashes. The exit handler and those threads take
// turns under this guard: once the process exits, such a thread frees nothing.
tmg::MutexInterface& exitGuard() {
    static tmg::MutexInterface* const guard = new tmg::MutexInterface(tmg::LockRank::AbandonedCompiles);
    return *guard;
}
bool processExiting = false;  // under exitGuard()
std::atomic<int> abandonedAlive{0};

void markProcessExiting() {
    tmg::MutexLock lock(&exitGuard());
    processExiting = true;
}

// Compiles the run's items until done or abandoned; returns whether it was abandoned.
bool compileAll(Run* run) {
    for (std::size_t k = 0;; ++k) {
        {
            tmg::MutexLock lock(&run->mutex);
            if (run->abandoned || k == run->items.size()) {
                run->finished = true;
                return run->abandoned;
            }
            run->current = k;
            run->currentProcessorStart = nanosecondsOn(CLOCK_THREAD_CPUTIME_ID);
            run->currentWallStart = nanosecondsOn(CLOCK_MONOTONIC);
        }
        if (run->hook) run->hook(run->items[k].pattern);
        compile(run->items[k]);
    }
}

void work(std::shared_ptr<Run> run) {
    const bool abandoned = compileAll(run.get());
    run->ended.signal();
    if (!abandoned) return;  // the caller joins and keeps the results
    {
        tmg::MutexLock lock(&exitGuard());
        if (!processExiting) {
            run.reset();
            --abandonedAlive;
            return;
        }
    }
    // The process is ending: hold everything until it has.
    for (;;) pause();
}

// Leaves the thread to itself, yielding to everything else.
void abandon(std::thread& thread) {
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(markProcessExiting); });
#ifdef SCHED_IDLE
    struct sched_param idle = {};
    pthread_setschedparam(thread.native_handle(), SCHED_IDLE, &idle);
#endif
    thread.detach();
}

// Runs batch[from...] on one thread, copying back what it compiled, until it finishes or a
// compile runs past a bound. Returns the index after the last item settled, or from when no
// thread could be started.
std::size_t runOnce(std::vector<BoundedCompile>& batch, std::size_t from) {
    std::vector<BoundedCompile> todo;
    todo.reserve(batch.size() - from);
    for (std::size_t k = from; k < batch.size(); ++k) {
        todo.emplace_back();
        todo.back().pattern = batch[k].pattern;
        todo.back().flags = batch[k].flags;
    }
    auto run = std::make_shared<Run>(std::move(todo));
    std::thread thread;
    try {
        thread = std::thread(work, run);
    } catch (const std::system_error&) {
        return from;
    }
    clockid_t clock;
    bool clockKnown = pthread_getcpuclockid(thread.native_handle(), &clock) == 0;
    const std::int64_t processorLimit = processorBound.load(), wallLimit = wallBound.load();

    for (;;) {
        run->ended.waitFor(lookEveryMilliseconds);
        tmg::MutexLock lock(&run->mutex);
        if (run->finished) break;
        // The thread is alive while it has not finished, so its clock can be read.
        std::int64_t processor = clockKnown ? nanosecondsOn(clock) : -1;
        const std::int64_t length = static_cast<std::int64_t>(run->items[run->current].pattern.size()) * nanosecondsPerByte;
        bool tooLong = nanosecondsOn(CLOCK_MONOTONIC) - run->currentWallStart > wallLimit + 20 * length ||
                       (processor >= 0 && processor - run->currentProcessorStart > processorLimit + length);
        if (!tooLong) continue;
        run->abandoned = true;
        ++abandonedAlive;
        std::size_t stuck = run->current;
        for (std::size_t k = 0; k < stuck; ++k) batch[from + k] = std::move(run->items[k]);
        batch[from + stuck].outcome = BoundedCompile::TooLong;
        lock.unlock();
        abandon(thread);
        return from + stuck + 1;
    }
    thread.join();
    for (std::size_t k = 0; k < run->items.size(); ++k) batch[from + k] = std::move(run->items[k]);
    return batch.size();
}

}  // namespace

void compileWithinBounds(std::vector<BoundedCompile>& batch) {
    // The known endless shape never reaches a thread; the rest go in one run per batch,
    // and one more after each compile abandoned.
    std::vector<BoundedCompile> rest;
    std::vector<std::size_t> placeOf;
    for (std::size_t k = 0; k < batch.size(); ++k) {
        if (compileNeverEnds(batch[k].pattern, batch[k].flags)) {
            batch[k].outcome = BoundedCompile::Refused;
            batch[k].expression = boost::regex();
            continue;
        }
        placeOf.push_back(k);
        rest.push_back(std::move(batch[k]));
    }
    for (std::size_t from = 0; from < rest.size();) {
        std::size_t next = runOnce(rest, from);
        if (next == from) {
            // No thread: on the caller, unbounded.
            for (; from < rest.size(); ++from) compile(rest[from]);
            break;
        }
        from = next;
    }
    for (std::size_t k = 0; k < rest.size(); ++k) batch[placeOf[k]] = std::move(rest[k]);
}

void setCompileBoundsForTests(std::chrono::nanoseconds processorTime, std::chrono::nanoseconds wallTime) {
    processorBound.store(processorTime.count());
    wallBound.store(wallTime.count());
}

void setCompileHookForTests(void (*hook)(const std::string& pattern)) { compileHook.store(hook); }

int abandonedCompilesAlive() { return abandonedAlive.load(); }

}  // namespace cgp
