#include "foundation/process.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace {

// Waits for the child and gives its exit status, or -1 when it did not exit normally
// (a signal ended it).
int exitStatusOf(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(ProcessTest, CurrentProcessIdIsOurs) { EXPECT_EQ(tmg::currentProcessId(), ::getpid()); }

TEST(ProcessTest, KillOfZeroIsRefusedAndSignalsNobody) {
    // The child leads a session of its own, so an unguarded kill(0) would end only itself.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        ::setsid();
        int report[2] = {tmg::killProcess(0), errno};
        ssize_t n = ::write(fds[1], report, sizeof report);
        ::_exit(n == sizeof report ? 0 : 3);
    }
    ::close(fds[1]);
    int report[2] = {0, 0};
    ASSERT_EQ(::read(fds[0], report, sizeof report), static_cast<ssize_t>(sizeof report));
    ::close(fds[0]);
    EXPECT_EQ(report[0], -1);
    EXPECT_EQ(report[1], EINVAL);
    EXPECT_EQ(exitStatusOf(child), 0);
}

TEST(ProcessTest, KillOfNegativeGroupIsRefusedAndTheChildLives) {
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(gate[1]);
        ::setpgid(0, 0);
        char c;
        while (::read(gate[0], &c, 1) > 0) {
        }
        ::_exit(0);
    }
    ::close(gate[0]);
    ::setpgid(child, child);  // either side may win the race; both make the same group

    errno = 0;
    EXPECT_EQ(tmg::killProcess(-child), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_TRUE(tmg::processExists(child));

    ::close(gate[1]);  // lets the child end on its own
    EXPECT_EQ(exitStatusOf(child), 0);
}

TEST(ProcessTest, KillEndsOneChild) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (;;) ::pause();
    }
    EXPECT_EQ(tmg::killProcess(child), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
}

TEST(ProcessTest, ExistsBeforeAndAfterReaping) {
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(gate[1]);
        char c;
        while (::read(gate[0], &c, 1) > 0) {
        }
        ::_exit(0);
    }
    ::close(gate[0]);
    EXPECT_TRUE(tmg::processExists(child));
    ::close(gate[1]);
    EXPECT_EQ(exitStatusOf(child), 0);
    EXPECT_FALSE(tmg::processExists(child));

    EXPECT_TRUE(tmg::processExists(::getpid()));
    EXPECT_FALSE(tmg::processExists(0));
    EXPECT_FALSE(tmg::processExists(-1));
}

TEST(ProcessTest, SleepMillisecondsSplitsSecondsAndNanoseconds) {
    for (unsigned ms : {0u, 40u, 1050u}) {
        auto start = std::chrono::steady_clock::now();
        tmg::sleepMilliseconds(ms);
        auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        EXPECT_GE(took.count(), static_cast<long>(ms)) << ms;
        EXPECT_LT(took.count(), static_cast<long>(ms) + 500) << ms;
    }
}

}  // namespace
