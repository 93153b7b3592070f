#include "filter/heap_release_internal.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/sanitizer_build.h"

namespace {

#if defined(TEST_UNDER_ASAN) || defined(TEST_UNDER_TSAN) || !defined(__GLIBC__)
constexpr bool glibcHeap = false;  // the sanitizers' allocators keep memory their own way
#else
constexpr bool glibcHeap = true;
#endif

long residentKiB() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// A compile thread's way with memory: many mid-sized blocks, written, then all freed.
void churn(std::size_t blocks, std::size_t blockBytes) {
    std::vector<char*> held;
    for (std::size_t k = 0; k < blocks; ++k) {
        char* block = static_cast<char*>(std::malloc(blockBytes));
        if (!block) break;
        std::memset(block, 1, blockBytes);
        held.push_back(block);
    }
    for (auto it = held.rbegin(); it != held.rend(); ++it) std::free(*it);
}

}  // namespace

// Memory a thread freed goes back to the system even after a large block was freed, which
// left to glibc raises its thresholds so that a thread's heap keeps 24 MiB of free top.
TEST(HeapReleaseThread, MemoryFreedOnAThreadLeavesTheProcess) {
    if (!glibcHeap) GTEST_SKIP() << "not glibc's heap";
    cgp::keepFreedMemoryReturnable();
    cgp::keepFreedMemoryReturnable();  // again: no harm
    void* large = std::malloc(16 << 20);
    ASSERT_NE(large, nullptr);
    std::memset(large, 1, 16 << 20);
    std::free(large);

    const long before = residentKiB();
    std::thread(churn, 384, 64 * 1024).join();  // 24 MiB
    EXPECT_LT(residentKiB() - before, 8 * 1024);
}
