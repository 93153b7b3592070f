#include "foundation/lock_order.h"

#include <gtest/gtest.h>

#include <thread>

#include "foundation/mutex.h"

namespace {

using tmg::LockRank;
using tmg::MutexInterface;
using tmg::MutexLock;

// Turns the check on for one test and restores what it was.
class LockOrderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::testing::FLAGS_gtest_death_test_style = "threadsafe";
        was = tmg::lockOrderChecked();
        tmg::setLockOrderChecked(true);
    }
    void TearDown() override { tmg::setLockOrderChecked(was); }
    bool was = false;
};

TEST_F(LockOrderTest, OuterThenInnerRecursionAndUnrankedAreAllowed) {
    MutexInterface pool(LockRank::DataSetPool), parser(LockRank::Parser), output(LockRank::Output), plain;
    {
        MutexLock a(&pool);
        MutexLock b(&parser);
        MutexLock again(&pool);  // re-entry of a held mutex never blocks
        MutexLock c(&plain);
        MutexLock d(&output);
        MutexLock e(&plain);
    }
    // Released out of order, then the outer one is free to take again.
    MutexLock x(&pool);
    MutexLock y(&parser);
    x.unlock();
    y.unlock();
    MutexLock z(&parser);
    z.unlock();
    MutexLock w(&pool);
}

TEST_F(LockOrderTest, TakingAnOuterMutexInsideAnInnerOneAbortsWithBothNames) {
    MutexInterface pool(LockRank::DataSetPool), parser(LockRank::Parser);
    EXPECT_DEATH(
        {
            MutexLock inner(&parser);
            MutexLock outer(&pool);
        },
        "lock order violated: taking DataSetPool \\(rank 500\\) while holding Parser \\(rank 600\\)");
}

TEST_F(LockOrderTest, TwoMutexesOfOneRankMustNotNest) {
    MutexInterface first(LockRank::Router), second(LockRank::Router);
    EXPECT_DEATH(
        {
            MutexLock a(&first);
            MutexLock b(&second);
        },
        "taking Router \\(rank 200\\) while holding Router \\(rank 200\\)");
}

TEST_F(LockOrderTest, AnInversionDeepInTheHeldSetIsCaught) {
    // The lowest rank held is not the last one taken: the check looks at every held mutex.
    MutexInterface cache(LockRank::DirectoryCache), parser(LockRank::Parser), output(LockRank::Output);
    EXPECT_DEATH(
        {
            MutexLock a(&parser);
            MutexLock b(&output);
            b.unlock();
            MutexLock c(&cache);
        },
        "taking DirectoryCache \\(rank 400\\) while holding Parser \\(rank 600\\)");
}

TEST_F(LockOrderTest, CheckOffLetsAnyOrderPass) {
    tmg::setLockOrderChecked(false);
    MutexInterface pool(LockRank::DataSetPool), parser(LockRank::Parser);
    MutexLock inner(&parser);
    MutexLock outer(&pool);
}

TEST_F(LockOrderTest, ThreadsHoldTheirOwnSets) {
    // Another thread's inner lock does not constrain this one.
    MutexInterface output(LockRank::Output), parser(LockRank::Parser);
    MutexLock held(&output);
    std::thread other([&] { MutexLock lock(&parser); });
    other.join();
}

TEST(LockOrderNamesTest, EveryRankHasItsName) {
    EXPECT_STREQ(tmg::lockRankName(LockRank::Router), "Router");
    EXPECT_STREQ(tmg::lockRankName(LockRank::Output), "Output");
    EXPECT_STREQ(tmg::lockRankName(LockRank::Unranked), "unranked");
    EXPECT_STREQ(tmg::lockRankName(static_cast<LockRank>(12345)), "unranked");
}

}  // namespace
