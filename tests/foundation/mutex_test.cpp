#include "foundation/mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>
#include <type_traits>

#include "tests/support/wait_until.h"

namespace {

static_assert(!std::is_copy_constructible_v<tmg::MutexInterface>);
static_assert(!std::is_copy_assignable_v<tmg::MutexInterface>);

// True when another thread can take the mutex within the limit. When it cannot, this
// thread holds a leaked level: it is given back so the prober can finish. Where the answer
// should be false a short limit will do: a busy machine only makes false more likely.
bool othersCanTake(tmg::MutexInterface& m, std::chrono::milliseconds limit = testsupport::kWaitLimit) {
    std::atomic<bool> got{false};
    std::thread prober([&] {
        tmg::MutexLock probe(&m);
        got = true;
    });
    bool result = testsupport::waitUntil([&] { return got.load(); }, limit);
    if (!result) m.unlock();
    prober.join();
    return result;
}

TEST(MutexTest, NestedGuardsOnOneThreadDoNotBlock) {
    tmg::MutexInterface m;
    tmg::MutexLock outer(&m);
    {
        tmg::MutexLock inner(&m);
    }
    // Still held by the outer guard: relocking from here works, and the counter below
    // only reaches 1 after the outer guard lets go.
    int counter = 0;
    std::thread other([&] {
        tmg::MutexLock l(&m);
        ++counter;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(counter, 0);
    outer.unlock();
    other.join();
    EXPECT_EQ(counter, 1);
}

TEST(MutexTest, UnlockAndRelockAreIdempotent) {
    tmg::MutexInterface m;
    {
        tmg::MutexLock guard(&m);
        guard.relock();  // already held: no second level
        guard.unlock();
        guard.unlock();  // not held: nothing
    }  // destroyed after unlock: gives nothing back
    EXPECT_TRUE(othersCanTake(m));
    {
        tmg::MutexLock guard(&m, false);
        guard.relock();
        guard.relock();
    }
    EXPECT_TRUE(othersCanTake(m));

    // A guard that let go must not give back a level it does not hold: here the level
    // of the outer holder stays.
    m.lock();
    {
        tmg::MutexLock guard(&m);
        guard.unlock();
        guard.unlock();
    }
    EXPECT_FALSE(othersCanTake(m, std::chrono::milliseconds(200)));  // gives the outer level back
    EXPECT_TRUE(othersCanTake(m));
}

TEST(MutexTest, GuardsSerialiseThreads) {
    tmg::MutexInterface m;
    long total = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                tmg::MutexLock l(&m);
                tmg::MutexLock again(&m);
                ++total;
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(total, 40000);
}

}  // namespace
