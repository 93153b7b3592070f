#pragma once

#include <pthread.h>

#include "foundation/mutex.h"
#include "foundation/noncopyable.h"

namespace tmg {

struct ConditionProbe;

// A condition variable with a sticky "signalled" flag: a signal given while nobody waits
// is kept for the next wait, and any number of signals before a wait are taken by that one
// wait. Waits return only for a signal: a wake-up of the variable without one goes back to
// waiting. Every operation runs under the condition's own mutex, which nothing else takes.
// Meant for one waiter at a time (signal wakes at most one). Waits are cancellation points;
// the mutex is given back when a wait is cancelled. Must not be destroyed while a thread
// waits on it or signals it.
class Condition : private noncopyable {
public:
    Condition();
    ~Condition();

    // Sets the flag and wakes one waiter.
    void signal();
    // Blocks until the flag is set, then clears it.
    void wait();
    // As wait, for at most ms milliseconds, measured on the monotonic clock (a change of
    // the wall clock neither shortens nor lengthens it). True when a signal was taken (the
    // flag is then cleared); false on time-out, with the flag as it was. ms <= 0 only takes
    // a signal that is already there.
    bool waitFor(int ms);
    // Clears the flag.
    void reset();

private:
    friend struct ConditionProbe;  // tests reach the raw variable to wake it without a signal

    pthread_cond_t cond;
    MutexInterface mutex;
    bool signalled;
};

}  // namespace tmg
