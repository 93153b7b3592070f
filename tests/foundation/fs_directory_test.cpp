#include "foundation/fs_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "tests/support/temp_folder.h"

using testsupport::TempFolder;

namespace {

std::multiset<std::string> listAll(tmg::fs::Directory& handle) {
    std::multiset<std::string> names;
    while (tmg::fs::next(handle)) names.insert(tmg::fs::entryName(handle));
    return names;
}

std::multiset<std::string> listWithMask(const std::string& path, const std::string& mask) {
    tmg::fs::Directory handle = nullptr;
    tmg::fs::openWithMask(handle, path, mask);
    std::multiset<std::string> names = listAll(handle);
    tmg::fs::close(handle);
    return names;
}

class FsDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a.txt", "a.TXT", ".x.txt", ".hidden", "b", "c.txt.gz"}) dir.write(name, "");
        std::filesystem::create_directory(dir / "sub.txt");
    }
    TempFolder dir;
};

TEST_F(FsDirectoryTest, MasksAndHiddenNames) {
    const std::multiset<std::string> every = {"a.txt", "a.TXT", "b", "c.txt.gz", "sub.txt"};
    EXPECT_EQ(listWithMask(dir.path(), ""), every);
    EXPECT_EQ(listWithMask(dir.path(), "*"), every);
    EXPECT_EQ(listWithMask(dir.path(), "*.*"), every);
    EXPECT_EQ(listWithMask(dir.path(), "*.txt"), (std::multiset<std::string>{"a.txt", "sub.txt"}));
    EXPECT_EQ(listWithMask(dir.path(), "?"), (std::multiset<std::string>{"b"}));
    EXPECT_EQ(listWithMask(dir.path(), "none*"), std::multiset<std::string>{});

    tmg::fs::Directory handle = nullptr;
    tmg::fs::open(handle, dir.path());
    EXPECT_EQ(listAll(handle), every);
    tmg::fs::close(handle);
}

TEST_F(FsDirectoryTest, EntryNameAndRewind) {
    tmg::fs::Directory handle = nullptr;
    tmg::fs::open(handle, dir.path());
    EXPECT_EQ(tmg::fs::entryName(handle), "");
    std::multiset<std::string> first = listAll(handle);
    EXPECT_EQ(tmg::fs::entryName(handle), "");  // the end leaves no current entry
    EXPECT_FALSE(tmg::fs::next(handle));
    tmg::fs::rewind(handle);
    EXPECT_EQ(listAll(handle), first);
    tmg::fs::close(handle);
}

TEST(FsDirectoryMissingTest, FolderThatDoesNotOpen) {
    TempFolder dir;
    std::string file = dir.write("file", "");
    for (const std::string& path : {dir / "missing", file}) {
        tmg::fs::Directory handle = nullptr;
        tmg::fs::open(handle, path);
        ASSERT_NE(handle, nullptr);
        EXPECT_FALSE(tmg::fs::next(handle));
        EXPECT_EQ(tmg::fs::entryName(handle), "");
        tmg::fs::rewind(handle);
        tmg::fs::close(handle);
    }
    tmg::fs::Directory none = nullptr;
    EXPECT_FALSE(tmg::fs::next(none));
    EXPECT_EQ(tmg::fs::entryName(none), "");
    tmg::fs::close(none);
}

}  // namespace
