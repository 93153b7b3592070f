#include "foundation/thread_pool.h"

#include "foundation/process.h"

namespace tmg {

struct ThreadPool::Worker {
    bool idle = false;
    Thread thread;
    Condition condition;
    ThreadPool* pool = nullptr;
};

ThreadPool::ThreadPool(std::uint16_t most) : maxWorkers(most), stopping(false) {}

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

        // Takes tasks while there are any; the queue lock is held from the look at the
        // empty queue until the worker is marked idle, so a task queued in between finds
        // this worker idle and signals it, and never waits for a later submit.
        MutexLock taskLock(&pool->taskMutex);
        while (!pool->stopping) {
            if (pool->tasks.empty()) {
                MutexLock workerLock(&pool->workerMutex);
                self->idle = true;
                break;
            }
            Task task = pool->tasks.front();
            pool->tasks.pop_front();
            taskLock.unlock();
            if (task.function != nullptr) task.function(task.argument);
            taskLock.relock();
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
