#pragma once

// Capture of standard output at the descriptor level: whatever reaches file descriptor 1
// while the object lives (printf, puts, std::cout, plain write(1, ...)) is kept in an
// unnamed file instead of reaching the terminal.

#include <string>

namespace testsupport {

// Not nestable and not for use from two threads at once: descriptor 1 belongs to the whole
// process. While it is active, a failing assertion's message printed by the test framework
// is captured too; read text() before asserting on it.
class CaptureStdout {
public:
    // Flushes stdio and std::cout, then points descriptor 1 at the capture file. When that
    // fails, a test failure is reported and nothing is captured.
    CaptureStdout();
    // Restores descriptor 1 (as stop() does).
    ~CaptureStdout();
    CaptureStdout(const CaptureStdout&) = delete;
    CaptureStdout& operator=(const CaptureStdout&) = delete;

    // Everything captured from the start up to now (stdio and std::cout are flushed first).
    // May be called any number of times; capturing goes on until stop().
    std::string text();
    // Ends the capture early; text() still returns what was caught. Calling it again does
    // nothing.
    void stop();

private:
    int saved = -1;  // the original descriptor 1 while capturing
    int file = -1;   // the capture file
};

}  // namespace testsupport
