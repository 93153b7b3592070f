// The answers of the filter program to message requests, end to end.

#include <unistd.h>

#include "filter_process.h"

namespace filter_test {
namespace {

const std::string scannerOnly = "X-ExtScanner: Tolmagrid's Vorpelin";

class AnswersTest : public testing::Test {
protected:
    void SetUp() override {
        folder.writeRules("HEADERS\n  Spam /^Subject: .*spam/\nBODY\n  Offer /offer/\n");
        folder.write("spam.msg", "Subject: spam spam\n\nan offer\n");
        folder.write("plain.msg", "Subject: plain\n\nnothing\n");
    }
    FilterFolder folder;
};

TEST_F(AnswersTest, EveryAnswerForm) {
    const std::string spam = folder.path("spam.msg");
    const std::string plain = folder.path("plain.msg");
    Transcript run = runFilter(folder,
                               "1 INTF 3\n"
                               "2 FILE " + spam + "\n"
                               "3 FILE " + plain + "\n"
                               "007 FILE " + spam + "\n"
                               "0 FILE " + spam + "\n"
                               "4 FILE " + folder.path("missing \"quoted\".msg") + "\n"
                               "5 FILE " + folder.folder() + "\n"
                               "6 file " + plain + "\r\n"
                               "7 FILE " + plain + " \n"
                               "72 FILE " + plain + std::string(1, '\0') + ".msg\n"
                               "8 SCAN " + plain + "\n"
                               "nine FILE " + plain + "\n"
                               "10 QUIT\n"
                               "11 FILE " + spam + "\n");
    const std::string both = "X-Regex-Match: Offer\\eX-Regex-Match: Spam\\e" + scannerOnly;
    EXPECT_EQ(run.out, startLines +
                           "1 INTF 3\n"
                           "* [2] Adding Header(s) to message\n"
                           "2 ADDHEADER \"" + both + "\"\n"
                           "* [3] Adding Header(s) to message\n"
                           "3 ADDHEADER \"" + scannerOnly + "\"\n"
                           "* [7] Adding Header(s) to message\n"
                           "7 ADDHEADER \"" + both + "\"\n"
                           "* Adding Header(s) to message\n"
                           "0 ADDHEADER \"" + both + "\"\n"
                           "4 OK \"Error: File Not Found " + folder.path("missing \\\"quoted\\\".msg") + "\"\n"
                           "5 OK \"Error: File Not Found " + folder.folder() + "\"\n"
                           // The carriage return is part of the path; quoting drops it.
                           "6 OK \"Error: File Not Found " + plain + "\"\n"
                           "7 OK \"Error: File Not Found " + plain + " \"\n"
                           // Not the file named by the path up to its NUL.
                           "72 OK \"Error: File Not Found " + plain + "\\0.msg\"\n"
                           "8 FAILURE\n"
                           "nine REJECTED \"Error: seqID should be a number\"\n"
                           "* 10: Filter is shutting down...\n"
                           "10 OK \"Filter is shut down and waiting for standard output to be closed\"\n"
                           "11 REJECTED \"QUIT command received, filter is shut down. Please restart the filter.\"\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
}

TEST_F(AnswersTest, NothingToAddIsAccepted) {
    Transcript run = runFilter(folder, "3 FILE " + folder.path("plain.msg") + "\n", {"-nosig"});
    EXPECT_EQ(run.out, startLines + "* [3] Accepting message\n3 OK\n");
}

TEST_F(AnswersTest, UnreadableFileIsAnsweredOk) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    folder.write("locked.msg", "Subject: spam\n\n");
    chmod(folder.path("locked.msg").c_str(), 0);
    Transcript run = runFilter(folder, "4 FILE " + folder.path("locked.msg") + "\n");
    EXPECT_EQ(run.out, startLines + "4 OK \"Error: unable to open file " + folder.path("locked.msg") + "\"\n");
}

TEST_F(AnswersTest, AnswersKeepTheirOrderThroughAPipe) {
    // Many requests written at once: every log line stays right before its answer.
    std::string input, expected = startLines;
    for (int i = 1; i <= 300; ++i) {
        input += std::to_string(i) + " FILE " + folder.path(i % 2 ? "spam.msg" : "plain.msg") + "\n";
        expected += "* [" + std::to_string(i) + "] Adding Header(s) to message\n" + std::to_string(i) +
                    " ADDHEADER \"" +
                    (i % 2 ? "X-Regex-Match: Offer\\eX-Regex-Match: Spam\\e" : "") + scannerOnly + "\"\n";
    }
    Transcript run = runFilter(folder, input);
    EXPECT_EQ(run.out, expected);
}

TEST_F(AnswersTest, CrashEndsTheProcessThroughMainWithFailureStatus) {
    Transcript run = runFilter(folder, "1 INTF 3\n2 CRASH\n3 FILE " + folder.path("plain.msg") + "\n");
    EXPECT_EQ(run.out, startLines + "1 INTF 3\n* Fatal error, quitting: unhandled exception request\n");
    EXPECT_EQ(run.status, 1);
}

}  // namespace
}  // namespace filter_test
