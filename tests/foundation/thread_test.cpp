#include "foundation/thread.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <fstream>
#include <string>

#include "foundation/condition.h"
#include "foundation/process.h"
#include "tests/foundation/forked_child.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define RUNS_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define RUNS_UNDER_SANITIZER 1
#endif
#endif

namespace {

void* setFlag(void* flag) {
    static_cast<std::atomic<bool>*>(flag)->store(true);
    return nullptr;
}

// Runs until cancelled; its guard's destructor runs during the cancellation's unwinding
// and signals the condition.
struct UnwindSignal {
    tmg::Condition* done;
    ~UnwindSignal() { done->signal(); }
};
void* loopUntilCancelled(void* done) {
    UnwindSignal guard{static_cast<tmg::Condition*>(done)};
    for (;;) tmg::sleepMilliseconds(1);
    return nullptr;
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

    tmg::Condition done;
    tmg::Thread detached(loopUntilCancelled, &done, true);
    ASSERT_TRUE(detached->running);
    detached.join();    // must not wait for a detached thread
    detached.cancel();  // nor cancel it: its id may already name another thread
    EXPECT_TRUE(detached->running);
    EXPECT_FALSE(done.waitFor(20));
    // Ends the thread by hand so it does not outlive the condition.
    pthread_cancel(detached->id);
    EXPECT_TRUE(done.waitFor(2000));
    tmg::sleepMilliseconds(5);  // the thread may still be leaving the signal
}

TEST(ThreadTest, CancelUnwindsTheThreadAndDetachesIt) {
    tmg::Condition done;
    tmg::Thread thread(loopUntilCancelled, &done, false);
    ASSERT_TRUE(thread->running);
    tmg::sleepMilliseconds(5);
    thread.cancel();
    EXPECT_FALSE(thread->running);
    EXPECT_TRUE(done.waitFor(2000));
    thread.join();  // not running any more: returns at once
    tmg::sleepMilliseconds(5);
}

TEST(ThreadTest, AThreadThatCannotStartIsNotRunning) {
#ifdef RUNS_UNDER_SANITIZER
    GTEST_SKIP() << "sanitizers reserve more address space than the limit leaves";
#else
    ForkedChild child([] {
        // Leave too little address space for a new thread's stack. The stack size is raised
        // too, so no stack cached from the parent's earlier threads can serve.
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        pthread_attr_setstacksize(&attr, std::size_t(1) << 36);
        pthread_setattr_default_np(&attr);
        pthread_attr_destroy(&attr);
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(pages) * 4096 + (1 << 20);
        if (setrlimit(RLIMIT_AS, &limit) != 0) return 2;
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
