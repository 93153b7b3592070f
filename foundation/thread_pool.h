#pragma once

#include <cstdint>
#include <deque>
#include <list>

#include "foundation/condition.h"
#include "foundation/mutex.h"
#include "foundation/noncopyable.h"
#include "foundation/thread.h"

namespace tmg {

// Runs queued tasks (a function and its argument) in submission order on at most
// maxWorkers threads. Workers are started as tasks arrive, never before the first one;
// each waits on a condition of its own while idle. A task runs with no pool lock held and
// its result is ignored.
//
//   tmg::ThreadPool pool(4);
//   pool.submit(work, &job);
//   pool.stop(false);  // waits for the tasks in hand; queued ones are dropped
//
// A task must not stop or destroy its own pool: stop waits for every worker, the task's
// own included, and would never return. Tasks should not throw: an exception that leaves a
// task ends the process.
class ThreadPool : private noncopyable {
public:
    using Function = void* (*)(void*);

    struct Task {
        Function function = nullptr;
        void* argument = nullptr;
    };

    // No worker starts before the first task. maxWorkers 0 runs nothing.
    explicit ThreadPool(std::uint16_t maxWorkers);
    // stop(false).
    ~ThreadPool();

    // Queues function(argument) and wakes an idle worker, or starts a new one while fewer
    // than maxWorkers exist. A task given after stop is dropped without a word. When no
    // worker thread can be started, the task waits for a later submit to start one.
    void submit(Function function, void* argument);

    // Refuses further tasks, drops the queued ones and ends every worker; returns when all
    // worker threads have ended and are freed. With cancel false a worker first finishes
    // the task in hand; with cancel true its thread is cancelled at its next cancellation
    // point (a task should hold its resources through objects, which the unwinding frees)
    // and joined. Only the first call does anything.
    void stop(bool cancel);

private:
    struct Worker;
    static void* workerLoop(void* worker);
    // Under workerMutex: the first idle worker is made busy and signalled, or a new worker
    // is started. False when neither happened.
    bool wakeOrStartWorker();

    const std::uint16_t maxWorkers;
    std::deque<Task> tasks;
    std::list<Worker*> workers;
    MutexInterface taskMutex;    // guards tasks and stopping; taken before workerMutex
    MutexInterface workerMutex;  // guards workers and each worker's idle flag
    bool stopping;
};

}  // namespace tmg
