#pragma once

// Slow compiles for the tests of the compile bounds, injected through the compile hook:
// the pattern "spin" computes until released, "sleep" waits 300 ms, "stall" waits until
// released; every other pattern compiles at once.

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "filter/bounded_compile.h"
#include "tests/support/wait_until.h"

namespace filter_test {

class SlowCompiles {
public:
    // Installs the hook with the given bounds on each compile.
    SlowCompiles(std::chrono::nanoseconds processorTime, std::chrono::nanoseconds wallTime) {
        released = false;
        seen = 0;
        cgp::setCompileBoundsForTests(processorTime, wallTime);
        cgp::setCompileHookForTests(hook);
    }
    // Releases the abandoned compiles and waits until their threads have freed what they
    // hold, so that none outlives the test (one still freeing while the process exits would
    // be held until the end); puts the default bounds back.
    ~SlowCompiles() {
        released = true;
        testsupport::waitUntil([] { return running.load() == 0 && cgp::abandonedCompilesAlive() == 0; },
                               std::chrono::seconds(30));
        EXPECT_EQ(running.load(), 0);
        EXPECT_EQ(cgp::abandonedCompilesAlive(), 0);
        cgp::setCompileHookForTests(nullptr);
        cgp::setCompileBoundsForTests(std::chrono::seconds(1), std::chrono::seconds(20));
    }
    SlowCompiles(const SlowCompiles&) = delete;
    SlowCompiles& operator=(const SlowCompiles&) = delete;

    // How many patterns the hook has been shown.
    int compiles() const { return seen.load(); }

private:
    static void hook(const std::string& pattern) {
        ++running;
        ++seen;
        if (pattern == "spin") {
            volatile unsigned long sum = 0;
            while (!released.load()) sum = sum + 1;
        } else if (pattern == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        } else if (pattern == "stall") {
            while (!released.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        --running;
    }

    static inline std::atomic<bool> released{false};
    static inline std::atomic<int> running{0};
    static inline std::atomic<int> seen{0};
};

}  // namespace filter_test
