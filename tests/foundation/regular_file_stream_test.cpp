#include "foundation/regular_file_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>
#include <string>

#include "tests/support/failing_read.h"
#include "tests/support/temp_folder.h"

using testsupport::TempFolder;

namespace {

std::string rest(std::istream& in) { return std::string(std::istreambuf_iterator<char>(in), {}); }

TEST(RegularFileStreamTest, OnlyRegularFilesOpenAndNothingBlocks) {
    TempFolder dir;
    std::string file = dir.write("f", "text");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0700), 0);
    ASSERT_EQ(::symlink(file.c_str(), (dir / "link").c_str()), 0);
    struct Case {
        std::string path;
        tmg::OpenOutcome outcome;
    } cases[] = {
        {file, tmg::OpenOutcome::Opened},
        {dir / "link", tmg::OpenOutcome::Opened},
        {dir / "missing", tmg::OpenOutcome::NotFound},
        {dir / "folder", tmg::OpenOutcome::NotFound},
        // A FIFO nobody writes would hold a blocking open for ever.
        {dir / "fifo", tmg::OpenOutcome::NotFound},
        {"/dev/zero", tmg::OpenOutcome::NotFound},
        {"", tmg::OpenOutcome::NotFound},
        {file + std::string(1, '\0') + "x", tmg::OpenOutcome::NotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        tmg::RegularFileStream in(c.path);
        EXPECT_EQ(in.outcome(), c.outcome);
        EXPECT_EQ(in.is_open(), c.outcome == tmg::OpenOutcome::Opened);
        EXPECT_EQ(rest(in), c.outcome == tmg::OpenOutcome::Opened ? "text" : "");
        EXPECT_EQ(in.readError(), 0);
    }
}

TEST(RegularFileStreamTest, FileThatDoesNotOpenIsUnreadable) {
    if (::geteuid() == 0) GTEST_SKIP() << "root opens every file";
    TempFolder dir;
    std::string file = dir.write("f", "text");
    ASSERT_EQ(::chmod(file.c_str(), 0), 0);
    tmg::RegularFileStream in(file);
    EXPECT_EQ(in.outcome(), tmg::OpenOutcome::Unreadable);
    EXPECT_TRUE(in.identity().exists);
}

TEST(RegularFileStreamTest, ReadsPastItsBufferAndRewinds) {
    TempFolder dir;
    std::string text;
    for (int i = 0; i < 40000; ++i) text += std::to_string(i) + "\n";
    ASSERT_GT(text.size(), 3 * 64 * 1024u);
    tmg::RegularFileStream in(dir.write("f", text));
    char first[3];
    in.read(first, 3);
    EXPECT_EQ(std::string(first, 3), "0\n1");
    EXPECT_EQ(in.tellg(), 3);
    in.seekg(0);
    EXPECT_EQ(rest(in), text);
    in.clear();
    in.seekg(100000);
    EXPECT_EQ(in.tellg(), 100000);
    EXPECT_EQ(rest(in), text.substr(100000));
}

TEST(RegularFileStreamTest, ReadErrorEndsTheInputAndIsKept) {
    const int expected = testsupport::failingReadErrno();
    if (expected == 0) GTEST_SKIP() << testsupport::failingReadPath() << " reads here";
    tmg::RegularFileStream in(testsupport::failingReadPath());
    ASSERT_TRUE(in.is_open());
    std::string line;
    EXPECT_FALSE(std::getline(in, line));
    EXPECT_TRUE(in.eof());
    EXPECT_EQ(in.readError(), expected);
    // It stays ended, even after a rewind.
    in.clear();
    in.seekg(0);
    EXPECT_EQ(rest(in), "");
}

TEST(RegularFileStreamTest, IdentityFollowsEveryChange) {
    TempFolder dir;
    std::string file = dir.write("f", "one");
    auto identity = [&] { return tmg::RegularFileStream(file).identity(); };
    auto setTime = [&](long nanoseconds) {
        struct timespec times[2] = {{1000000, nanoseconds}, {1000000, nanoseconds}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    };
    setTime(100);
    tmg::fs::FileIdentity before = identity();
    EXPECT_TRUE(before.exists);
    EXPECT_EQ(identity(), before);
    EXPECT_EQ(tmg::fs::identityOf(file), before);

    setTime(200);  // the same second
    EXPECT_NE(identity(), before);
    setTime(100);
    EXPECT_EQ(identity(), before);

    dir.write("f", "four");  // the size
    setTime(100);
    EXPECT_NE(identity(), before);

    dir.write("g", "one");  // the inode, same size and time
    ASSERT_EQ(::rename((dir / "g").c_str(), file.c_str()), 0);
    setTime(100);
    EXPECT_NE(identity(), before);

    ::unlink(file.c_str());
    EXPECT_FALSE(identity().exists);
    EXPECT_EQ(identity(), tmg::fs::FileIdentity());
}

}  // namespace
