#pragma once

#include <sys/types.h>

// Small facilities about processes and time. None throws.
namespace tmg {

// getpid().
pid_t currentProcessId();

// True when a process with this id exists, whoever owns it (getsid succeeds). Ids of 0 and
// below name groups or "every process", never one process: false.
bool processExists(pid_t pid);

// Sends SIGTERM to the one process pid and returns kill's result (0, or -1 with errno).
// Ids of 0 and below would reach a whole process group or every process we may signal,
// so they are refused: -1 with errno EINVAL, nothing is sent.
int killProcess(pid_t pid);

// Sleeps ms milliseconds; a signal that interrupts the sleep ends it early.
void sleepMilliseconds(unsigned ms);

// sleep(s): whole seconds, ended early by a signal.
void sleepSeconds(unsigned s);

}  // namespace tmg
