#include "foundation/lock_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "foundation/process.h"
#include "tests/support/forked_child.h"
#include "tests/support/temp_folder.h"

namespace {

using testsupport::ForkedChild;
using testsupport::ChildPipe;
using testsupport::TempFolder;

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

long millisecondsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

// A child that takes the lock of name, reports its id, and keeps it until told to go on
// (or until the parent goes); it then releases it with unlockFile and exits 0.
struct HolderChild {
    ChildPipe report, gate;
    ForkedChild child;
    explicit HolderChild(const std::string& name)
        : child([&] {
              gate.closeWriting();
              unsigned id = tmg::lockFile(name, true, 0);
              report.put(static_cast<int>(id));
              gate.get();
              tmg::unlockFile(id);
              return 0;
          }) {}
    void release() { gate.put(1); }
};

// Runs lockFile(name, true, 0) in a child and gives the id it got.
int idInChild(const std::string& name) {
    ForkedChild child([&] { return tmg::lockFile(name, true, 0) != 0 ? 1 : 0; });
    return child.wait();
}

TEST(LockFileTest, RelativeNamesLiveInTheLockFolderAndIdsAreNeverReused) {
    EXPECT_EQ(tmg::lockDirectory(), "/tmp/");
    const std::string name = "vorpelin-test-job-" + std::to_string(::getpid());
    const std::string path = "/tmp/" + name + ".lck";
    unsigned first = tmg::lockFile(name, false, 0);
    ASSERT_NE(first, 0u);
    EXPECT_TRUE(exists(path));
    tmg::unlockFile(first);
    EXPECT_FALSE(exists(path));
    tmg::unlockFile(first);  // released already: nothing happens
    tmg::unlockFile(0);
    tmg::unlockFile(100000);

    unsigned second = tmg::lockFile(name, false, 0);
    EXPECT_EQ(second, first + 1);
    tmg::unlockFile(second);
}

TEST(LockFileTest, TriesAgainstAHolderInAnotherProcess) {
    TempFolder dir;
    const std::string name = dir / "job";
    HolderChild holder(name);
    ASSERT_GT(holder.report.get(), 0);

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(tmg::lockFile(name, true, 0), 0u);
    EXPECT_LT(millisecondsSince(start), 500);
    EXPECT_TRUE(exists(name + ".lck"));  // the holder's file stays
    EXPECT_TRUE(tmg::isLockFileHeld(name + ".lck"));

    start = std::chrono::steady_clock::now();
    EXPECT_EQ(tmg::lockFile(name, true, 2), 0u);
    EXPECT_GE(millisecondsSince(start), 1900);
    EXPECT_LT(millisecondsSince(start), 3500);

    holder.release();
    EXPECT_EQ(holder.child.wait(), 0);
    EXPECT_FALSE(exists(name + ".lck"));
    unsigned id = tmg::lockFile(name, true, 0);
    EXPECT_NE(id, 0u);
    tmg::unlockFile(id);
}

TEST(LockFileTest, AWaiterWokenByTheReleaseFindsThePathGone) {
    TempFolder dir;
    const std::string name = dir / "job";
    const std::string path = name + ".lck";
    unsigned id = tmg::lockFile(name, true, 0);
    ASSERT_NE(id, 0u);

    ChildPipe ready;
    ForkedChild waiter([&] {
        int fd = ::open(path.c_str(), O_RDWR);
        if (fd < 0) return 2;
        ready.put(1);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_len = 30;
        if (::fcntl(fd, F_SETLKW, &fl) != 0) return 3;
        return exists(path) ? 1 : 0;
    });
    ASSERT_EQ(ready.get(), 1);
    tmg::sleepMilliseconds(100);  // lets the child block in its wait
    tmg::unlockFile(id);
    EXPECT_EQ(waiter.wait(), 0) << "the waiter won the lock while the path still named the file";
}

TEST(LockFileTest, ALockWonWhileTheHolderReleasesIsOnTheLiveFile) {
    TempFolder dir;
    const std::string name = dir / "job";
    HolderChild holder(name);
    ASSERT_GT(holder.report.get(), 0);

    // Our first attempt fails on the holder's file; during the one-second wait the holder
    // deletes and unlocks it, so the second attempt must open the path anew.
    ForkedChild releaser([&] {
        tmg::sleepMilliseconds(300);
        holder.release();
        return 0;
    });
    unsigned id = tmg::lockFile(name, true, 3);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(releaser.wait(), 0);
    EXPECT_EQ(holder.child.wait(), 0);
    EXPECT_TRUE(exists(name + ".lck"));

    EXPECT_EQ(idInChild(name), 0) << "a third process got the lock as well";
    tmg::unlockFile(id);
    EXPECT_EQ(idInChild(name), 1);
}

TEST(LockFileTest, TwoIdsOnOnePathKeepTheLockUntilTheLastGoes) {
    TempFolder dir;
    const std::string name = dir / "job";
    unsigned first = tmg::lockFile(name, true, 0);
    unsigned second = tmg::lockFile(name, true, 0);
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_NE(first, second);

    tmg::unlockFile(first);
    EXPECT_TRUE(exists(name + ".lck"));
    EXPECT_EQ(idInChild(name), 0);

    tmg::unlockFile(second);
    EXPECT_FALSE(exists(name + ".lck"));
    EXPECT_EQ(idInChild(name), 1);
}

TEST(LockFileTest, TestingAHeldFileLeavesOurLockInPlace) {
    TempFolder dir;
    const std::string name = dir / "job";
    const std::string path = name + ".lck";
    unsigned id = tmg::lockFile(name, true, 0);
    ASSERT_NE(id, 0u);
    EXPECT_FALSE(tmg::isLockFileHeld(path));  // held by this process, not by another

    ForkedChild child([&] {
        if (!tmg::isLockFileHeld(path)) return 2;
        return tmg::lockFile(name, true, 0) == 0 ? 0 : 1;
    });
    EXPECT_EQ(child.wait(), 0);
    tmg::unlockFile(id);
}

TEST(LockFileTest, AFileLeftByAnEndedProcessIsFreeAndTestingCreatesNothing) {
    TempFolder dir;
    const std::string path = dir.write("left.lck", "");
    EXPECT_FALSE(tmg::isLockFileHeld(path));
    EXPECT_FALSE(tmg::isLockFileHeld(dir / "missing.lck"));
    EXPECT_FALSE(exists(dir / "missing.lck"));
    unsigned id = tmg::lockFile(dir / "left", true, 0);
    EXPECT_NE(id, 0u);
    tmg::unlockFile(id);
}

TEST(LockFileTest, APlantedLinkIsNotFollowed) {
    TempFolder dir;
    const std::string target = dir / "target";
    ASSERT_EQ(::symlink(target.c_str(), (dir / "job.lck").c_str()), 0);
    EXPECT_EQ(tmg::lockFile(dir / "job", true, 0), 0u);
    EXPECT_FALSE(exists(target));
}

TEST(LockFileTest, ProcessInstanceIsTakenOnce) {
    TempFolder dir;
    const std::string name = dir / "instance";
    ASSERT_TRUE(tmg::lockProcessInstance("ignored-", name, true));
    EXPECT_TRUE(tmg::lockProcessInstance("ignored-", name, true));
    EXPECT_TRUE(exists(name + ".lck"));
    ForkedChild other([&] {
        tmg::unlockProcessInstance();  // our id, copied by the fork, is not the child's lock
        return tmg::lockFile(name, true, 0) == 0 ? 0 : 1;
    });
    EXPECT_EQ(other.wait(), 0);
    tmg::unlockProcessInstance();
    EXPECT_FALSE(exists(name + ".lck"));
    tmg::unlockProcessInstance();
}

}  // namespace
