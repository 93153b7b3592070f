#include "foundation/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "foundation/process.h"
#include "tests/support/forked_child.h"
#include "tests/support/sanitizer_build.h"
#include "tests/support/thread_start_failure.h"
#include "tests/support/wait_until.h"


namespace {

using testsupport::ForkedChild;

void* setFlag(void* flag) {
    static_cast<std::atomic<bool>*>(flag)->store(true);
    return nullptr;
}

// Runs until cancelled; its guard's destructor runs during the cancellation's unwinding
// and sets the flag. (An atomic, not a lock: ThreadSanitizer loses track of locks taken
// while a cancelled thread unwinds.)
struct UnwindFlag {
    std::atomic<bool>* unwound;
    ~UnwindFlag() { unwound->store(true); }
};
void* loopUntilCancelled(void* unwound) {
    UnwindFlag guard{static_cast<std::atomic<bool>*>(unwound)};
    for (;;) tmg::sleepMilliseconds(1);
    return nullptr;
}

bool awaitFlag(const std::atomic<bool>& flag) {
    return testsupport::waitUntil([&] { return flag.load(); });
}

TEST(ThreadTest, StartAndJoin) {
    std::atomic<bool> ran{false};
    tmg::Thread thread(setFlag, &ran, false);
    ASSERT_TRUE(thread->running);
    tmg::Thread copy = thread;  // copies share one record
    EXPECT_FALSE(thread.isUnique());
    copy.join();
    EXPECT_TRUE(ran.load());
    EXPECT_FALSE(thread->running);
    thread.join();   // already joined: returns at once
    thread.cancel();
}

TEST(ThreadTest, EmptyAndDetachedHandlesIgnoreJoinAndCancel) {
    tmg::Thread empty;
    EXPECT_TRUE(empty.isNull());
    empty.join();
    empty.cancel();
    SKIP_IF_CANCELLATION_UNSUPPORTED();

    static std::atomic<bool> unwound{false};  // outlives the detached thread
    tmg::Thread detached(loopUntilCancelled, &unwound, true);
    ASSERT_TRUE(detached->running);
    detached.join();    // must not wait for a detached thread
    detached.cancel();  // nor cancel it: its id may already name another thread
    EXPECT_TRUE(detached->running);
    tmg::sleepMilliseconds(20);
    EXPECT_FALSE(unwound.load());
    pthread_cancel(detached->id);  // ends it by hand
    EXPECT_TRUE(awaitFlag(unwound));
}

TEST(ThreadTest, CancelUnwindsTheThreadAndDetachesIt) {
    SKIP_IF_CANCELLATION_UNSUPPORTED();
    static std::atomic<bool> unwound{false};
    tmg::Thread thread(loopUntilCancelled, &unwound, false);
    ASSERT_TRUE(thread->running);
    tmg::sleepMilliseconds(5);
    thread.cancel();
    EXPECT_FALSE(thread->running);
    EXPECT_TRUE(awaitFlag(unwound));
    thread.join();  // not running any more: returns at once
}

TEST(ThreadTest, AThreadThatCannotStartIsNotRunning) {
#if defined(TEST_UNDER_ASAN) || defined(TEST_UNDER_TSAN)
    GTEST_SKIP() << "sanitizers reserve more address space than the limit leaves";
#else
    ForkedChild child([] {
        testsupport::NoNewThreads noThreads;
        if (!noThreads.ok()) return 2;
        std::atomic<bool> ran{false};
        tmg::Thread thread(setFlag, &ran, false);
        if (thread->running) return 3;
        thread.join();
        thread.cancel();
        return ran.load() ? 4 : 0;
    });
    EXPECT_EQ(child.wait(), 0);
#endif
}

}  // namespace
