#include "foundation/process.h"

#include <errno.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

namespace tmg {

pid_t currentProcessId() { return ::getpid(); }

// In a PID namespace getsid gives 0 for a live process outside our session's view, so
// only -1 means "no such process".
bool processExists(pid_t pid) { return pid > 0 && ::getsid(pid) != -1; }

int killProcess(pid_t pid) {
    if (pid <= 0) {
        errno = EINVAL;
        return -1;
    }
    return ::kill(pid, SIGTERM);
}

void sleepMilliseconds(unsigned ms) {
    timespec span{};
    span.tv_sec = static_cast<time_t>(ms / 1000);
    span.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    ::nanosleep(&span, nullptr);
}

void sleepSeconds(unsigned s) { ::sleep(s); }

}  // namespace tmg
