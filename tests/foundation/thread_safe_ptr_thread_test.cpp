#include "foundation/thread_safe_ptr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

std::atomic<int> freedCount{0};

struct Shared {
    ~Shared() { freedCount.fetch_add(1); }
    int payload = 7;
};

TEST(ThreadSafePtrThreadTest, ConcurrentCopiesFreeTheObjectOnce) {
    for (int round = 0; round < 20; ++round) {
        freedCount = 0;
        std::vector<std::thread> threads;
        {
            tmg::thread_safe_ptr<Shared> origin(new Shared);
            for (int t = 0; t < 6; ++t) {
                // Each thread starts from its own copy, made here, and then copies, assigns
                // and drops handles of the same ring while the others do.
                threads.emplace_back([mine = origin]() mutable {
                    std::vector<tmg::thread_safe_ptr<Shared>> held;
                    for (int i = 0; i < 500; ++i) {
                        held.push_back(mine);
                        if (i % 3 == 0 && held.size() > 1) held.erase(held.begin());
                        if (i % 7 == 0) mine = held.back();
                        EXPECT_EQ(held.back()->payload, 7);
                    }
                });
            }
        }  // origin goes while the threads still hold copies
        for (auto& t : threads) t.join();
        EXPECT_EQ(freedCount.load(), 1);
    }
}

}  // namespace
