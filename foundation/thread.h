#pragma once

#include <pthread.h>

#include "foundation/ring_ptr.h"

namespace tmg {

// The record of one started thread, shared by its handles.
struct _thread {
    pthread_t id{};         // valid only once running has been true
    bool running = false;   // started and not yet joined, cancelled or detached
    bool detached = false;  // started detached: nobody may join or cancel it
};

// A shared handle to one POSIX thread: copies share the record, the last handle frees it.
// Freeing the record neither joins nor detaches the thread: a thread outlives its handles
// (a joinable thread whose handles are all gone without a join is never reclaimed).
//
//   tmg::Thread worker(routine, &data, false);
//   if (!worker->running) { /* could not start: handle the work here */ }
//   worker.join();
//
// The record's fields are changed by the handle's operations only; handles of one thread
// must not be used on two threads at once.
class Thread : public ptr<_thread> {
public:
    using Routine = void* (*)(void*);

    // No record: isNull() is true and join and cancel do nothing.
    Thread() = default;
    // Takes over an existing record (may be null).
    explicit Thread(_thread* record) : ptr<_thread>(record) {}
    // Starts routine(argument) on a new thread; detached threads free their resources when
    // they end. When the system cannot start the thread, the record stays with running
    // false (and join and cancel do nothing).
    Thread(Routine routine, void* argument, bool detached);

    // Waits for a running, joinable thread to end (its result is discarded); then running
    // is false. Does nothing on an empty handle or a thread that is not running or was
    // started detached. A thread must not join itself.
    void join();
    // Asks a running, joinable thread to stop at its next cancellation point and detaches
    // it, so its resources are freed when it ends; then running is false. Does not wait.
    // Does nothing where join does nothing.
    void cancel();

    void hook() override {}
};

}  // namespace tmg
