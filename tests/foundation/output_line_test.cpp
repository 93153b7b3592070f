#include "foundation/output_line.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/support/capture_stdout.h"
#include "foundation/log_line.h"
#include "foundation/ostream_func.h"

using testsupport::CaptureStdout;

namespace {

std::string outlineOf(const std::string& text) {
    CaptureStdout out;
    tmg::outline() << text;
    return out.text();
}

TEST(OutlineTest, EndsWithExactlyOneLineFeed) {
    EXPECT_EQ(outlineOf("200 OK"), "200 OK\n");
    EXPECT_EQ(outlineOf("text\n\n\n"), "text\n");
    EXPECT_EQ(outlineOf(""), "\n");
    EXPECT_EQ(outlineOf("a\nb\r"), "a\nb\r\n");
}

TEST(OutlineTest, IntegersUseStreamFormatting) {
    CaptureStdout out;
    tmg::outline() << 12 << ' ' << -3;
    EXPECT_EQ(out.text(), "12 -3\n");
}

TEST(LoglineTest, PrefixForms) {
    CaptureStdout out;
    tmg::logline() << "";
    tmg::logline() << "plain";
    tmg::logline(7u) << "numbered";
    tmg::logline(0u) << "zero is no number";
    tmg::logline(std::string("PrefixTag1")) << "tagged";
    tmg::logline(9u, std::string("PrefixTag2")) << "both";
    EXPECT_EQ(out.text(),
              "* \n"
              "* plain\n"
              "* [7] numbered\n"
              "* zero is no number\n"
              "* PrefixTag1: tagged\n"
              "* [9] PrefixTag2: both\n");
}

TEST(LoglineTest, EveryLineOfTheMessageGetsThePrefix) {
    CaptureStdout out;
    tmg::logline(3u) << "one\ntwo\n\n\n";
    tmg::logline(3u, std::string("MultiTag")) << "a\n\nb";
    EXPECT_EQ(out.text(),
              "* [3] one\n* [3] two\n"
              "* [3] MultiTag: a\n* [3] MultiTag: \n* [3] MultiTag: b\n");
}

TEST(LoglineTest, RepeatFilterCountsRunsPerTag) {
    CaptureStdout out;
    const std::string a("RepeatA"), b("RepeatB");
    tmg::logline(a) << "same";
    tmg::logline(1u, a) << "same";  // the number is not compared
    tmg::logline(b) << "other tag";
    tmg::logline(a) << "same";
    tmg::logline() << "untagged";
    tmg::logline() << "untagged";
    tmg::logline(a) << "new";     // run of 3 ends
    tmg::logline(a) << "new";
    tmg::logline(a) << "newer";   // run of 2 ends
    tmg::logline(a) << "newest";  // run of 1: no notice
    tmg::logline(b) << "other tag";
    tmg::logline(b) << "changed";
    EXPECT_EQ(out.text(),
              "* RepeatA: same\n"
              "* RepeatB: other tag\n"
              "* untagged\n"
              "* untagged\n"
              "* RepeatA: (Last message repeated 3 times)\n"
              "* RepeatA: new\n"
              "* RepeatA: (Last message repeated 2 times)\n"
              "* RepeatA: newer\n"
              "* RepeatA: newest\n"
              "* RepeatB: (Last message repeated 2 times)\n"
              "* RepeatB: changed\n");
}

TEST(LoglineTest, RepeatComparesTheMessageBeforeLineFeedsAreStripped) {
    CaptureStdout out;
    const std::string t("RepeatRaw");
    tmg::logline(t) << "x";
    tmg::logline(t) << "x\n";  // different text as collected
    EXPECT_EQ(out.text(), "* RepeatRaw: x\n* RepeatRaw: x\n");
}

TEST(LoglineThreadTest, LinesOfManyThreadsNeverInterleaveAndRepeatsAddUp) {
    CaptureStdout out;
    const std::string tag("ThreadRepeat");
    constexpr int kThreads = 8, kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i) {
                tmg::logline(tag) << "same message";
                tmg::logline(static_cast<unsigned>(t + 1)) << "line " << i << " of thread " << t;
            }
        });
    for (auto& th : threads) th.join();
    tmg::logline(tag) << "end";

    std::istringstream lines(out.text());
    std::string line;
    int plain = 0, tagged = 0;
    std::string notice;
    while (std::getline(lines, line)) {
        if (line == "* ThreadRepeat: same message") ++tagged;
        else if (line.rfind("* ThreadRepeat: (Last", 0) == 0) notice = line;
        else if (line != "* ThreadRepeat: end") {
            ++plain;
            ASSERT_EQ(line.rfind("* [", 0), 0u) << line;
            ASSERT_NE(line.find("] line "), std::string::npos) << line;
        }
    }
    EXPECT_EQ(plain, kThreads * kLines);
    EXPECT_EQ(tagged, 1);
    EXPECT_EQ(notice, "* ThreadRepeat: (Last message repeated " + std::to_string(kThreads * kLines) + " times)");
}

struct Pair : tmg::ostream_func {
    void operator()(std::ostream& out) const override { out << "(" << 1 << "," << "two" << ")"; }
};

TEST(OstreamFuncTest, ToStringIsWhatItPrints) {
    Pair p;
    std::ostringstream direct;
    p(direct);
    EXPECT_EQ(p.toString(), direct.str());
    EXPECT_EQ(p.toString(), "(1,two)");
}

}  // namespace
