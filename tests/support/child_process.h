#pragma once

// A program run as a child process with pipes on its standard input, output and error, the
// way the mail server runs its helpers. Every wait is bounded, so a child that hangs fails
// the test instead of stopping it.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace testsupport {

// What a finished run wrote and how it ended.
struct Transcript {
    std::string out;
    std::string err;
    int status = -1;  // exit status, or -1 when the process did not exit normally
};

class ChildProcess {
public:
    // argv is the command line; its first word is the program path as the child sees it.
    // `executable` is the file run (argv[0] when empty); the child starts in
    // `workingFolder` when one is given. SIGPIPE is ignored from then on in this process,
    // so a child that died fails the test instead of killing it. A failure to start is
    // reported as a test failure; an executable that does not run exits with status 127.
    explicit ChildProcess(const std::vector<std::string>& argv, const std::string& executable = "",
                          const std::string& workingFolder = "");
    // Kills the child if it still runs and reaps it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Writes text to the child's standard input. A child that has already ended closes its
    // input, so a broken pipe only stops the writing: the transcript and the exit status
    // say whether that was right. Other write errors are test failures.
    void send(const std::string& text);

    // Everything the child writes on standard output until it has written `lines` more
    // lines (or ended, or 120 seconds passed: a test failure); returns those lines.
    std::string readLines(int lines);

    // From now on, whole lines of standard output that start with prefix are set aside as
    // they arrive: readLines() and finish() never see them, setAside() returns them. For
    // lines a program writes at a time of its own choosing.
    void setAsideLinesStartingWith(const std::string& prefix);
    const std::string& setAside() const { return asideText; }
    // Waits, reading what the child writes, until `lines` lines have been set aside in all,
    // the child has closed its output, or `limit` has passed; returns whether they were.
    bool waitForSetAside(std::size_t lines, std::chrono::milliseconds limit);

    // Closes standard input, waits (at most 120 seconds) for both output pipes to close,
    // reaps the child and returns the whole run. Call once.
    Transcript finish();

private:
    void pump(int milliseconds);

    pid_t pid = -1;
    int input = -1, output = -1, errors = -1;
    std::string out, err;
    std::size_t taken = 0;
    std::string asidePrefix;
    std::string asideText;
    std::size_t checked = 0;  // out is sorted for setting aside up to here
    bool outputClosed = false, errorsClosed = false;
};

}  // namespace testsupport
