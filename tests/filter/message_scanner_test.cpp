// What the message scan reads of a message: its lines up to the last one tested, and no more.

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "filter/filter_settings.h"
#include "filter/message_scan.h"

namespace {

const std::string longNotice =
    "X-Regex-Match: A very long line has been found, only the first 4096 characters have been scanned";

TEST(MessageScannerTest, ReadsNothingPastTheLastTestedLine) {
    const std::string big(5000, 'y');
    struct Case {
        const char* what;
        int maxBodyLines;
        std::string message, unread;
        bool notice;
    } cases[] = {
        {"one body line", 0, "S: x\n\nL1\nL2\n", "L2\n", false},
        {"three body lines", 2, "S: x\n\nL1\nL2\nL3\nL4\n", "L4\n", false},
        {"long last line", 0, "S: x\n\n" + big + "\nL2\n", std::string(5000 - 4097, 'y') + "\nL2\n", true},
        {"long line before the last", 1, "S: x\n\n" + big + "\nL2\nL3\n", "L3\n", true},
        {"line of exactly 4096", 0, "S: x\n\n" + std::string(4096, 'y') + "\nL2\n", "L2\n", false},
        {"no body", 5, "S: x\nT: y", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FilterSettings rules;
        std::istringstream text("CONFIG\n  MAXBODYLINES: " + std::to_string(c.maxBodyLines) + "\nBODY\n  Y /y/\n");
        rules.read(text);
        std::istringstream in(c.message);
        cgp::MessageScanner scanner;
        cgp::ScanResult result = scanner.scan(in, rules, true, 1);
        in.clear();
        std::string unread(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(unread, c.unread);
        bool notice = !result.lines.empty() && result.lines.back() == longNotice;
        EXPECT_EQ(notice, c.notice);
    }
}

}  // namespace
