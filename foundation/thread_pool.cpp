#include "foundation/thread_pool.h"

#include "foundation/process.h"

namespace tmg {

struct ThreadPool::Worker {
    bool idle = false;
    Thread thread;
    Condition condition;
    ThreadPool* pool = nullptr;
};

ThreadPool::ThreadPool(std::uint16_t maxWorkers) : maxWorkers(maxWorkers), stopping(false) {}

ThreadPool::~ThreadPool() { stop(false); }

void ThreadPool::submit(Function function, void* argument) {
    {
        MutexLock lock(&taskMutex);
        if (stopping) return;
        tasks.push_back(Task{function, argument});
    }
    MutexLock lock(&workerMutex);
    wakeOrStartWorker();
}

bool ThreadPool::wakeOrStartWorker() {
    for (Worker* worker : workers) {
        if (worker->idle) {
            worker->idle = false;
            worker->condition.signal();
            return true;
        }
    }
    if (workers.size() >= maxWorkers) return false;
    Worker* worker = new Worker;
    worker->pool = this;
    worker->condition.signal();  // its first wait returns at once: it comes for this task
    worker->thread = Thread(&ThreadPool::workerLoop, worker, false);
    if (!worker->thread->running) {
        delete worker;
        return false;
    }
    workers.push_back(worker);
    return true;
}

void* ThreadPool::workerLoop(void* argument) {
    Worker* self = static_cast<Worker*>(argument);
    ThreadPool* pool = self->pool;
    {
        // The submitter that started us holds this until we are in the list.
        MutexLock wait(&pool->workerMutex);
    }
    for (;;) {
        {
            MutexLock lock(&pool->taskMutex);
            if (pool->stopping) return nullptr;
        }
        self->condition.wait();

        MutexLock taskLock(&pool->taskMutex);
        if (pool->tasks.empty()) {
            MutexLock workerLock(&pool->workerMutex);
            self->idle = true;
            continue;
        }
        Task task = pool->tasks.front();
        pool->tasks.pop_front();
        bool run = !pool->stopping && task.function != nullptr;
        taskLock.unlock();

        if (run) task.function(task.argument);

        // Going idle while the queue is still locked: a task queued after the check finds
        // this worker idle and signals it, so it never waits for a later submit.
        taskLock.relock();
        if (pool->tasks.empty()) {
            MutexLock workerLock(&pool->workerMutex);
            self->idle = true;
        } else {
            self->condition.signal();
        }
    }
}

void ThreadPool::stop(bool cancel) {
    {
        MutexLock lock(&taskMutex);
        if (stopping) return;
        stopping = true;
        tasks.clear();
    }
    MutexLock lock(&workerMutex);
    while (!workers.empty()) {
        Worker* worker = workers.front();
        workers.pop_front();
        if (worker->idle) worker->condition.signal();
        lock.unlock();
        if (!cancel) {
            worker->thread.join();
        } else {
            // Joined by id, not through Thread::cancel (which detaches): the worker record
            // is freed below and the thread must be gone by then.
            sleepMilliseconds(1);
            _thread* record = worker->thread.get();
            pthread_cancel(record->id);
            pthread_join(record->id, nullptr);
            record->running = false;
        }
        lock.relock();
        delete worker;
    }
}

}  // namespace tmg
