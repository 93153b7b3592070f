// Behaviours where the filter is sounder than a literal reading would make it.

#include <chrono>
#include <stdexcept>

#include <boost/regex.hpp>

#include "filter_process.h"

namespace filter_test {
namespace {

const std::string scanner = "X-ExtScanner: Tolmagrid's Vorpelin";

TEST(FaultsTest, OptionIIgnoresCase) {
    FilterFolder folder;
    folder.writeRules("BODY\n  Plain /buy now/\n  Folded /buy now/i\n  Class /^[a-z]+ NOW$/i\n");
    folder.write("m.msg", "Subject: x\n\nBUY NOW\n");
    Transcript run = runFilter(folder, "1 FILE " + folder.path("m.msg") + "\n");
    EXPECT_EQ(run.out, startLines + "* [1] Adding Header(s) to message\n"
                                    "1 ADDHEADER \"X-Regex-Match: Class\\eX-Regex-Match: Folded\\e" + scanner + "\"\n");
}

TEST(FaultsTest, BodyLineLimitWrittenRightAfterTheColon) {
    FilterFolder folder;
    folder.writeRules("CONFIG\n  MAXBODYLINES:2\nBODY\n  Third /^L3/\n  Fourth /^L4/\n");
    folder.write("m.msg", "Subject: x\n\nL1\nL2\nL3\nL4\n");
    Transcript run = runFilter(folder, "1 FILE " + folder.path("m.msg") + "\n");
    EXPECT_EQ(run.out, startLines + "* [1] Adding Header(s) to message\n"
                                    "1 ADDHEADER \"X-Regex-Match: Third\\e" + scanner + "\"\n");
}

// What the regex library says when a match gets out of hand.
std::string libraryError(const std::string& pattern, const std::string& line) {
    try {
        boost::regex_search(line, boost::regex(pattern));
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

// Every line the rule fails on holds a text it matches further on, so that the prefilter,
// once in service, names the rule for it too: the transcript is the same before and after.
TEST(FaultsTest, RuleThatFailsInTheLibraryCountsAsNotMatchedAndMailFlows) {
    FilterFolder folder;
    folder.writeRules("HEADERS\n  Nested /(a+)+$/\n  Subject /^Subject/\nBODY\n  Nested /(a+)+$/\n  Body /ok/\n");
    const std::string hostile = std::string(40, 'a') + "b a";
    folder.write("hostile.msg", "Subject: " + hostile + "\nX: y\n\nok " + hostile + "\n");
    folder.write("tail.msg", "Subject: " + hostile + "\nX-Tail: aaa\n\n");
    const std::string error = libraryError("(a+)+$", "Subject: " + hostile);
    ASSERT_NE(error, "no error");
    ASSERT_EQ(libraryError("(a+)+$", "ok " + hostile), error);
    const auto requests = [&](int first) {
        return std::to_string(first) + " FILE " + folder.path("hostile.msg") + "\n" + std::to_string(first + 1) +
               " FILE " + folder.path("tail.msg") + "\n";
    };
    const auto answers = [&](int first) {
        const std::string n = std::to_string(first), m = std::to_string(first + 1);
        return "* [" + n + "] Rule Nested could not be matched: " + error + "\n"
               "* [" + n + "] Rule Nested could not be matched: " + error + "\n"
               "* [" + n + "] Adding Header(s) to message\n" +
               n + " ADDHEADER \"X-Regex-Match: Body\\eX-Regex-Match: Subject\\e" + scanner + "\"\n"
               // Failing on one line does not stop the rule matching another.
               "* [" + m + "] Rule Nested could not be matched: " + error + "\n"
               "* [" + m + "] Adding Header(s) to message\n" +
               m + " ADDHEADER \"X-Regex-Match: Nested\\eX-Regex-Match: Subject\\e" + scanner + "\"\n";
    };

    FilterProcess process({folder.program()});
    EXPECT_EQ(process.readLines(2), startLines);
    process.send(requests(3));
    EXPECT_EQ(process.readLines(7), answers(3));
    ASSERT_TRUE(process.waitForSetAside(1, std::chrono::seconds(60))) << "no prefilter ready line";
    process.send(requests(5));
    EXPECT_EQ(process.readLines(7), answers(5));
    Transcript run = process.finish();
    EXPECT_EQ(run.out, startLines + answers(3) + answers(5));
    EXPECT_EQ(run.status, 0);
}

TEST(FaultsTest, RulesFileIsReadAtStartWhateverItsTime) {
    // A time of 0 is the holder's "never read" value; the file must still load.
    FilterFolder folder;
    folder.writeRules("HEADERS\n  A /x/\n");
    folder.setModified("vorpelin.regex", 0);
    Transcript run = runFilter(folder, "");
    EXPECT_EQ(run.out, startLines);
}

TEST(FaultsTest, FolderNamedLikeTheRulesFileIsNoRulesFile) {
    FilterFolder folder;
    std::filesystem::create_directory(folder.path("vorpelin.regex"));
    Transcript run = runFilter(folder, "");
    EXPECT_EQ(run.out, "* Tolmagrid's Vorpelin filter v1.1.1 running...\n"
                       "* Unable to read settings, fatal error, quitting.\n");
    EXPECT_EQ(run.err, "Settings Parser: Unable to open file\n");
}

}  // namespace
}  // namespace filter_test
