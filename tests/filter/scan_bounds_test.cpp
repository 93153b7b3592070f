// The scan's bounds: long lines, the header budget, the time budget and failing reads.

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "filter/filter_settings.h"
#include "filter/message_scan.h"
#include "tests/support/capture_stdout.h"
#include "tests/support/processor_time.h"

using testsupport::CaptureStdout;

namespace {

const std::string longNotice =
    "X-Regex-Match: A very long line has been found, only the first 4096 characters have been scanned";

FilterSettings rulesOf(const std::string& text) {
    FilterSettings rules;
    std::istringstream in(text);
    rules.read(in);
    return rules;
}

// The added lines of a scan (no scanner line) and what it logged.
struct Scanned {
    std::vector<std::string> lines;
    std::string log;
};

Scanned scan(cgp::MessageScanner& scanner, const FilterSettings& rules, std::istream& in) {
    CaptureStdout capture;
    Scanned s;
    s.lines = scanner.scan(in, rules, true, 5).lines;
    s.log = capture.text();
    return s;
}

Scanned scan(const FilterSettings& rules, const std::string& message) {
    cgp::MessageScanner scanner;
    std::istringstream in(message);
    return scan(scanner, rules, in);
}

using Lines = std::vector<std::string>;

TEST(ScanBoundsTest, HeaderLinesAreCutAt4096AndTheRestIsReadPast) {
    const FilterSettings rules =
        rulesOf("HEADERS\n  Tail /Z$/\n  Start /^S/\n  Next /^T: y$/\nBODY\n  Body /^body$/\n");
    struct Case {
        std::size_t length;
        Lines lines;
    } cases[] = {
        {4096, {"X-Regex-Match: Body", "X-Regex-Match: Next", "X-Regex-Match: Start", "X-Regex-Match: Tail"}},
        {4097, {"X-Regex-Match: Body", "X-Regex-Match: Next", "X-Regex-Match: Start", longNotice}},
        // The line also takes the whole header budget, so the next is not tested.
        {1 << 20, {"X-Regex-Match: Body", "X-Regex-Match: Start", longNotice}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        cgp::MessageScanner scanner;
        std::istringstream in("S" + std::string(c.length - 2, 'x') + "Z\nT: y\n\nbody\n");
        EXPECT_EQ(scan(scanner, rules, in).lines, c.lines);
        EXPECT_LE(scanner.lineCapacity(), cgp::maxTestedLine);
    }
}

TEST(ScanBoundsTest, HeaderBudgetEndsBeforeTheLineThatStartsPastIt) {
    const FilterSettings rules = rulesOf("HEADERS\n  Last /^last/\n  Past /^past/\nBODY\n  Body /^body$/\n");
    const std::string logLine = "* [5] Header over 102400 bytes: the rest of the header was not tested\n";
    auto filler = [](std::size_t lineBytes, int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += std::string(lineBytes - 1, 'h') + "\n";
        return text;
    };
    struct Case {
        const char* what;
        std::string message;
        Lines lines;
        std::string log;
    } cases[] = {
        // 1023 lines of 100 bytes, then "last..." starts at byte 102300 and is tested.
        {"line starting before the budget", filler(100, 1023) + "last" + std::string(95, 'l') + "\npast\n\nbody\n",
         {"X-Regex-Match: Body", "X-Regex-Match: Last"}, logLine},
        {"line starting one byte before it", filler(102399, 1) + "last\npast\n\nbody\n",
         {"X-Regex-Match: Body", "X-Regex-Match: Last", longNotice}, logLine},
        {"line starting at it", filler(100, 1024) + "past\nlast\n" + filler(10, 1000) + "\nbody\n",
         {"X-Regex-Match: Body"}, logLine},
        {"budget reached by the last header line", filler(100, 1023) + "last" + std::string(95, 'l') + "\n\nbody\n",
         {"X-Regex-Match: Body", "X-Regex-Match: Last"}, ""},
        // One long line takes the whole budget, and is tested on its first 4096 bytes.
        {"one huge line", "last" + std::string(200000, 'l') + "\npast\n\nbody\n",
         {"X-Regex-Match: Body", "X-Regex-Match: Last", longNotice}, logLine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scanned s = scan(rules, c.message);
        EXPECT_EQ(s.lines, c.lines);
        EXPECT_EQ(s.log, c.log);
    }
}

TEST(ScanBoundsTest, TimeBudgetStopsTheScanWithTheNamesFoundBefore) {
    // Each body line costs this rule milliseconds; a thousand of them would take seconds.
    const FilterSettings rules = rulesOf(
        "CONFIG\n  MAXBODYLINES: 1000\nHEADERS\n  Early /^Subject/\nBODY\n  Slow /[a-z]*[a-z]*Q/\n  Late /^late$/\n");
    std::string message = "Subject: x\n\n";
    for (int i = 0; i < 1000; ++i) message += std::string(4000, 'a') + "\n";
    message += "late\n";

    cgp::MessageScanner scanner;
    scanner.setTimeBudgetForTests(std::chrono::milliseconds(50));
    std::istringstream in(message);
    // Processor time: the scan stops one test after the budget, but a busy machine can
    // hold that one test up for seconds.
    const double start = testsupport::processorSeconds(CLOCK_THREAD_CPUTIME_ID);
    Scanned s = scan(scanner, rules, in);
    const double took = testsupport::processorSeconds(CLOCK_THREAD_CPUTIME_ID) - start;

    EXPECT_EQ(s.lines, Lines{"X-Regex-Match: Early"});
    EXPECT_EQ(s.log, "* [5] Scan stopped after 50 milliseconds: the rest of the message was not tested\n");
    EXPECT_LT(took, 2.0);
    // Nothing was read past the line that was being tested.
    EXPECT_GT(message.size() - static_cast<std::size_t>(in.tellg()), 100000u);

    // The next message gets a budget of its own: the first one's has run out, and a busy
    // machine may hold a scan of three lines up for more than 50 ms.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    scanner.setTimeBudgetForTests(std::chrono::seconds(20));
    std::istringstream next("Subject: y\n\nlate\n");
    s = scan(scanner, rules, next);
    EXPECT_EQ(s.lines, (Lines{"X-Regex-Match: Early", "X-Regex-Match: Late"}));
    EXPECT_EQ(s.log, "");
}

// Serves its text, then fails the way a file stream does when a read fails.
class FailingBuffer : public std::streambuf {
public:
    explicit FailingBuffer(std::string served) : text(std::move(served)) {
        setg(text.data(), text.data(), text.data() + text.size());
    }

protected:
    int_type underflow() override { throw std::ios_base::failure("disk gone"); }

private:
    std::string text;
};

TEST(ScanBoundsTest, FailingReadEndsTheScanWithTheNamesFoundBefore) {
    const FilterSettings rules = rulesOf("HEADERS\n  Subject /^Subject/\n  Later /^Later/\nBODY\n  Body /./\n");
    std::string what = std::ios_base::failure("disk gone").what();
    for (const std::string& text : Lines{"Subject: x\nLat", "Subject: x\n\nbo", "Subject: x\n" + std::string(9000, 'x')}) {
        SCOPED_TRACE(text.size());
        FailingBuffer buffer(text);
        std::istream in(&buffer);
        cgp::MessageScanner scanner;
        Scanned s = scan(scanner, rules, in);
        EXPECT_EQ(s.lines, Lines{"X-Regex-Match: Subject"});
        EXPECT_EQ(s.log, "* [5] Message file could not be read: " + what + ": the rest of the message was not tested\n");
    }
}

}  // namespace
