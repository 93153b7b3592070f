#include "foundation/condition.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tmg {
// Wakes every waiter of the raw variable without a signal: what a spurious wake-up does.
struct ConditionProbe {
    static void wakeWithoutSignal(Condition& c) {
        MutexLock lock(&c.mutex);
        pthread_cond_broadcast(&c.cond);
    }
};
}  // namespace tmg

namespace {

using Clock = std::chrono::steady_clock;

long msSince(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

TEST(ConditionTest, ASignalGivenBeforeTheWaitIsKept) {
    tmg::Condition c;
    c.signal();
    c.wait();  // returns at once
    c.signal();
    // At once, not after the limit: a busy machine may take a while, but not a quarter of it.
    auto start = Clock::now();
    EXPECT_TRUE(c.waitFor(20000));
    EXPECT_LT(msSince(start), 5000);
}

TEST(ConditionTest, TwoSignalsAreTakenByOneWait) {
    tmg::Condition c;
    c.signal();
    c.signal();
    c.wait();
    EXPECT_FALSE(c.waitFor(0));
    EXPECT_FALSE(c.waitFor(20));
}

TEST(ConditionTest, ResetDropsASignal) {
    tmg::Condition c;
    c.signal();
    c.reset();
    EXPECT_FALSE(c.waitFor(10));
}

TEST(ConditionTest, WaitForTimesOut) {
    tmg::Condition c;
    auto start = Clock::now();
    EXPECT_FALSE(c.waitFor(500));
    long took = msSince(start);
    EXPECT_GE(took, 495);
    EXPECT_LT(took, 900);
    // A time-out leaves the flag as it was: a later signal is still taken.
    c.signal();
    EXPECT_TRUE(c.waitFor(0));
}

TEST(ConditionThreadTest, AWakeUpWithoutASignalDoesNotEndAWait) {
    tmg::Condition c;
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        c.wait();
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    for (int i = 0; i < 3; ++i) tmg::ConditionProbe::wakeWithoutSignal(c);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(returned.load());
    c.signal();
    waiter.join();
    EXPECT_TRUE(returned.load());
}

TEST(ConditionThreadTest, AWakeUpWithoutASignalDoesNotMakeWaitForTrue) {
    tmg::Condition c;
    std::atomic<long> tookMs{-1};
    std::atomic<bool> result{false};
    // Timed from before the thread starts: on a busy machine it may start waiting after the
    // wake-up, and the signal still comes 130 ms after this.
    auto start = Clock::now();
    std::thread waiter([&] {
        result = c.waitFor(5000);
        tookMs = msSince(start);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    tmg::ConditionProbe::wakeWithoutSignal(c);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    c.signal();
    waiter.join();
    EXPECT_TRUE(result.load());
    EXPECT_GE(tookMs.load(), 120);  // it kept waiting past the wake-up

    // Without a signal, a wake-up ends in the time-out, not in a true.
    std::thread timed([&] { result = c.waitFor(150); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    tmg::ConditionProbe::wakeWithoutSignal(c);
    timed.join();
    EXPECT_FALSE(result.load());
}

}  // namespace
