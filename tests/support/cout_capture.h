#pragma once

// Capture of what is written through std::cout, safe while any number of threads write,
// with a bounded wait for a text to appear. Unlike CaptureStdout (capture_stdout.h), it
// sees only std::cout, not descriptor 1, and can be read while threads are still writing.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <streambuf>
#include <string>

namespace testsupport {

class CoutCapture {
public:
    // Points std::cout at the capture. No thread may be writing to std::cout at that
    // moment, nor when the object goes and restores the old buffer.
    CoutCapture();
    ~CoutCapture();
    CoutCapture(const CoutCapture&) = delete;
    CoutCapture& operator=(const CoutCapture&) = delete;

    // Everything written so far.
    std::string text() const;
    // Waits at most timeoutMs for text to contain needle; whether it does.
    bool waitFor(const std::string& needle, int timeoutMs = 2000) const;
    // How many times needle occurs in the text so far.
    std::size_t count(const std::string& needle) const;

private:
    class Buffer;
    std::unique_ptr<Buffer> buffer;
    std::streambuf* saved;
};

}  // namespace testsupport
