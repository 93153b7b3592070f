// The worker pool against a plain queue of the standard library: 200 000 (almost) empty
// tasks on 4 workers, timed from the first submission until the last task has run, best
// of 5 rounds each. The baseline is a deque under a std::mutex with a condition variable
// and 4 std::threads. Prints the pool's time as a multiple of the baseline's.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/condition.h"
#include "foundation/thread_pool.h"
#include "timing.h"

namespace {

constexpr int kTasks = 200000;
constexpr int kWorkers = 4;
constexpr int kRounds = 5;

// What a task does: count, and wake the timer when it is the last.
struct Finish {
    std::atomic<int> left{kTasks};
    tmg::Condition done;
};

void* countDown(void* argument) {
    Finish* finish = static_cast<Finish*>(argument);
    if (finish->left.fetch_sub(1, std::memory_order_acq_rel) == 1) finish->done.signal();
    return nullptr;
}

double poolRound() {
    Finish finish;
    tmg::ThreadPool pool(kWorkers);
    double seconds = secondsFor([&] {
        for (int i = 0; i < kTasks; ++i) pool.submit(countDown, &finish);
        finish.done.wait();
    });
    pool.stop(false);
    return seconds;
}

class StdQueue {
public:
    StdQueue() {
        for (int i = 0; i < kWorkers; ++i) threads.emplace_back([this] { work(); });
    }
    ~StdQueue() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        ready.notify_all();
        for (std::thread& t : threads) t.join();
    }
    void submit(void* (*function)(void*), void* argument) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            tasks.push_back({function, argument});
        }
        ready.notify_one();
    }

private:
    void work() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            ready.wait(lock, [this] { return stopping || !tasks.empty(); });
            if (stopping) return;
            tmg::ThreadPool::Task task = tasks.front();
            tasks.pop_front();
            lock.unlock();
            task.function(task.argument);
            lock.lock();
        }
    }

    std::mutex mutex;
    std::condition_variable ready;
    std::deque<tmg::ThreadPool::Task> tasks;
    bool stopping = false;
    std::vector<std::thread> threads;
};

double baselineRound() {
    Finish finish;
    double seconds;
    {
        // Started inside the timing, as the pool starts its workers on the first tasks.
        std::unique_ptr<StdQueue> queue;
        seconds = secondsFor([&] {
            queue = std::make_unique<StdQueue>();
            for (int i = 0; i < kTasks; ++i) queue->submit(countDown, &finish);
            finish.done.wait();
        });
    }
    return seconds;
}

}  // namespace

int main() {
    double pool = 1e9, base = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        base = std::min(base, baselineRound());
        pool = std::min(pool, poolRound());
    }
    std::printf("thread pool, %d empty tasks on %d workers: %.1f ms, baseline (std::mutex, "
                "std::condition_variable, std::thread) %.1f ms: %.2fx the baseline's time\n",
                kTasks, kWorkers, pool * 1e3, base * 1e3, pool / base);
    return 0;
}
