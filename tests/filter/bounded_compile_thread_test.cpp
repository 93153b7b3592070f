// Compiles that run past their bound are abandoned, and the rest of the batch is compiled;
// a compile that waits without computing is not cut short. The slow compiles are injected
// through the test hook: the one shape of Boost known never to end is refused before any
// thread meets it.

#include "filter/bounded_compile.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "slow_compiles.h"

namespace {

using cgp::BoundedCompile;
using namespace std::chrono_literals;

std::vector<BoundedCompile> batchOf(const std::vector<std::string>& patterns) {
    std::vector<BoundedCompile> batch(patterns.size());
    for (std::size_t k = 0; k < patterns.size(); ++k) batch[k].pattern = patterns[k];
    return batch;
}

std::vector<BoundedCompile::Outcome> outcomes(const std::vector<BoundedCompile>& batch) {
    std::vector<BoundedCompile::Outcome> out;
    for (const BoundedCompile& item : batch) out.push_back(item.outcome);
    return out;
}

TEST(BoundedCompileThread, CompilesAndRefusesInOrder) {
    std::vector<BoundedCompile> batch = batchOf({"a+b", "(", "x", "[z-a]"});
    batch[2].flags |= boost::regex::icase;
    cgp::compileWithinBounds(batch);
    EXPECT_EQ(outcomes(batch), (std::vector<BoundedCompile::Outcome>{BoundedCompile::Compiled, BoundedCompile::Refused,
                                                                      BoundedCompile::Compiled, BoundedCompile::Refused}));
    EXPECT_TRUE(boost::regex_search(std::string("aab"), batch[0].expression));
    EXPECT_TRUE(boost::regex_search(std::string("X"), batch[2].expression));
    EXPECT_EQ(batch[2].pattern, "x");
}

TEST(BoundedCompileThread, ComputingPastTheBoundIsAbandonedAndTheRestCompiled) {
    filter_test::SlowCompiles slow(100ms, 60s);
    std::vector<BoundedCompile> batch = batchOf({"a", "spin", "(", "b", "spin", "c"});
    auto began = std::chrono::steady_clock::now();
    cgp::compileWithinBounds(batch);
    auto took = std::chrono::steady_clock::now() - began;
    EXPECT_EQ(outcomes(batch),
              (std::vector<BoundedCompile::Outcome>{BoundedCompile::Compiled, BoundedCompile::TooLong, BoundedCompile::Refused,
                                                    BoundedCompile::Compiled, BoundedCompile::TooLong, BoundedCompile::Compiled}));
    EXPECT_TRUE(boost::regex_search(std::string("xbx"), batch[3].expression));
    EXPECT_TRUE(boost::regex_search(std::string("c"), batch[5].expression));
    // The caller went on without the two threads that still compute, long before the
    // wall-clock bound.
    EXPECT_LT(took, 50s);
}

TEST(BoundedCompileThread, WaitingIsNotComputing) {
    // 300 ms of waiting, as for a processor on a busy machine, are well past 100 ms of the
    // wall clock but take no processor time.
    filter_test::SlowCompiles slow(100ms, 60s);
    std::vector<BoundedCompile> batch = batchOf({"sleep", "d"});
    cgp::compileWithinBounds(batch);
    EXPECT_EQ(outcomes(batch), (std::vector<BoundedCompile::Outcome>{BoundedCompile::Compiled, BoundedCompile::Compiled}));
}

TEST(BoundedCompileThread, TheWallClockBoundsACompileThatNeverComputes) {
    filter_test::SlowCompiles slow(60s, 200ms);
    std::vector<BoundedCompile> batch = batchOf({"stall", "e"});
    cgp::compileWithinBounds(batch);
    EXPECT_EQ(outcomes(batch), (std::vector<BoundedCompile::Outcome>{BoundedCompile::TooLong, BoundedCompile::Compiled}));
}

TEST(BoundedCompileThread, TheKnownEndlessShapeNeverReachesAThread) {
    filter_test::SlowCompiles slow(1s, 20s);
    std::vector<BoundedCompile> batch = batchOf({"(){2}+(?#)x", "a++(?#) x"});
    cgp::compileWithinBounds(batch);
    EXPECT_EQ(outcomes(batch), (std::vector<BoundedCompile::Outcome>{BoundedCompile::Refused, BoundedCompile::Refused}));
    EXPECT_EQ(slow.compiles(), 0);
}

// The compile of "held" waits until the process has begun to exit; the last exit handler
// then lets it return and gives the compile time to end before it looks.
std::atomic<bool> exitBegun{false};

void holdUntilExit(const std::string& pattern) {
    if (pattern != "held") return;
    while (!exitBegun.load()) std::this_thread::sleep_for(1ms);
}

void releaseHeldCompileAndLook() {
    exitBegun = true;
    std::this_thread::sleep_for(300ms);
    _exit(cgp::abandonedCompilesAlive() == 1 ? 0 : 3);
}

TEST(BoundedCompileThread, ACompileReturningWhileTheProcessExitsFreesNothing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // Registered before the compile's own handler, so it runs after it.
            std::atexit(releaseHeldCompileAndLook);
            cgp::setCompileBoundsForTests(60s, 100ms);
            cgp::setCompileHookForTests(holdUntilExit);
            std::vector<BoundedCompile> batch = batchOf({"held"});
            cgp::compileWithinBounds(batch);
            std::exit(batch[0].outcome == BoundedCompile::TooLong ? 0 : 4);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
