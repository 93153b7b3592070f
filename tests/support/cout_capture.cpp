#include "tests/support/cout_capture.h"

#include <chrono>
#include <iostream>

namespace testsupport {

// Unbuffered: every write reaches xsputn or overflow, under the lock.
class CoutCapture::Buffer : public std::streambuf {
public:
    std::string text() const {
        std::lock_guard<std::mutex> lock(mutex);
        return collected;
    }
    bool waitFor(const std::string& needle, int timeoutMs) const {
        std::unique_lock<std::mutex> lock(mutex);
        return grown.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return collected.find(needle) != std::string::npos; });
    }

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            collected.append(s, static_cast<std::size_t>(n));
        }
        grown.notify_all();
        return n;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        char ch = traits_type::to_char_type(c);
        xsputn(&ch, 1);
        return c;
    }

private:
    mutable std::mutex mutex;
    mutable std::condition_variable grown;
    std::string collected;
};

CoutCapture::CoutCapture() : buffer(new Buffer), saved(std::cout.rdbuf(buffer.get())) {}

CoutCapture::~CoutCapture() { std::cout.rdbuf(saved); }

std::string CoutCapture::text() const { return buffer->text(); }

bool CoutCapture::waitFor(const std::string& needle, int timeoutMs) const { return buffer->waitFor(needle, timeoutMs); }

std::size_t CoutCapture::count(const std::string& needle) const {
    const std::string all = text();
    std::size_t n = 0;
    for (std::size_t at = all.find(needle); at != std::string::npos; at = all.find(needle, at + needle.size())) ++n;
    return n;
}

}  // namespace testsupport
