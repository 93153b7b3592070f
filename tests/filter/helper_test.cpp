#include "filter/helper.h"

#include <gtest/gtest.h>

#include <sstream>

#include "foundation/exception.h"
#include "foundation/output_line.h"
#include "tests/support/capture_stdout.h"

using testsupport::CaptureStdout;

namespace {

const std::string kReady = "* Ready to receive INTF command.\n";
const std::string kQuitRefusal = "REJECTED \"QUIT command received, filter is shut down. Please restart the filter.\"";

struct Handled {
    std::uint32_t number;
    std::string command;
    std::string parameters;
    bool operator==(const Handled& o) const {
        return number == o.number && command == o.command && parameters == o.parameters;
    }
};

// Supports "file"; answers with the number, the command and the parameters in brackets.
class RecordingHelper : public cgp::Helper {
public:
    explicit RecordingHelper(bool threaded = false, const std::string& word = "REJECTED") : Helper(threaded, word) {}

    int protocolVersion(int requested) override {
        versionsAsked.push_back(requested);
        return Helper::protocolVersion(requested);
    }
    void onQuit() override { ++quits; }
    void processRequest(std::uint32_t number, const std::string& command, const std::string& parameters) override {
        handled.push_back({number, command, parameters});
        tmg::outline() << number << " HANDLED [" << parameters << "]";
    }
    bool isSupportedCommand(const std::string& command) const override { return command == "file"; }

