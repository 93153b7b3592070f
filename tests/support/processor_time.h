#pragma once

// Processor time, for bounds a test asserts on work done: unlike the clock, it does not
// grow while a busy machine keeps the work waiting.

#include <time.h>

namespace testsupport {

// Seconds of processor time of the calling thread (CLOCK_THREAD_CPUTIME_ID) or of every
// thread of the process (CLOCK_PROCESS_CPUTIME_ID).
inline double processorSeconds(clockid_t clock) {
    struct timespec now {};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace testsupport
