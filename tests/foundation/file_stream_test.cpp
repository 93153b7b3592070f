#include "foundation/file_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <type_traits>

#include "tests/support/temp_folder.h"

using testsupport::TempFolder;
using testsupport::readWhole;

namespace {

static_assert(!std::is_copy_constructible_v<tmg::ofstream>);
static_assert(std::is_base_of_v<std::ifstream, tmg::ifstream>);
static_assert(std::is_base_of_v<std::ofstream, tmg::ofstream>);

TEST(FileStreamTest, OutputTruncatesAndAppendAppends) {
    TempFolder dir;
    std::string path = dir.write("f", "a longer old text");
    {
        tmg::ofstream out(path);
        ASSERT_TRUE(out.is_open());
        out << "new";
    }
    EXPECT_EQ(readWhole(path), "new");
    {
        tmg::ofstream out(path, std::ios::out | std::ios::app);
        out << "+more";
    }
    EXPECT_EQ(readWhole(path), "new+more");
}

TEST(FileStreamTest, InputReadsLinesAndReportsMissingFiles) {
    TempFolder dir;
    tmg::ifstream in(dir.write("f", "one\ntwo"));
    ASSERT_TRUE(in.is_open());
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "one");
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "two");

    EXPECT_FALSE(tmg::ifstream(dir / "missing").is_open());
    EXPECT_FALSE(tmg::ofstream(dir / "no/such/folder").is_open());
}

}  // namespace