    std::vector<int> versionsAsked;
    std::vector<Handled> handled;
    int quits = 0;
};

// Runs the loop over input and returns what it wrote after the ready line.
std::string session(RecordingHelper& helper, const std::string& input) {
    std::istringstream in(input);
    CaptureStdout out;
    helper.run(in);
    std::string text = out.text();
    EXPECT_EQ(text.substr(0, kReady.size()), kReady);
    return text.substr(kReady.size());
}

std::string session(const std::string& input) {
    RecordingHelper helper;
    return session(helper, input);
}

TEST(HelperTest, AnswersTable) {
    const struct {
        std::string input;
        std::string answer;
    } cases[] = {
        // Lines without a sequence number.
        {"\n", "(null) FAILURE\n"},
        {"   \n", "(null) FAILURE\n"},
        {"\r\n", "(null) FAILURE\n"},
        // Tabs are no delimiters: a lone tab is a sequence number without a command.
        {"\t\n", "\t FAILURE\n"},
        {"5\n", "5 FAILURE\n"},
        {"5   \r\n", "5 FAILURE\n"},
        // The protocol's own commands need no numeric sequence number.
        {"007 INTF 2\n", "007 INTF 3\n"},
        {"1 intf\n", "1 INTF 3\n"},
        {"1 Intf abc\n", "1 INTF 3\n"},
        {"1 INTF 99999999999\n", "1 INTF 3\n"},
        {"x INTF 3\r\n", "x INTF 3\n"},
        {"1 KEY whatever it says\n", "1 OK\n"},
        {"key-seq key\n", "key-seq OK\n"},
        // Requests.
        {"1 FILE /q/1.msg\n", "1 HANDLED [/q/1.msg]\n"},
        {"007 FILE /x\n", "7 HANDLED [/x]\n"},
        {"0 FILE /x\n", "0 HANDLED [/x]\n"},
        {"+5 FILE /x\n", "5 HANDLED [/x]\n"},
        {"12abc FILE /x\n", "12 HANDLED [/x]\n"},
        {"4294967295 FILE /x\n", "4294967295 HANDLED [/x]\n"},
        {"  7   file    /p q  \r\n", "7 HANDLED [/p q  \r]\n"},
        {"8 FILE last line without a line feed", "8 HANDLED [last line without a line feed]\n"},
        // Sequence numbers that are not 32-bit numbers.
        {"abc FILE /x\n", "abc REJECTED \"Error: seqID should be a number\"\n"},
        {"00 FILE /x\n", "00 REJECTED \"Error: seqID should be a number\"\n"},
        {"-1 FILE /x\n", "-1 REJECTED \"Error: seqID should be a number\"\n"},
        {"4294967296 FILE /x\n", "4294967296 REJECTED \"Error: seqID should be a number\"\n"},
        {"18446744073709551617 FILE /x\n", "18446744073709551617 REJECTED \"Error: seqID should be a number\"\n"},
        // Missing parameters, unsupported commands, and the order of those checks.
        {"3 FILE\n", "3 FAILURE \"Missing parameter(s)\"\n"},
        {"3 FILE   \r\n", "3 FAILURE \"Missing parameter(s)\"\n"},
        {"3 SCAN /x\n", "3 FAILURE\n"},
        {"3 SCAN\n", "3 FAILURE \"Missing parameter(s)\"\n"},
        {"abc SCAN\n", "abc REJECTED \"Error: seqID should be a number\"\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(session(c.input), c.answer) << "input: " << c.input;
}

TEST(HelperTest, HandlerGetsLowerCasedCommandAndRawParameters) {
    RecordingHelper helper;
    session(helper, "7 FiLe  /path with blanks \r\n");
    ASSERT_EQ(helper.handled.size(), 1u);
    EXPECT_EQ(helper.handled[0], (Handled{7, "file", "/path with blanks \r"}));
}

TEST(HelperTest, QuitShutsDownUntilInputEnds) {
    RecordingHelper helper;
    std::string out = session(helper,
                              "1 FILE /a\n"
                              "9 QUIT\n"
                              "10 INTF 3\n"
                              "11\n"
                              "\n"
                              "12 FILE /b\n"
                              "13 CRASH\n"
                              "14 QUIT\n");
    EXPECT_EQ(out,
              "1 HANDLED [/a]\n"
              "* 9: Filter is shutting down...\n"
              "9 OK \"Filter is shut down and waiting for standard output to be closed\"\n"
              "10 " + kQuitRefusal + "\n"
              "11 " + kQuitRefusal + "\n"
              "(null) FAILURE\n"
              "12 " + kQuitRefusal + "\n"
              "13 " + kQuitRefusal + "\n"
              "14 " + kQuitRefusal + "\n");
    EXPECT_EQ(helper.quits, 1);
    EXPECT_EQ(helper.handled.size(), 1u);
}

TEST(HelperTest, RefusalsCarryTheEnginesWord) {
    RecordingHelper helper(false, "NOPE");
    EXPECT_EQ(session(helper, "abc FILE /x\n1 QUIT\n2 KEY\n"),
              "abc NOPE \"Error: seqID should be a number\"\n"
              "* 1: Filter is shutting down...\n"
              "1 OK \"Filter is shut down and waiting for standard output to be closed\"\n"
              "2 NOPE \"QUIT command received, filter is shut down. Please restart the filter.\"\n");
}

TEST(HelperTest, FirstRequestWithoutIntfIsHandledAsAfterIntf3) {
    RecordingHelper helper;
    EXPECT_EQ(session(helper, "1 FILE /a\n2 FILE /b\n"), "1 HANDLED [/a]\n2 HANDLED [/b]\n");
    EXPECT_EQ(helper.versionsAsked, std::vector<int>{3});

    RecordingHelper explicitIntf;
    session(explicitIntf, "1 INTF 2\n2 INTF\n3 INTF x\n4 FILE /a\n");
    EXPECT_EQ(explicitIntf.versionsAsked, (std::vector<int>{2, 1, 0}));

    // Refused lines do not count as the first request.
    RecordingHelper refusedFirst;
    session(refusedFirst, "x FILE /a\n1 FILE\n1 SCAN /a\n");
    EXPECT_TRUE(refusedFirst.versionsAsked.empty());
}

// The crash command ends the loop with an exception for the caller, which logs it and
// ends the process with a non-zero status; answers written before it stay written.
TEST(HelperTest, CrashLeavesTheLoopWithAnException) {
    RecordingHelper helper;
    std::istringstream in("1 KEY\n2 CRASH\n3 KEY\n");
    CaptureStdout out;
    try {
        helper.run(in);
        ADD_FAILURE() << "crash did not throw";
    } catch (const tmg::Exception& e) {
        EXPECT_EQ(e.getMessage(), "unhandled exception request");
        EXPECT_EQ(e.getCode(), 0);
    }
    EXPECT_EQ(out.text(), kReady + "1 OK\n");
}

TEST(HelperTest, ErrorsOfTheHandlerAreNotCaught) {
    struct Throwing : RecordingHelper {
        void processRequest(std::uint32_t, const std::string&, const std::string&) override {
            throw tmg::Exception("handler failed", 5);
        }
    } helper;
    std::istringstream in("1 FILE /a\n");
    CaptureStdout out;
    EXPECT_THROW(helper.run(in), tmg::Exception);
}

TEST(HelperTest, InputThatEndsOrFails) {
    EXPECT_EQ(session(""), "");
    RecordingHelper helper;
    std::istringstream in("1 KEY\n");
    in.setstate(std::ios::failbit);
    CaptureStdout out;
    helper.run(in);
    EXPECT_EQ(out.text(), kReady);
}

TEST(HelperTest, JoinLines) {
    const struct {
        std::vector<std::string> lines;
        std::string joined;
    } cases[] = {
        {{}, ""},
        {{"X-A: 1"}, "X-A: 1"},
        {{"X-A: 1", "X-B: \"2\""}, "X-A: 1\\eX-B: \\\"2\\\""},
        {{"", ""}, "\\e"},
        {{"a\\b", "\tc\r"}, "a\\\\b\\e\\tc"},
    };
    for (const auto& c : cases) {
        std::string out = "old";
        cgp::Helper::joinLines(c.lines, out);
        EXPECT_EQ(out, c.joined);
    }
}

}  // namespace
