// The filter class's own scan step, called directly.

#include <string>

#include <gtest/gtest.h>

#include "filter/vorpelin.h"
#include "tests/support/capture_stdout.h"

namespace {

TEST(VorpelinTest, MessageThatDoesNotOpenIsAcceptedWithANotice) {
    // The request handler has checked the file; it may still be gone when the scan opens it.
    Vorpelin filter;
    testsupport::CaptureStdout capture;
    cgp::ScanResult result = filter.scanMessage(3, "/nonexistent/vorpelin-test.msg");
    EXPECT_EQ(capture.text(), "* Unexpected error, contact Tolmagrid\n");
    EXPECT_EQ(result.action, cgp::Accept);
    EXPECT_TRUE(result.lines.empty());
}

}  // namespace
