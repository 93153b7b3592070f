#include "foundation/dated_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <set>
#include <string>

#include "foundation/date_time.h"
#include "foundation/dated_files_internal.h"
#include "foundation/fs_predicates.h"
#include "tests/support/temp_folder.h"

namespace {

using testsupport::TempFolder;

// 2024-01-31 23:59:59 UTC.
const std::time_t kLastOfJanuary = 1706745599;

std::set<std::string> listed(const std::string& base, const std::string& tag) {
    std::set<std::string> files{"stale entry"};
    tmg::fs::listDatedFiles(base, tag, files);
    return files;
}

TEST(DatedFilesTest, RotationAppendsTheDateAndOnesOnClashes) {
    TempFolder dir;
    const tmg::DateTime at(kLastOfJanuary);
    const std::string log = dir.write("log", "1");
    EXPECT_EQ(tmg::fs::internal::rotateFileAt(log, "", at), ".20240131-235959");
    EXPECT_TRUE(tmg::fs::isFile(log + ".20240131-235959"));
    EXPECT_FALSE(tmg::fs::isFile(log));

    dir.write("log", "2");
    dir.write("log.20240131-235959.1", "");
    EXPECT_EQ(tmg::fs::internal::rotateFileAt(log, "", at), ".20240131-235959.1.1");
    EXPECT_EQ(testsupport::readWhole(log + ".20240131-235959.1.1"), "2");

    dir.write("log", "3");
    EXPECT_EQ(tmg::fs::internal::rotateFileAt(log, ".old", at), ".old.20240131-235959");
    EXPECT_EQ(tmg::fs::internal::rotateFileAt(dir / "missing", "", at), "");

    dir.write("now", "");
    EXPECT_EQ(tmg::fs::rotateFile(dir / "now", "").size(), 16u);
}

TEST(DatedFilesTest, OnlyDatedFilesOfTheBaseAndTagAreListed) {
    TempFolder dir;
    for (const char* name : {"app.log", "app.logX", "app.log.20230101-000000", "app.log.old.20230101-000000",
                             "app.log.19991231", "app.log.+20230102", "other.log.20230101-000000", "app.log.2"})
        dir.write(name, "");
    const std::string base = dir / "app.log";
    EXPECT_EQ(listed(base, ""), (std::set<std::string>{base + ".20230101-000000", base + ".+20230102"}));
    EXPECT_EQ(listed(base, ".old"), (std::set<std::string>{base + ".old.20230101-000000"}));
    EXPECT_EQ(listed(dir / "none", ""), std::set<std::string>{});
    std::set<std::string> none;
    EXPECT_FALSE(tmg::fs::listDatedFiles(dir / "missing-folder/app.log", "", none));
}

TEST(DatedFilesTest, DeletionKeepsTheCutoffDayAndUndatedFiles) {
    TempFolder dir;
    for (const char* name : {"app.log", "app.logX", "app.log.20230101-000000", "app.log.20240123-235959",
                             "app.log.20240124-000000", "app.log.20240131-120000"})
        dir.write(name, "");
    const std::string base = dir / "app.log";
    // Seven days before the last of January is the 24th: files of the 23rd and before go.
    EXPECT_TRUE(tmg::fs::internal::deleteOlderThanAt(base, "", 7, kLastOfJanuary));
    EXPECT_EQ(listed(base, ""), (std::set<std::string>{base + ".20240124-000000", base + ".20240131-120000"}));
    EXPECT_TRUE(tmg::fs::isFile(base));
    EXPECT_TRUE(tmg::fs::isFile(base + "X"));
    EXPECT_FALSE(tmg::fs::internal::deleteOlderThanAt(base, "", 7, kLastOfJanuary));

    // 30000 days lie before 1970: nothing is that old. (In 32 bits the span wraps and
    // the cutoff lands in the future.)
    EXPECT_FALSE(tmg::fs::internal::deleteOlderThanAt(base, "", 30000, kLastOfJanuary));
    EXPECT_EQ(listed(base, "").size(), 2u);
}

TEST(DatedFilesTest, ARelativeBaseWorksInTheCurrentFolder) {
    TempFolder dir;
    const std::string recent = "app.log" + tmg::DateTime::now(false).format(".YYYYMMDD-hhmmss");
    dir.write("app.log.20200101-000000", "");
    dir.write(recent, "");
    char saved[4096];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);

    std::set<std::string> files = listed("app.log", "");
    bool deleted = tmg::fs::deleteOlderThan("app.log", "", 7);
    std::set<std::string> left = listed("app.log", "");

    ASSERT_EQ(::chdir(saved), 0);
    EXPECT_EQ(files, (std::set<std::string>{"app.log.20200101-000000", recent}));
    EXPECT_TRUE(deleted);
    EXPECT_EQ(left, std::set<std::string>{recent});
}

}  // namespace
