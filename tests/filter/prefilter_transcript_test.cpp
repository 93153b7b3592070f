// The filter says once per generation of rules when their prefilter is ready; what it
// answers is the same before and after.

#include <algorithm>
#include <chrono>
#include <regex>
#include <thread>

#include "filter_process.h"

namespace filter_test {
namespace {

// Asks for the message, checking every answer, until the ready lines set aside number
// `count`; returns the number of the next request. Waits by the clock, not by requests: on
// a busy machine the build takes far longer than on an idle one.
int untilReady(FilterProcess& process, const FilterFolder& folder, int number, std::size_t count,
               const std::string& names) {
    const std::regex ready("\\* Prefilter ready: [0-9]+ rules in [0-9]+\\.[0-9] s\n");
    const auto limit = std::chrono::seconds(60);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!process.waitForSetAside(count, std::chrono::milliseconds(0))) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "no prefilter ready line in " << limit.count() << " s";
            return number;
        }
        process.send(std::to_string(number) + " FILE " + folder.path("m.msg") + "\n");
        EXPECT_EQ(process.readLines(2), addedAnswer(number, names));
        ++number;
    }
    const std::string& text = process.setAside();
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), count) << text;
    std::size_t last = text.rfind('\n', text.size() - 2);
    EXPECT_TRUE(std::regex_match(text.substr(last == std::string::npos ? 0 : last + 1), ready)) << text;
    return number;
}

TEST(PrefilterTranscriptTest, ReadyOncePerGenerationAndTheSameAnswers) {
    FilterFolder folder;
    folder.writeRules("HEADERS\n  First /^Subject: (free|cheap) \\w+/i\nBODY\n  Body /b[aeiou]dy/\n  Never /zq{3}/\n");
    folder.setModified("vorpelin.regex", 1000000);
    folder.write("m.msg", "Subject: FREE stuff\n\nbody\n");
    FilterProcess process({folder.program()});
    EXPECT_EQ(process.readLines(2), startLines);
    int next = untilReady(process, folder, 1, 1, "X-Regex-Match: Body\\eX-Regex-Match: First\\e");
    process.send(std::to_string(next) + " FILE " + folder.path("m.msg") + "\n");
    EXPECT_EQ(process.readLines(2), addedAnswer(next, "X-Regex-Match: Body\\eX-Regex-Match: First\\e"));

    folder.writeRules("BODY\n  Second /^body$/\n");
    folder.setModified("vorpelin.regex", 1000100);
    ++next;
    process.send(std::to_string(next) + " FILE " + folder.path("m.msg") + "\n");
    EXPECT_EQ(process.readLines(3), "* Settings changed, reloading.\n" + addedAnswer(next, "X-Regex-Match: Second\\e"));
    untilReady(process, folder, next + 1, 2, "X-Regex-Match: Second\\e");

    Transcript run = process.finish();
    const std::string& ready = process.setAside();
    EXPECT_EQ(std::count(ready.begin(), ready.end(), '\n'), 2) << ready;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
}

// A quantifier after a comment group repeats the atom before it. Enough other rules that
// the first requests are answered before the prefilter serves, some while its first stage
// does; the answers are the same before, meanwhile and with the final prefilter.
TEST(PrefilterTranscriptTest, QuantifiersAfterCommentsAnswerTheSameWithThePrefilter) {
    FilterFolder folder;
    std::string rules = "HEADERS\n  R1 /#(?#)*@/i\n  R6 /9](?#)?[[:upper:]]/i\n"
                        "BODY\n  R2 /a(?#x)*b/\n  R3 /c(?#){0}v/\n  R4 /x(?#)?/\n  R5 /(ab)(?#x)*c/\n";
    for (int i = 0; i < 1500; ++i) rules += "  Filler" + std::to_string(i) + " /zq" + std::to_string(i) + "[a-f]+y/\n";
    folder.writeRules(rules);
    struct Row {
        const char* message;
        const char* names;
    } rows[] = {
        {"@\n", "X-Regex-Match: R1\\e"},  // header lines only: no body pass
        {"9a\n", "X-Regex-Match: R6\\e"},
        {"S: x\n\nb", "X-Regex-Match: R2\\eX-Regex-Match: R4\\e"},  // R4 matches every line
        {"S: x\n\nv", "X-Regex-Match: R3\\eX-Regex-Match: R4\\e"},
        {"S: x\n\nhello", "X-Regex-Match: R4\\e"},
        {"S: x\n\nc", "X-Regex-Match: R4\\eX-Regex-Match: R5\\e"},
    };
    for (std::size_t r = 0; r < sizeof rows / sizeof *rows; ++r) folder.write("m" + std::to_string(r), rows[r].message);
    FilterProcess process({folder.program()});
    process.setAsideLinesStartingWith("* Prefilter ");
    EXPECT_EQ(process.readLines(2), startLines);
    int number = 1;
    auto askAll = [&]() {
        for (std::size_t r = 0; r < sizeof rows / sizeof *rows; ++r, ++number) {
            process.send(std::to_string(number) + " FILE " + folder.path("m" + std::to_string(r)) + "\n");
            EXPECT_EQ(process.readLines(2), addedAnswer(number, rows[r].names)) << rows[r].message;
        }
    };
    // By the clock, generously: the build of 1,500 rules takes seconds here.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(100);
    while (process.setAside().find("* Prefilter ready: ") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        askAll();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_NE(process.setAside().find("* Prefilter ready: "), std::string::npos) << "no prefilter in 100 s";
    askAll();
    Transcript run = process.finish();
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
}

}  // namespace
}  // namespace filter_test
