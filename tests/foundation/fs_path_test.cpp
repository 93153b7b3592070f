#include "foundation/fs_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(FsPathTest, DirectoryOf) {
    const struct {
        const char* path;
        const char* folder;
    } cases[] = {
        {"file", "./"},      {"", "./"},          {"dir/file", "dir/"}, {"/file", "/"},
        {"/", "/"},          {"dir/", "dir/"},    {"a\\b\\c", "a/b/"},  {"/opt/filter/bin/prog", "/opt/filter/bin/"},
        {"a/b\\c", "a/b/"}, {"a//b", "a//"},
    };
    for (const auto& c : cases) EXPECT_EQ(tmg::fs::directoryOf(c.path), c.folder) << c.path;
}

TEST(FsPathTest, NormalizeSlashesWorksInPlace) {
    std::string path = "\\a\\b/c\\";
    std::string& result = tmg::fs::normalizeSlashes(path);
    EXPECT_EQ(&result, &path);
    EXPECT_EQ(path, "/a/b/c/");
}

TEST(FsPathTest, AbsolutePath) {
    EXPECT_EQ(tmg::fs::absolutePath("/etc/passwd"), "/etc/passwd");
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(tmg::fs::absolutePath("x/y"), std::string(cwd) + "/x/y");
    // The result must fit in 1023 bytes.
    std::string fits(1024 - 2 - std::string(cwd).size(), 'a');
    EXPECT_EQ(tmg::fs::absolutePath(fits).size(), 1023u);
    EXPECT_EQ(tmg::fs::absolutePath(fits + "a"), "");
}

}  // namespace
