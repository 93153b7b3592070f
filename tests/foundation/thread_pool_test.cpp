#include "foundation/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "foundation/condition.h"
#include "foundation/process.h"
#include "tests/support/forked_child.h"
#include "tests/support/sanitizer_build.h"
#include "tests/support/thread_start_failure.h"
#include "tests/support/wait_until.h"

namespace {

const int waitLimitMs = static_cast<int>(testsupport::kWaitLimit.count());

// What the tasks of one test share.
struct Board {
    std::mutex mutex;
    std::vector<int> started;
    std::set<std::thread::id> threads;
    int running = 0;
    int mostAtOnce = 0;
    std::atomic<int> finished{0};
    std::atomic<int> unwound{0};
    std::atomic<bool> release{false};
    tmg::Condition allDone;
    int expected = 0;
};

struct Job {
    Board* board;
    int index;
};

void* recordAndSleep(void* argument) {
    Job* job = static_cast<Job*>(argument);
    Board& b = *job->board;
    {
        std::lock_guard<std::mutex> lock(b.mutex);
        b.started.push_back(job->index);
        b.threads.insert(std::this_thread::get_id());
        b.mostAtOnce = std::max(b.mostAtOnce, ++b.running);
    }
    tmg::sleepMilliseconds(20);
    {
        std::lock_guard<std::mutex> lock(b.mutex);
        --b.running;
    }
    if (++b.finished == b.expected) b.allDone.signal();
    return nullptr;
}

void* signalBoard(void* argument) {
    static_cast<Board*>(argument)->allDone.signal();
    return nullptr;
}

// Waits for the board's release flag (polling, so that cancellation finds a point), and
// counts in its guard's destructor when it is unwound instead.
struct CountUnwinding {
    Board* board;
    bool done = false;
    ~CountUnwinding() {
        if (!done) ++board->unwound;
    }
};
void* loopUntilReleased(void* argument) {
    Board* b = static_cast<Board*>(argument);
    CountUnwinding guard{b};
    {
        std::lock_guard<std::mutex> lock(b->mutex);
        ++b->running;
    }
    while (!b->release.load()) tmg::sleepMilliseconds(1);
    guard.done = true;
    ++b->finished;
    return nullptr;
}

int runningOn(Board& b) {
    std::lock_guard<std::mutex> lock(b.mutex);
    return b.running;
}

bool awaitRunning(Board& b, int n) {
    return testsupport::waitUntil([&] { return runningOn(b) >= n; });
}

// Runs five tasks submitted at once on a pool of maxWorkers; gives the board.
void runFive(Board& board, std::uint16_t maxWorkers) {
    board.expected = 5;
    std::vector<Job> jobs;
    for (int i = 0; i < 5; ++i) jobs.push_back({&board, i});
    tmg::ThreadPool pool(maxWorkers);
    for (Job& job : jobs) pool.submit(recordAndSleep, &job);
    ASSERT_TRUE(board.allDone.waitFor(waitLimitMs));
}

// Each task holds its worker until the test lets it go, so which task a freed worker takes
// next does not depend on how the threads are scheduled.
struct GatedJob {
    Board* board;
    int index;
    std::atomic<bool> go{false};
};

void* recordAndWait(void* argument) {
    GatedJob* job = static_cast<GatedJob*>(argument);
    Board& b = *job->board;
    {
        std::lock_guard<std::mutex> lock(b.mutex);
        b.started.push_back(job->index);
        b.threads.insert(std::this_thread::get_id());
        b.mostAtOnce = std::max(b.mostAtOnce, ++b.running);
    }
    while (!job->go.load()) tmg::sleepMilliseconds(1);
    {
        std::lock_guard<std::mutex> lock(b.mutex);
        --b.running;
    }
    ++b.finished;
    return nullptr;
}

std::vector<int> startedOn(Board& b) {
    std::lock_guard<std::mutex> lock(b.mutex);
    return b.started;
}

bool awaitStarted(Board& b, std::size_t n) {
    return testsupport::waitUntil([&] { return startedOn(b).size() >= n; });
}

TEST(ThreadPoolThreadTest, TwoWorkersRunTasksInOrderAndNeverMoreThanTwo) {
    Board board;
    GatedJob jobs[5];
    for (int i = 0; i < 5; ++i) jobs[i].board = &board, jobs[i].index = i;
    {
        tmg::ThreadPool pool(2);
        for (GatedJob& job : jobs) pool.submit(recordAndWait, &job);
        // The first two start on the two workers, in either order.
        ASSERT_TRUE(awaitStarted(board, 2));
        std::vector<int> first = startedOn(board);
        EXPECT_EQ(std::set<int>(first.begin(), first.end()), (std::set<int>{0, 1}));
        // Each task let go frees one worker, which takes the next task of the queue.
        for (int next = 2; next < 5; ++next) {
            jobs[next - 2].go = true;
            ASSERT_TRUE(awaitStarted(board, static_cast<std::size_t>(next) + 1));
            EXPECT_EQ(startedOn(board)[next], next);
        }
        jobs[3].go = true;
        jobs[4].go = true;
        EXPECT_TRUE(testsupport::waitUntil([&] { return board.finished.load() == 5; }));
        EXPECT_EQ(board.finished.load(), 5);
    }
    std::lock_guard<std::mutex> lock(board.mutex);
    EXPECT_EQ(board.mostAtOnce, 2);
    EXPECT_LE(board.threads.size(), 2u);
}

TEST(ThreadPoolThreadTest, OneWorkerRunsTasksInTheirOrder) {
    Board board;
    runFive(board, 1);
    std::lock_guard<std::mutex> lock(board.mutex);
    EXPECT_EQ(board.started, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(board.mostAtOnce, 1);
}

TEST(ThreadPoolThreadTest, OneWorkerTakesEveryTaskGivenOneAtATime) {
    // Each task is submitted while the worker may be between its task and going idle: a
    // lost wake-up shows as a task that waits for the next submit.
    Board board;
    tmg::ThreadPool pool(1);
    for (int i = 0; i < 200; ++i) {
        pool.submit(signalBoard, &board);
        ASSERT_TRUE(board.allDone.waitFor(waitLimitMs)) << "task " << i << " was not run";
    }
}

TEST(ThreadPoolThreadTest, StopWaitsForTasksInHandAndDropsTheQueue) {
    Board board;
    tmg::ThreadPool pool(2);
    for (int i = 0; i < 6; ++i) pool.submit(loopUntilReleased, &board);
    ASSERT_TRUE(awaitRunning(board, 2));
    // The two in hand may end only once stop has dropped the queue, or their workers would
    // take queued tasks: the release waits for the call, then gives it a margin that a busy
    // machine meets.
    std::atomic<bool> stopping{false};
    std::thread releaser([&] {
        testsupport::waitUntil([&] { return stopping.load(); });
        tmg::sleepMilliseconds(300);
        board.release = true;
    });
    stopping = true;
    pool.stop(false);
    releaser.join();
    EXPECT_EQ(board.finished.load(), 2);  // the two in hand; the queued four were dropped
    EXPECT_EQ(board.unwound.load(), 0);

    pool.submit(loopUntilReleased, &board);  // after stop: dropped
    pool.stop(false);                        // a second stop does nothing
    tmg::sleepMilliseconds(10);
    EXPECT_EQ(board.finished.load(), 2);
}

TEST(ThreadPoolThreadTest, StopWithCancelEndsLoopingTasks) {
    SKIP_IF_CANCELLATION_UNSUPPORTED();
    Board board;
    {
        tmg::ThreadPool pool(3);
        for (int i = 0; i < 3; ++i) pool.submit(loopUntilReleased, &board);
        ASSERT_TRUE(awaitRunning(board, 3));
        pool.stop(true);
        EXPECT_EQ(board.unwound.load(), 3);
        EXPECT_EQ(board.finished.load(), 0);
        pool.stop(true);
    }  // the destructor's stop does nothing more
    EXPECT_EQ(board.unwound.load(), 3);
}

TEST(ThreadPoolThreadTest, StopWithCancelEndsIdleWorkers) {
    SKIP_IF_CANCELLATION_UNSUPPORTED();
    Board board;
    tmg::ThreadPool idle(2);
    idle.submit(signalBoard, &board);
    ASSERT_TRUE(board.allDone.waitFor(waitLimitMs));
    tmg::sleepMilliseconds(5);
    idle.stop(true);  // cancelled while waiting for work
}

TEST(ThreadPoolThreadTest, StopOfIdleAndUnusedPools) {
    tmg::ThreadPool unused(4);
    unused.stop(true);

    Board board;
    tmg::ThreadPool idle(2);
    idle.submit(signalBoard, &board);
    ASSERT_TRUE(board.allDone.waitFor(waitLimitMs));
    tmg::sleepMilliseconds(5);
    idle.stop(false);  // the idle worker is woken and ends
}

TEST(ThreadPoolThreadTest, AWorkerWhoseThreadCannotStartIsFreed) {
#if defined(TEST_UNDER_ASAN) || defined(TEST_UNDER_TSAN)
    GTEST_SKIP() << "sanitizers reserve more address space than the limit leaves";
#else
    // A worker left in the list would fill the only place: the later task would never run.
    testsupport::ForkedChild child([] {
        Board board;
        tmg::ThreadPool pool(1);
        {
            testsupport::NoNewThreads noThreads;
            if (!noThreads.ok()) return 2;
            pool.submit(signalBoard, &board);
            if (board.allDone.waitFor(50)) return 3;  // nothing can have run
        }
        pool.submit(signalBoard, &board);
        if (!board.allDone.waitFor(waitLimitMs)) return 4;
        pool.stop(false);
        return 0;
    });
    EXPECT_EQ(child.wait(), 0);
#endif
}

}  // namespace
