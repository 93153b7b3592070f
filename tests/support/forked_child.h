#pragma once

// A forked copy of the test process that runs one function and exits with its result,
// for tests of what other processes see (locks, signals, cancelled threads); ChildProcess
// (child_process.h) runs a program instead. The child ends with _exit, so nothing of the
// parent's test framework runs twice. Results beyond the exit status travel through a
// ChildPipe.

#include <signal.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace testsupport {

class ForkedChild {
public:
    // Runs body() in the child; its int result is the exit status (99 when it throws).
    template <class Body>
    explicit ForkedChild(Body body) {
        pid = ::fork();
        if (pid == 0) {
            int status = 99;
            try {
                status = body();
            } catch (...) {
            }
            ::_exit(status);
        }
    }
    // A child still running is killed and reaped.
    ~ForkedChild() {
        if (pid > 0 && !reaped) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    ForkedChild(const ForkedChild&) = delete;
    ForkedChild& operator=(const ForkedChild&) = delete;

    pid_t id() const { return pid; }
    bool started() const { return pid > 0; }

    // Waits at most timeoutMs for the child to end; its exit status, or -1 when a signal
    // ended it, or -2 when it is still running (it is then killed).
    int wait(int timeoutMs = 20000) {
        if (pid <= 0 || reaped) return -1;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int status = 0;
        for (;;) {
            pid_t done = ::waitpid(pid, &status, WNOHANG);
            if (done == pid) break;
            if (done < 0) return -1;
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
                reaped = true;
                return -2;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid = -1;
    bool reaped = false;
};

// A pipe made before the fork: one side writes small values, the other reads them. Both
// ends stay open in both processes until the object goes; a read gives up after a bound.
class ChildPipe {
public:
    ChildPipe() {
        if (::pipe(fds) != 0) fds[0] = fds[1] = -1;
    }
    ~ChildPipe() {
        closeWriting();
        if (fds[0] >= 0) ::close(fds[0]);
    }
    ChildPipe(const ChildPipe&) = delete;
    ChildPipe& operator=(const ChildPipe&) = delete;

    bool put(int value) { return ::write(fds[1], &value, sizeof value) == static_cast<ssize_t>(sizeof value); }
    // The next value, or fallback when none comes within timeoutMs or the pipe ends.
    int get(int fallback = -1000, int timeoutMs = 20000) {
        int value = 0;
        std::size_t got = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got < sizeof value) {
            timeval tv{0, 2000};
            fd_set set;
            FD_ZERO(&set);
            FD_SET(fds[0], &set);
            if (::select(fds[0] + 1, &set, nullptr, nullptr, &tv) > 0) {
                ssize_t n = ::read(fds[0], reinterpret_cast<char*>(&value) + got, sizeof value - got);
                if (n <= 0) return fallback;
                got += static_cast<std::size_t>(n);
            } else if (std::chrono::steady_clock::now() > deadline) {
                return fallback;
            }
        }
        return value;
    }
    void closeWriting() {
        if (fds[1] >= 0) ::close(fds[1]);
        fds[1] = -1;
    }
    int readEnd() const { return fds[0]; }

private:
    int fds[2] = {-1, -1};
};

}  // namespace testsupport
