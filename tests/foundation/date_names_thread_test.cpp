#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "foundation/date_time.h"

namespace {

// The first use of the name tables may happen on several threads at once.
TEST(DateNamesThreadTest, FirstUseFromManyThreads) {
    std::vector<std::thread> threads;
    std::vector<int> results(8, -2);
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([i, &results] {
            tmg::DateTime value(86400 * i);
            results[i] = tmg::DateTime::weekdayIndex(value.format("ww")) +
                         10 * tmg::DateTime::monthIndex(value.format("MMM"));
        });
    }
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(results[i], (4 + i) % 7) << i;
}

}  // namespace
