#include "foundation/mutex.h"

namespace tmg {

MutexInterface::MutexInterface() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

MutexInterface::~MutexInterface() { pthread_mutex_destroy(&mutex); }

void MutexInterface::lock() { pthread_mutex_lock(&mutex); }

void MutexInterface::unlock() { pthread_mutex_unlock(&mutex); }

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
