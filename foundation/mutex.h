#pragma once

#include <pthread.h>

#include "foundation/lock_order.h"
#include "foundation/noncopyable.h"

namespace tmg {

// A recursive mutex: the thread that holds it may take it again, and must give it back as
// many times before another thread gets it. Every lock of the system is one of these.
// Construction never fails; the results of the POSIX calls are not examined.
// Must not be destroyed while a thread holds it.
//
// A process-wide mutex is made with its rank in the lock order (lock_order.h); while the
// lock-order check is on, lock() aborts with both names when this thread already holds a
// ranked mutex of the same or a higher rank (other than this one).
class MutexInterface : private noncopyable {
public:
    explicit MutexInterface(LockRank rank = LockRank::Unranked);
    virtual ~MutexInterface();

    // Blocks until this thread holds one more level of the mutex.
    void lock();
    // Gives back one level. Calling it without holding a level is undefined.
    void unlock();

    LockRank rank() const { return lockRank; }

    // The POSIX mutex itself, for waiting on a condition variable with it (tmg::Condition).
    // Owned by this object; taking or giving it back by hand must keep the levels paired.
    pthread_mutex_t* native() { return &mutex; }

private:
    pthread_mutex_t mutex;
    const LockRank lockRank;
};

// Scoped guard holding at most one level of a MutexInterface. Used by one thread only;
// the mutex it points at is not owned and must outlive the guard.
class MutexLock {
public:
    // Takes the lock at once when lockNow is true.
    explicit MutexLock(MutexInterface* mutex, bool lockNow = true);
    ~MutexLock();

    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    // Gives the level back if this guard holds it; otherwise does nothing.
    void unlock();
    // Takes the level again if this guard does not hold it; otherwise does nothing.
    void relock();

private:
    MutexInterface* mutex;
    bool locked;
};

}  // namespace tmg
