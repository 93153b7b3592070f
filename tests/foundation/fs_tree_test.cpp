#include "foundation/fs_tree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/temp_folder.h"

using testsupport::TempFolder;
using testsupport::readWhole;

namespace fs = std::filesystem;

namespace {

mode_t modeOf(const std::string& path) {
    struct stat st = {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(FsTreeTest, MakeDirectoriesWithParents) {
    TempFolder dir;
    mode_t old = ::umask(022);
    EXPECT_TRUE(tmg::fs::makeDirectories(dir / "a/b/c/", true));
    ::umask(old);
    for (const char* part : {"a", "a/b", "a/b/c"}) {
        EXPECT_TRUE(fs::is_directory(dir / part)) << part;
        EXPECT_EQ(modeOf(dir / part), 0755u) << part;
        struct stat st = {};
        ::stat((dir / part).c_str(), &st);
        EXPECT_EQ(st.st_uid, ::getuid());
        EXPECT_EQ(st.st_gid, ::getgid());
    }
    EXPECT_TRUE(tmg::fs::makeDirectories(dir / "a/b", false));  // already there
    EXPECT_TRUE(tmg::fs::makeDirectories("/", false));
    EXPECT_TRUE(tmg::fs::makeDirectories(dir.path() + "\\a\\d", false));
    EXPECT_TRUE(fs::is_directory(dir / "a/d"));
}

TEST(FsTreeTest, MakeDirectoriesWithoutParentsOrOverAFile) {
    TempFolder dir;
    EXPECT_FALSE(tmg::fs::makeDirectories(dir / "x/y", false));
    EXPECT_FALSE(fs::exists(dir / "x"));
    dir.write("file", "");
    EXPECT_FALSE(tmg::fs::makeDirectories(dir / "file", true));
    EXPECT_FALSE(tmg::fs::makeDirectories(dir / "file/sub", true));
    EXPECT_TRUE(fs::is_regular_file(dir / "file"));
}

// The system takes no path this long, so nothing is made; the call must neither run out
// of stack nor hold a copy of the path for every parent on the way.
TEST(FsTreeTest, MakeDirectoriesRefusesOverlongPaths) {
    TempFolder dir;
    std::string deep = dir.path();
    for (int i = 0; i < 500000; ++i) deep += "/a";
    EXPECT_FALSE(tmg::fs::makeDirectories(deep, true));
    EXPECT_FALSE(fs::exists(dir / "a"));
}

// A folder that was already there keeps its owner: only what the call made is handed
// to the process's user.
TEST(FsTreeTest, MakeDirectoriesLeavesExistingOwnersAlone) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a folder away";
    TempFolder dir;
    std::string parent = dir / "parent";
    ASSERT_EQ(::mkdir(parent.c_str(), 0755), 0);
    ASSERT_EQ(::chown(parent.c_str(), 12345, 12345), 0);
    EXPECT_TRUE(tmg::fs::makeDirectories(parent + "/child", true));
    struct stat st = {};
    ::stat(parent.c_str(), &st);
    EXPECT_EQ(st.st_uid, 12345u);
    EXPECT_EQ(st.st_gid, 12345u);
    ::stat((parent + "/child").c_str(), &st);
    EXPECT_EQ(st.st_uid, ::getuid());
}

TEST(FsTreeTest, RemoveTree) {
    TempFolder dir;
    std::string top = dir / "top";
    fs::create_directories(top + "/a/b");
    dir.write("top/f", "1");
    dir.write("top/a/b/g", "2");
    EXPECT_FALSE(tmg::fs::removeTree(top, false));  // not empty
    EXPECT_TRUE(tmg::fs::removeTree(top, true));
    EXPECT_FALSE(fs::exists(top));

    fs::create_directory(top);
    EXPECT_TRUE(tmg::fs::removeTree(top, false));
    EXPECT_FALSE(tmg::fs::removeTree(dir / "missing", true));
}

TEST(FsTreeTest, RemoveTreeKeepsAFolderWithHiddenNames) {
    TempFolder dir;
    std::string top = dir / "top";
    fs::create_directories(top + "/sub");
    dir.write("top/.hidden", "keep");
    dir.write("top/sub/f", "");
    EXPECT_FALSE(tmg::fs::removeTree(top, true));
    EXPECT_EQ(readWhole(top + "/.hidden"), "keep");
    EXPECT_FALSE(fs::exists(top + "/sub"));
}

// A link inside the tree is removed as a link: the folder and the file it points at,
// outside the tree, keep everything.
TEST(FsTreeTest, RemoveTreeNeverFollowsLinks) {
    TempFolder dir;
    std::string outside = dir / "outside";
    fs::create_directories(outside + "/deep");
    dir.write("outside/precious", "data");
    dir.write("outside/deep/more", "data");
    dir.write("lone", "data");
    std::string top = dir / "top";
    fs::create_directories(top + "/sub");
    fs::create_directory_symlink(outside, top + "/folder-link");
    fs::create_directory_symlink(outside, top + "/sub/folder-link");
    fs::create_symlink(dir / "lone", top + "/file-link");

    EXPECT_TRUE(tmg::fs::removeTree(top, true));
    EXPECT_FALSE(fs::exists(top));
    EXPECT_EQ(readWhole(outside + "/precious"), "data");
    EXPECT_EQ(readWhole(outside + "/deep/more"), "data");
    EXPECT_EQ(readWhole(dir / "lone"), "data");

    // Named directly, a link to a folder is not a folder to empty.
    fs::create_directory_symlink(outside, dir / "top-link");
    EXPECT_FALSE(tmg::fs::removeTree(dir / "top-link", true));
    EXPECT_EQ(readWhole(outside + "/precious"), "data");
}

TEST(FsTreeTest, CopyTreeCopiesFoldersAndFilesWhole) {
    TempFolder dir;
    fs::create_directories(dir / "src/a/b");
    std::string big;
    for (int i = 0; i < 300000; ++i) big.push_back(static_cast<char>(i * 7 % 251));
    dir.write("src/big", big);
    dir.write("src/a/b/small", "small");
    dir.write("src/.hidden", "not copied");
    ASSERT_EQ(::chmod((dir / "src/a/b/small").c_str(), 0640), 0);

    tmg::fs::copyTree(dir / "src", dir.path() + "\\dst");
    EXPECT_EQ(readWhole(dir / "dst/big"), big);
    EXPECT_EQ(readWhole(dir / "dst/a/b/small"), "small");
    EXPECT_EQ(modeOf(dir / "dst/a/b/small"), 0640u);
    EXPECT_FALSE(fs::exists(dir / "dst/.hidden"));
}

TEST(FsTreeTest, CopyTreeTruncatesWhatItOverwrites) {
    TempFolder dir;
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "dst");
    dir.write("src/f", "short");
    dir.write("dst/f", "a much longer old text");
    dir.write("dst/other", "stays");
    tmg::fs::copyTree(dir / "src/", dir / "dst/");
    EXPECT_EQ(readWhole(dir / "dst/f"), "short");
    EXPECT_EQ(readWhole(dir / "dst/other"), "stays");
}

// Links, pipes and sockets are not copied: reading a FIFO would block for ever, and a
// link to a folder outside would copy what does not belong to the tree.
TEST(FsTreeTest, CopyTreeCopiesRegularFilesOnly) {
    TempFolder dir;
    fs::create_directories(dir / "outside");
    dir.write("outside/secret", "s");
    fs::create_directories(dir / "src");
    dir.write("src/plain", "p");
    fs::create_directory_symlink(dir / "outside", dir / "src/folder-link");
    fs::create_symlink(dir / "outside/secret", dir / "src/file-link");
    ASSERT_EQ(::mkfifo((dir / "src/fifo").c_str(), 0600), 0);

    // A link planted in the target is not written through, and a FIFO there does not
    // hold the copy.
    fs::create_directories(dir / "dst");
    fs::create_symlink(dir / "outside/secret", dir / "dst/plain");
    dir.write("src/plain2", "p2");
    ASSERT_EQ(::mkfifo((dir / "dst/plain2").c_str(), 0600), 0);

    tmg::fs::copyTree(dir / "src", dir / "dst");
    EXPECT_EQ(readWhole(dir / "outside/secret"), "s");
    EXPECT_TRUE(fs::is_symlink(dir / "dst/plain"));
    EXPECT_TRUE(fs::is_fifo(dir / "dst/plain2"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "dst/folder-link")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "dst/file-link")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "dst/fifo")));
}

