// Re-reading the rules file while the filter runs.

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "filter_process.h"

namespace filter_test {
namespace {

class ReloadTest : public testing::Test {
protected:
    void SetUp() override {
        folder.writeRules("HEADERS\n  First /^Subject/\n");
        folder.setModified("vorpelin.regex", 1000000);
        folder.write("m.msg", "Subject: x\n\nbody\n");
    }
    // Sends one request and returns the lines up to its answer (the reload notice, the
    // log line and the answer).
    std::string request(FilterProcess& process, int number, int lines) {
        process.send(std::to_string(number) + " FILE " + folder.path("m.msg") + "\n");
        return process.readLines(lines);
    }
    void replaceRules(const std::string& rules, long modified) {
        folder.writeRules(rules);
        folder.setModified("vorpelin.regex", modified);
    }
    // Asks for the message, answered with `answer`, until `count` prefilters have said they
    // are ready, or for `milliseconds` when that comes first; returns how many have.
    std::size_t readyAfter(FilterProcess& process, int& number, const std::string& names, std::size_t count,
                           int milliseconds) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        std::size_t ready = 0;
        while ((ready = readyLines(process)) < count && std::chrono::steady_clock::now() < until) {
            ++number;
            EXPECT_EQ(request(process, number, 2), addedAnswer(number, names));
        }
        return ready;
    }
    static std::size_t readyLines(const FilterProcess& process) {
        const std::string& aside = process.setAside();
        return static_cast<std::size_t>(std::count(aside.begin(), aside.end(), '\n'));
    }
    FilterFolder folder;
};

TEST_F(ReloadTest, ChangedModificationTimeReloads) {
    FilterProcess process({folder.program()});
    EXPECT_EQ(process.readLines(2), startLines);
    EXPECT_EQ(request(process, 1, 2), addedAnswer(1, "X-Regex-Match: First\\e"));

    replaceRules("BODY\n  Second /body/\n", 1000100);
    EXPECT_EQ(request(process, 2, 3), "* Settings changed, reloading.\n" + addedAnswer(2, "X-Regex-Match: Second\\e"));
    EXPECT_EQ(request(process, 3, 2), addedAnswer(3, "X-Regex-Match: Second\\e"));

    // New content with the old time is seen through its size.
    replaceRules("BODY\n  Third /body/\n", 1000100);
    EXPECT_EQ(request(process, 4, 3), "* Settings changed, reloading.\n" + addedAnswer(4, "X-Regex-Match: Third\\e"));

    // An older time is a change too, and the reader's messages come before the notice.
    replaceRules("BODY\n  Bad /(/\n  Fourth /body/\n", 999);
    EXPECT_EQ(request(process, 5, 4),
              "* Invalid Regex at line 2\n* Settings changed, reloading.\n" + addedAnswer(5, "X-Regex-Match: Fourth\\e"));

    Transcript run = process.finish();
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
}

TEST_F(ReloadTest, VanishedRulesFileKeepsTheOldRules) {
    FilterProcess process({folder.program()});
    process.readLines(2);
    std::remove(folder.path("vorpelin.regex").c_str());
    EXPECT_EQ(request(process, 1, 2), addedAnswer(1, "X-Regex-Match: First\\e"));
    EXPECT_EQ(request(process, 2, 2), addedAnswer(2, "X-Regex-Match: First\\e"));

    replaceRules("HEADERS\n  Back /^Subject/\n", 1000200);
    EXPECT_EQ(request(process, 3, 3), "* Settings changed, reloading.\n" + addedAnswer(3, "X-Regex-Match: Back\\e"));

    Transcript run = process.finish();
    // Reported once, not at every request.
    EXPECT_EQ(run.err, "Settings Parser: Unable to open file\n");
    EXPECT_EQ(run.status, 0);
}

TEST_F(ReloadTest, FolderInPlaceOfTheRulesFileKeepsTheOldRules) {
    FilterProcess process({folder.program()});
    process.readLines(2);
    std::remove(folder.path("vorpelin.regex").c_str());
    std::filesystem::create_directory(folder.path("vorpelin.regex"));
    folder.setModified("vorpelin.regex", 1000100);
    EXPECT_EQ(request(process, 1, 2), addedAnswer(1, "X-Regex-Match: First\\e"));
    EXPECT_EQ(request(process, 2, 2), addedAnswer(2, "X-Regex-Match: First\\e"));

    std::filesystem::remove(folder.path("vorpelin.regex"));
    replaceRules("HEADERS\n  Back /^Subject/\n", 1000200);
    EXPECT_EQ(request(process, 3, 3), "* Settings changed, reloading.\n" + addedAnswer(3, "X-Regex-Match: Back\\e"));

    Transcript run = process.finish();
    EXPECT_EQ(run.err, "Settings Parser: Unable to open file\n");
    EXPECT_EQ(run.status, 0);
}

TEST_F(ReloadTest, EveryReadStartsOutsideAnySection) {
    // The file ends in BODY; the rule above the first header of the new file is dropped,
    // as it would be at start-up.
    replaceRules("HEADERS\n  First /^Subject/\nBODY\n  Body /body/\n", 1000000);
    FilterProcess process({folder.program()});
    process.readLines(2);
    EXPECT_EQ(request(process, 1, 2), addedAnswer(1, "X-Regex-Match: Body\\eX-Regex-Match: First\\e"));

    replaceRules("  Orphan /body/\nHEADERS\n  Again /^Subject/\n", 1000300);
    EXPECT_EQ(request(process, 2, 3), "* Settings changed, reloading.\n" + addedAnswer(2, "X-Regex-Match: Again\\e"));
    process.finish();
}

TEST_F(ReloadTest, UnchangedRulesKeepTheirPrefilter) {
    const std::string rules = "HEADERS\n  First /^Subject/\n  Bad /(/\n";
    replaceRules(rules, 1000000);
    FilterProcess process({folder.program()});
    EXPECT_EQ(process.readLines(3), "* Tolmagrid's Vorpelin filter v1.1.1 running...\n* Invalid Regex at line 3\n"
                                    "* Ready to receive INTF command.\n");
    const std::string first = "X-Regex-Match: First\\e";
    int number = 0;
    ASSERT_EQ(readyAfter(process, number, first, 1, 20000), 1u);

    // Touched, then written again with other blanks and comments: read and reported as
    // ever, but no prefilter is built, so none says it is ready.
    replaceRules(rules, 1000100);
    ++number;
    EXPECT_EQ(request(process, number, 4),
              "* Invalid Regex at line 3\n* Settings changed, reloading.\n" + addedAnswer(number, first));
    replaceRules("; the same\nHEADERS\n\tFirst    /^Subject/\n\n  Bad /(/\n", 1000200);
    ++number;
    EXPECT_EQ(request(process, number, 4),
              "* Invalid Regex at line 5\n* Settings changed, reloading.\n" + addedAnswer(number, first));
    EXPECT_EQ(readyAfter(process, number, first, 2, 2000), 1u);

    // One rule changed: its prefilter follows.
    replaceRules("HEADERS\n  First /^Subj/\n  Bad /(/\n", 1000300);
    ++number;
    EXPECT_EQ(request(process, number, 4),
              "* Invalid Regex at line 3\n* Settings changed, reloading.\n" + addedAnswer(number, first));
    EXPECT_EQ(readyAfter(process, number, first, 2, 20000), 2u);

    Transcript run = process.finish();
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
}

TEST_F(ReloadTest, RuleWhoseCompileNeverEndsIsReportedAndMailFlows) {
    replaceRules("BODY\n  Endless /(){2}+(?#)x/\n  Body /body/\n", 1000000);
    FilterProcess process({folder.program()});
    EXPECT_EQ(process.readLines(3), "* Tolmagrid's Vorpelin filter v1.1.1 running...\n* Invalid Regex at line 2\n"
                                    "* Ready to receive INTF command.\n");
    process.send("1 INTF 3\n");
    EXPECT_EQ(process.readLines(1), "1 INTF 3\n");
    EXPECT_EQ(request(process, 2, 2), addedAnswer(2, "X-Regex-Match: Body\\e"));

    replaceRules("BODY\n  Body /body/\n  Again /a++(?#)x/\n  Endless /(){2}+(?#)x/i\n  Other /od/\n", 1000100);
    EXPECT_EQ(request(process, 3, 5), "* Invalid Regex at line 3\n* Invalid Regex at line 4\n* Settings changed, reloading.\n" +
                                          addedAnswer(3, "X-Regex-Match: Body\\eX-Regex-Match: Other\\e"));

    Transcript run = process.finish();
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
}

}  // namespace
}  // namespace filter_test
