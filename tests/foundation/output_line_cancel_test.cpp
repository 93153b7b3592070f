#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "foundation/output_line.h"
#include "foundation/process.h"
#include "tests/support/forked_child.h"

namespace {

using testsupport::ForkedChild;

const std::size_t kLineLength = 256 * 1024;  // far more than a pipe holds

std::atomic<bool> lineWritten{false};

// After the line it waits without a cancellation point, so the pending cancellation never
// acts: the child then ends with _exit while this thread still runs. (A thread that ends
// by cancellation trips AddressSanitizer's check of its stack when it is torn down.)
void* writeLongLineThenIdle(void*) {
    tmg::outline() << std::string(kLineLength, 'x');
    lineWritten = true;
    for (;;) {
    }
    return nullptr;
}

TEST(OutputLineThreadTest, CancellingAWriterMidLineKeepsTheLineWholeAndTheProcessAlive) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ForkedChild writer([&] {
        ::close(fds[0]);
        ::dup2(fds[1], 1);
        ::close(fds[1]);
        pthread_t thread;
        if (pthread_create(&thread, nullptr, writeLongLineThenIdle, nullptr) != 0) return 2;
        tmg::sleepMilliseconds(50);  // the writer is now blocked on the full pipe
        pthread_cancel(thread);
        while (!lineWritten.load()) tmg::sleepMilliseconds(1);
        return 0;
    });
    ::close(fds[1]);
    tmg::sleepMilliseconds(100);
    std::string text;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    EXPECT_EQ(writer.wait(), 0);
    EXPECT_EQ(text.size(), kLineLength + 1);
    EXPECT_TRUE(text == std::string(kLineLength, 'x') + "\n");  // not printed: far too long
}

}  // namespace
