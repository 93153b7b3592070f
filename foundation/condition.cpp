#include "foundation/condition.h"

#include <errno.h>
#include <time.h>

namespace tmg {

Condition::Condition() : signalled(false) {
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(&cond, &attr);
    pthread_condattr_destroy(&attr);
}

Condition::~Condition() { pthread_cond_destroy(&cond); }

void Condition::signal() {
    MutexLock lock(&mutex);
    signalled = true;
    pthread_cond_signal(&cond);
}

// The guard holds exactly one level of the recursive mutex, which is what the wait gives
// back while it sleeps; a cancelled wait takes the mutex again and the guard releases it.
void Condition::wait() {
    MutexLock lock(&mutex);
    while (!signalled) pthread_cond_wait(&cond, mutex.native());
    signalled = false;
}

bool Condition::waitFor(int ms) {
    MutexLock lock(&mutex);
    if (!signalled && ms > 0) {
        timespec deadline{};
        clock_gettime(CLOCK_MONOTONIC, &deadline);
        deadline.tv_sec += ms / 1000;
        deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_sec += 1;
            deadline.tv_nsec -= 1000000000L;
        }
        while (!signalled) {
            int rc = pthread_cond_timedwait(&cond, mutex.native(), &deadline);
            if (rc != 0 && rc != EINTR) break;
        }
    }
    if (!signalled) return false;
    signalled = false;
    return true;
}

void Condition::reset() {
    MutexLock lock(&mutex);
    signalled = false;
}

}  // namespace tmg
