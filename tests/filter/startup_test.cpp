// The filter program's start-up: banner, rules file, switch, end of input.

#include "filter_process.h"

namespace filter_test {
namespace {

const std::string banner = "* Tolmagrid's Vorpelin filter v1.1.1 running...\n";
const std::string rules = "HEADERS\n  Hello /^Subject: hello/\n";
const std::string message = "Subject: hello\n\nbody\n";

TEST(StartupTest, WithoutRulesFileQuitsWithoutAnsweringAndStatusZero) {
    FilterFolder folder;
    Transcript run = runFilter(folder, "1 INTF 3\n2 FILE x\n");
    EXPECT_EQ(run.out, banner + "* Unable to read settings, fatal error, quitting.\n");
    EXPECT_EQ(run.err, "Settings Parser: Unable to open file\n");
    EXPECT_EQ(run.status, 0);
}

TEST(StartupTest, WithRulesFileAndEmptyInput) {
    FilterFolder folder;
    folder.writeRules(rules);
    Transcript run = runFilter(folder, "");
    EXPECT_EQ(run.out, startLines);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
}

TEST(StartupTest, RulesFileIsFoundBesideTheProgram) {
    FilterFolder folder;
    folder.writeRules(rules);
    folder.write("m.msg", message);
    const std::string answer = "* [1] Adding Header(s) to message\n"
                               "1 ADDHEADER \"X-Regex-Match: Hello\\eX-ExtScanner: Tolmagrid's Vorpelin\"\n";
    {
        // Started by full path from another folder.
        FilterProcess process({folder.program()}, "", "/");
        process.send("1 FILE " + folder.path("m.msg") + "\n");
        Transcript run = process.finish();
        EXPECT_EQ(run.out, startLines + answer);
        EXPECT_EQ(run.status, 0);
    }
    {
        // Started by bare name: the rules come from the working folder.
        FilterProcess process({"vorpelin"}, folder.program(), folder.folder());
        process.send("1 FILE m.msg\n");
        Transcript run = process.finish();
        EXPECT_EQ(run.out, startLines + answer);
    }
    {
        // A bare name started elsewhere finds no rules there.
        FilterProcess process({"vorpelin"}, folder.program(), "/");
        Transcript run = process.finish();
        EXPECT_EQ(run.out, banner + "* Unable to read settings, fatal error, quitting.\n");
    }
}

TEST(StartupTest, OnlyTheExactSwitchDropsTheScannerLine) {
    FilterFolder folder;
    folder.writeRules(rules);
    folder.write("plain.msg", "Subject: other\n\nbody\n");
    const std::string request = "1 FILE " + folder.path("plain.msg") + "\n";
    const std::string withScanner = startLines +
                                    "* [1] Adding Header(s) to message\n"
                                    "1 ADDHEADER \"X-ExtScanner: Tolmagrid's Vorpelin\"\n";
    const std::string withoutScanner = startLines + "* [1] Accepting message\n1 OK\n";
    struct Case {
        std::vector<std::string> arguments;
        const std::string& expected;
    } cases[] = {
        {{}, withScanner},
        {{"-nosig"}, withoutScanner},
        {{"-nosig", "extra"}, withoutScanner},
        {{"-NOSIG"}, withScanner},
        {{"-nosigs"}, withScanner},
        {{"-nosi"}, withScanner},
        {{"x", "-nosig"}, withScanner},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        Transcript run = runFilter(folder, request, c.arguments);
        EXPECT_EQ(run.out, c.expected);
        EXPECT_EQ(run.status, 0);
    }
}

TEST(StartupTest, RulesReaderMessagesComeBetweenBannerAndLoop) {
    FilterFolder folder;
    folder.writeRules("; rules\nHEADERS\n  Bad /(/\nSpam /x/\n  Lost /y/\nBODY\n  Good /z/\n");
    Transcript run = runFilter(folder, "");
    EXPECT_EQ(run.out, banner +
                           "* Invalid Regex at line 3\n"
                           "* Settings Parser: Invalid Section Found (Spam /x/)\n"
                           "* Ready to receive INTF command.\n");
    EXPECT_EQ(run.status, 0);
}

TEST(StartupTest, AnEmptyRulesFileIsReadable) {
    FilterFolder folder;
    folder.writeRules("");
    folder.write("m.msg", message);
    Transcript run = runFilter(folder, "5 FILE " + folder.path("m.msg") + "\n", {"-nosig"});
    EXPECT_EQ(run.out, startLines + "* [5] Accepting message\n5 OK\n");
}

}  // namespace
}  // namespace filter_test
