#include <stdio.h>
#include <unistd.h>

#include <iostream>

#include <gtest/gtest.h>

#include "tests/support/capture_stdout.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(CaptureStdoutTest, CatchesEveryWayOfWritingToDescriptorOne) {
    testsupport::CaptureStdout capture;
    printf("printf %d\n", 1);
    puts("puts");
    std::cout << "cout" << std::endl;
    ssize_t written = write(1, "write\n", 6);
    std::cout << "unflushed";  // text() flushes before it reads
    std::string first = capture.text();
    printf("more\n");
    std::string second = capture.text();
    capture.stop();
    EXPECT_EQ(written, 6);
    EXPECT_EQ(first, "printf 1\nputs\ncout\nwrite\nunflushed");
    EXPECT_EQ(second, "printf 1\nputs\ncout\nwrite\nunflushedmore\n");
    capture.stop();
    EXPECT_EQ(capture.text(), second);
}

TEST(CaptureStdoutTest, EachCaptureStartsEmpty) {
    { testsupport::CaptureStdout first; puts("first"); }
    testsupport::CaptureStdout second;
    EXPECT_EQ(second.text(), "");
}

TEST(TempFolderTest, IsRemovedWithWhatItHolds) {
    std::string path;
    {
        testsupport::TempFolder folder;
        path = folder.path();
        ASSERT_FALSE(path.empty());
        std::string file = folder.write("a", "text");
        EXPECT_EQ(file, folder / "a");
        EXPECT_EQ(testsupport::readWhole(file), "text");
        EXPECT_EQ(folder.write("a", "t"), file);
        EXPECT_EQ(testsupport::readWhole(file), "t");
    }
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    EXPECT_EQ(testsupport::readWhole(path + "/a"), "");
}

}  // namespace
