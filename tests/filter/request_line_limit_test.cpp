// Request lines longer than the engine takes.

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "filter/helper.h"
#include "filter/request_line.h"
#include "foundation/output_line.h"
#include "tests/support/capture_stdout.h"

namespace {

// Supports "file" and answers with the number and the length of the parameters.
class LengthHelper : public cgp::Helper {
public:
    LengthHelper() : Helper(false, "REJECTED") {}
    void processRequest(std::uint32_t number, const std::string&, const std::string& parameters) override {
        tmg::outline() << number << " LENGTH " << parameters.size();
    }
    bool isSupportedCommand(const std::string& command) const override { return command == "file"; }
};

std::string session(const std::string& input) {
    LengthHelper helper;
    std::istringstream in(input);
    testsupport::CaptureStdout out;
    helper.run(in);
    const std::string ready = "* Ready to receive INTF command.\n";
    std::string text = out.text();
    return text.compare(0, ready.size(), ready) == 0 ? text.substr(ready.size()) : "no ready line: " + text;
}

TEST(RequestLineLimitTest, LineOverTheLimitIsReadPastAndRefused) {
    const std::size_t limit = cgp::maxRequestLine;
    const std::string atLimit = "1 FILE " + std::string(limit - 7, 'p');
    const std::string overLimit = "2 FILE " + std::string(2 * limit, 'p');
    struct Case {
        const char* what;
        std::string input, answers;
    } cases[] = {
        {"at the limit", atLimit + "\n3 FILE x\n", "1 LENGTH " + std::to_string(limit - 7) + "\n3 LENGTH 1\n"},
        {"one over", atLimit + "p\n3 FILE x\n", "1 FAILURE\n3 LENGTH 1\n"},
        {"twice over", overLimit + "\n3 FILE x\n", "2 FAILURE\n3 LENGTH 1\n"},
        {"over, at the end of the input", overLimit, "2 FAILURE\n"},
        {"no seq in its start", std::string(limit + 1, ' ') + "\n3 FILE x\n", "(null) FAILURE\n3 LENGTH 1\n"},
        {"after QUIT", "1 QUIT\n" + overLimit + "\n",
         "1 OK \"Filter is shut down and waiting for standard output to be closed\"\n"
         "2 REJECTED \"QUIT command received, filter is shut down. Please restart the filter.\"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string answers = session(c.input);
        // The shut-down log line comes between.
        const std::string quitLog = "* 1: Filter is shutting down...\n";
        std::size_t at = answers.find(quitLog);
        if (at != std::string::npos) answers.erase(at, quitLog.size());
        EXPECT_EQ(answers, c.answers);
    }
}

}  // namespace
