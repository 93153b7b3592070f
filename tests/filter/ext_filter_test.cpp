#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "filter/ext_filter.h"
#include "foundation/file_stream.h"
#include "tests/support/capture_stdout.h"

using testsupport::CaptureStdout;

namespace {

// A message filter whose scan returns a set result.
class FixedFilter : public cgp::ExtFilter {
public:
    explicit FixedFilter(cgp::ScanResult result) : ExtFilter(false), result(std::move(result)) {}
    cgp::ScanResult scanMessage(std::uint32_t, const std::string&) override { return result; }

private:
    cgp::ScanResult result;
};

std::string answer(const cgp::ScanResult& result) {
    FixedFilter filter(result);
    std::istringstream input("4 FILE " PROJECT_SOURCE_DIR "/examples/vorpelin.regex\n");
    CaptureStdout capture;
    filter.run(input);
    const std::string ready = "* Ready to receive INTF command.\n";
    std::string text = capture.text();
    return text.compare(0, ready.size(), ready) == 0 ? text.substr(ready.size()) : "missing ready line: " + text;
}

TEST(ExtFilterTest, AnswerOfEveryAction) {
    struct Case {
        cgp::ScanResult result;
        std::string expected;
    } cases[] = {
        {{cgp::Accept, {"ignored"}}, "* [4] Accepting message\n4 OK\n"},
        {{cgp::Postpone, {"Try later", "busy \"now\""}},
         "* [4] Postponing message\n4 REJECTED \"Try later\\ebusy \\\"now\\\"\"\n"},
        {{cgp::Reject, {"No thanks"}}, "* [4] Rejecting message\n4 ERROR \"No thanks\"\n"},
        {{cgp::Discard, {"ignored"}}, "* [4] Discarding message\n4 DISCARD\n"},
        {{cgp::AddHeader, {"X-A: 1", "X-B: 2"}},
         "* [4] Adding Header(s) to message\n4 ADDHEADER \"X-A: 1\\eX-B: 2\"\n"},
        {{cgp::AddHeader, {}}, "* [4] Accepting message\n4 OK\n"},
        {{cgp::AddHeader, {"", "\r"}}, "* [4] Adding Header(s) to message\n4 ADDHEADER \"\\e\"\n"},
        {{cgp::AddHeader, {"\r"}}, "* [4] Accepting message\n4 OK\n"},
        {{static_cast<cgp::FilterAction>(9), {"x"}}, "* [4] Accepting message\n4 OK\n"},
        {{static_cast<cgp::FilterAction>(-1), {"x"}}, "* [4] Accepting message\n4 OK\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(answer(c.result), c.expected);
    }
}

TEST(ExtFilterTest, OnlyFileIsSupported) {
    FixedFilter filter(cgp::ExtFilter::acceptResult);
    EXPECT_TRUE(filter.isSupportedCommand("file"));
    EXPECT_FALSE(filter.isSupportedCommand("FILE"));
    EXPECT_FALSE(filter.isSupportedCommand("files"));
    EXPECT_EQ(cgp::ExtFilter::acceptResult.action, cgp::Accept);
    EXPECT_TRUE(cgp::ExtFilter::acceptResult.lines.empty());
}

TEST(EnvelopeTest, Recognised) {
    struct Case {
        std::string text;
        bool envelope;
    } cases[] = {
        {"A b\n\nSubject: x\n", true},
        {"P I 10-12-2026 <a@b>\nR W <c@d>\n\nFrom: x\n", true},
        {"a\tb\n", true},
        {"Z \r\n", true},
        {"\xC0 x\n", true},
        {"\xFF\x0Bx", true},
        {"\xF8 x\n", false},
        {"\x8B x\n", false},
        {"A \n", false},
        {"A b", true},
        {"A ", false},
        {"Ab c\n", false},
        {"1 b\n", false},
        {" A b\n", false},
        {"Subject: hello\n", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        std::istringstream stream(c.text);
        stream.seekg(2);
        EXPECT_EQ(cgp::ExtFilter::hasEnvelope(stream), c.envelope);
        EXPECT_EQ(stream.tellg(), 0);
        EXPECT_TRUE(stream.good());
    }
}

TEST(EnvelopeTest, SkipStopsAfterTheFirstEmptyLine) {
    struct Case {
        std::string text;
        bool skipped;
        std::string rest;
    } cases[] = {
        {"A b\nC d\n\nSubject: x\n\nbody\n", true, "Subject: x\n\nbody\n"},
        {"A b\n\r\nC d\n\nSubject: x\n", true, "Subject: x\n"},
        {"A b\nC d\n", true, ""},
        {"A b", true, ""},
        {"Subject: x\n\nbody\n", false, "Subject: x\n\nbody\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        std::istringstream stream(c.text);
        EXPECT_EQ(cgp::ExtFilter::skipEnvelope(stream), c.skipped);
        std::string rest(std::istreambuf_iterator<char>(stream), {});
        EXPECT_EQ(rest, c.rest);
    }
}

TEST(EnvelopeTest, StreamThatIsNotOpenHasNone) {
    tmg::ifstream closed;
    EXPECT_FALSE(cgp::ExtFilter::hasEnvelope(closed));
    EXPECT_FALSE(cgp::ExtFilter::skipEnvelope(closed));
}

}  // namespace
