#include "foundation/mutex.h"

#include <stdio.h>
#include <stdlib.h>

#include <atomic>

namespace tmg {

namespace {

std::atomic<bool>& checking() {
    static std::atomic<bool> on{lockOrderCheckedByDefault()};
    return on;
}

// The ranked mutexes this thread holds, in the order taken, with their levels. Plain data,
// so that locks taken while threads and the process end never meet a destroyed table.
// Beyond its size the deepest locks are not followed (a check may then miss an inversion,
// it never reports a false one).
struct Held {
    const MutexInterface* mutex;
    int levels;
};
constexpr int kHeldSize = 32;
thread_local Held held[kHeldSize];
thread_local int heldCount = 0;

int findHeld(const MutexInterface* mutex) {
    for (int i = heldCount - 1; i >= 0; --i)
        if (held[i].mutex == mutex) return i;
    return -1;
}

[[noreturn]] void reportInversion(LockRank taking, LockRank holding) {
    fprintf(stderr, "lock order violated: taking %s (rank %d) while holding %s (rank %d)\n",
            lockRankName(taking), static_cast<int>(taking), lockRankName(holding), static_cast<int>(holding));
    fflush(stderr);
    abort();
}

void noteLock(const MutexInterface* mutex, LockRank rank) {
    int at = findHeld(mutex);
    if (at >= 0) {
        ++held[at].levels;
        return;
    }
    for (int i = 0; i < heldCount; ++i)
        if (held[i].mutex->rank() >= rank) reportInversion(rank, held[i].mutex->rank());
    if (heldCount < kHeldSize) held[heldCount++] = {mutex, 1};
}

void noteUnlock(const MutexInterface* mutex) {
    int at = findHeld(mutex);
    if (at < 0 || --held[at].levels > 0) return;
    for (int i = at; i + 1 < heldCount; ++i) held[i] = held[i + 1];
    --heldCount;
}

}  // namespace

const char* lockRankName(LockRank rank) {
    switch (rank) {
    case LockRank::Unranked: return "unranked";
    case LockRank::EngineInFlight: return "EngineInFlight";
    case LockRank::Router: return "Router";
    case LockRank::IncludeHandler: return "IncludeHandler";
    case LockRank::DirectoryCache: return "DirectoryCache";
    case LockRank::DataSetPool: return "DataSetPool";
    case LockRank::Parser: return "Parser";
    case LockRank::PageNodes: return "PageNodes";
    case LockRank::DefaultDomain: return "DefaultDomain";
    case LockRank::LockFiles: return "LockFiles";
    case LockRank::ClusterProbe: return "ClusterProbe";
    case LockRank::DateNames: return "DateNames";
    case LockRank::PointerRings: return "PointerRings";
    case LockRank::LogRepeat: return "LogRepeat";
    case LockRank::Output: return "Output";
    case LockRank::AbandonedCompiles: return "AbandonedCompiles";
    }
    return "unranked";
}

bool lockOrderCheckedByDefault() {
#ifdef TMG_CHECK_LOCK_ORDER
    return true;
#else
    return false;
#endif
}

bool lockOrderChecked() { return checking().load(std::memory_order_relaxed); }

void setLockOrderChecked(bool on) { checking().store(on, std::memory_order_relaxed); }

MutexInterface::MutexInterface(LockRank rank) : lockRank(rank) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

MutexInterface::~MutexInterface() { pthread_mutex_destroy(&mutex); }

void MutexInterface::lock() {
    if (lockRank != LockRank::Unranked && lockOrderChecked()) noteLock(this, lockRank);
    pthread_mutex_lock(&mutex);
}

void MutexInterface::unlock() {
    if (lockRank != LockRank::Unranked && heldCount > 0) noteUnlock(this);
    pthread_mutex_unlock(&mutex);
}

MutexLock::MutexLock(MutexInterface* m, bool lockNow) : mutex(m), locked(lockNow) {
    if (locked) mutex->lock();
}

MutexLock::~MutexLock() {
    if (locked) mutex->unlock();
    locked = false;
}

void MutexLock::unlock() {
    if (!locked) return;
    mutex->unlock();
    locked = false;
}

void MutexLock::relock() {
    if (locked) return;
    mutex->lock();
    locked = true;
}

}  // namespace tmg