// Copying a folder onto itself, under any spelling, or over a hard link of a source
// file, must not empty the files it reads.
TEST(FsTreeTest, CopyTreeOntoItsOwnFilesLosesNothing) {
    TempFolder dir;
    fs::create_directories(dir / "src/a");
    dir.write("src/f", "top");
    dir.write("src/a/g", "deep");
    tmg::fs::copyTree(dir / "src", dir / "src");
    tmg::fs::copyTree(dir / "src", dir / "src/a/..");
    EXPECT_EQ(readWhole(dir / "src/f"), "top");
    EXPECT_EQ(readWhole(dir / "src/a/g"), "deep");

    fs::create_directories(dir / "dst");
    fs::create_hard_link(dir / "src/f", dir / "dst/f");
    tmg::fs::copyTree(dir / "src", dir / "dst");
    EXPECT_EQ(readWhole(dir / "src/f"), "top");
    EXPECT_EQ(readWhole(dir / "dst/a/g"), "deep");
}

// A source file that cannot be read leaves the target it would overwrite as it was.
TEST(FsTreeTest, CopyTreeKeepsATargetWhoseSourceDoesNotOpen) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads whatever the mode says";
    TempFolder dir;
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "dst");
    dir.write("src/f", "new");
    dir.write("dst/f", "old");
    ASSERT_EQ(::chmod((dir / "src/f").c_str(), 0000), 0);
    tmg::fs::copyTree(dir / "src", dir / "dst");
    EXPECT_EQ(readWhole(dir / "dst/f"), "old");
}

// An empty target is no path, not the root folder.
TEST(FsTreeTest, CopyTreeWithAnEmptyPathCopiesNothing) {
    TempFolder dir;
    fs::create_directories(dir / "src");
    const std::string probe = "vorpelin-copytree-probe-" + std::to_string(::getpid());
    dir.write("src/" + probe, "x");
    tmg::fs::copyTree(dir / "src", "");
    std::error_code ignored;
    bool wroteIntoRoot = fs::remove("/" + probe, ignored);
    EXPECT_FALSE(wroteIntoRoot);
}

TEST(FsTreeTest, CopyTreeIntoItselfEnds) {
    TempFolder dir;
    fs::create_directories(dir / "src/a");
    dir.write("src/a/f", "x");
    tmg::fs::copyTree(dir / "src", dir / "src/copy");
    EXPECT_EQ(readWhole(dir / "src/copy/a/f"), "x");
    EXPECT_FALSE(fs::exists(dir / "src/copy/copy"));
}

}  // namespace
