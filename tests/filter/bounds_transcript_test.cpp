// The built filter against what a hostile sender or a broken queue can put in its way: every
// request is answered, within a bound, and the filter goes on answering the next one.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "filter_process.h"
#include "tests/support/failing_read.h"
#include "tests/support/sanitizer_build.h"

namespace filter_test {
namespace {

const std::string rules = "HEADERS\n  Subject /^Subject/\n";


std::string notFound(int number, const std::string& path) {
    return std::to_string(number) + " OK \"Error: File Not Found " + path + "\"\n";
}

void setModified(const std::string& path, long seconds, long nanoseconds) {
    struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << std::strerror(errno);
}

class BoundsTranscriptTest : public testing::Test {
protected:
    void SetUp() override {
        folder.writeRules(rules);
        folder.write("m.msg", "Subject: x\n\nbody\n");
    }
    std::string request(FilterProcess& process, int number, const std::string& path, int lines) {
        process.send(std::to_string(number) + " FILE " + path + "\n");
        return process.readLines(lines);
    }
    // The ordinary request that must still be answered after whatever came before.
    std::string next(FilterProcess& process, int number) { return request(process, number, folder.path("m.msg"), 2); }

    FilterFolder folder;
};

TEST_F(BoundsTranscriptTest, ReadErrorIsAnsweredWithWhatWasFound) {
    const int failure = testsupport::failingReadErrno();
    if (failure == 0) GTEST_SKIP() << testsupport::failingReadPath() << " reads here";
    const std::string error = std::strerror(failure);

    FilterProcess process({folder.program()});
    process.readLines(2);
    EXPECT_EQ(request(process, 1, testsupport::failingReadPath(), 3),
              "* [1] Message file could not be read: " + error + ": the rest of the message was not tested\n" +
                  addedAnswer(1, ""));
    EXPECT_EQ(next(process, 2), addedAnswer(2, "X-Regex-Match: Subject\\e"));
    Transcript run = process.finish();
    EXPECT_EQ(run.status, 0);
}

TEST_F(BoundsTranscriptTest, AnythingButARegularFileAtTheQueuePathIsNotFound) {
    ASSERT_EQ(::mkfifo(folder.path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(folder.path("folder").c_str(), 0700), 0);
    FilterProcess process({folder.program()});
    process.readLines(2);
    int number = 1;
    // Nobody writes the FIFO: a blocking open would never return.
    for (const std::string& path : {folder.path("fifo"), std::string("/dev/zero"), std::string("/dev/null"),
                                    folder.path("folder")}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(request(process, number, path, 1), notFound(number, path));
        ++number;
        EXPECT_EQ(next(process, number), addedAnswer(number, "X-Regex-Match: Subject\\e"));
        ++number;
    }
    EXPECT_EQ(process.finish().status, 0);
}

TEST_F(BoundsTranscriptTest, FifoAsTheRulesFileAtStartIsAFileThatCannotBeRead) {
    std::remove(folder.path("vorpelin.regex").c_str());
    ASSERT_EQ(::mkfifo(folder.path("vorpelin.regex").c_str(), 0600), 0);
    Transcript run = runFilter(folder, "1 FILE " + folder.path("m.msg") + "\n");
    EXPECT_EQ(run.out, "* Tolmagrid's Vorpelin filter v1.1.1 running...\n"
                       "* Unable to read settings, fatal error, quitting.\n");
    EXPECT_EQ(run.err, "Settings Parser: Unable to open file\n");
    EXPECT_EQ(run.status, 0);
}

TEST_F(BoundsTranscriptTest, RulesFileWhoseReadFailsIsAFileThatCannotBeRead) {
    if (testsupport::failingReadErrno() == 0) GTEST_SKIP() << testsupport::failingReadPath() << " reads here";
    FilterProcess process({folder.program()});
    process.readLines(2);
    // A read that fails half-way must not leave half a rule set in force.
    std::remove(folder.path("vorpelin.regex").c_str());
    ASSERT_EQ(::symlink(testsupport::failingReadPath().c_str(), folder.path("vorpelin.regex").c_str()), 0);
    EXPECT_EQ(next(process, 1), addedAnswer(1, "X-Regex-Match: Subject\\e"));
    Transcript run = process.finish();
    EXPECT_EQ(run.err, "Settings Parser: Unable to open file\n");

    // The same at start: the filter says it cannot read its rules.
    run = runFilter(folder, "");
    EXPECT_EQ(run.out, "* Tolmagrid's Vorpelin filter v1.1.1 running...\n"
                       "* Unable to read settings, fatal error, quitting.\n");
    EXPECT_EQ(run.err, "Settings Parser: Unable to open file\n");
}

TEST_F(BoundsTranscriptTest, FifoSwappedInForTheRulesKeepsTheOldRules) {
    FilterProcess process({folder.program()});
    process.readLines(2);
    EXPECT_EQ(next(process, 1), addedAnswer(1, "X-Regex-Match: Subject\\e"));

    std::remove(folder.path("vorpelin.regex").c_str());
    ASSERT_EQ(::mkfifo(folder.path("vorpelin.regex").c_str(), 0600), 0);
    EXPECT_EQ(next(process, 2), addedAnswer(2, "X-Regex-Match: Subject\\e"));
    EXPECT_EQ(next(process, 3), addedAnswer(3, "X-Regex-Match: Subject\\e"));

    std::remove(folder.path("vorpelin.regex").c_str());
    folder.writeRules("BODY\n  Body /body/\n");
    EXPECT_EQ(request(process, 4, folder.path("m.msg"), 3),
              "* Settings changed, reloading.\n" + addedAnswer(4, "X-Regex-Match: Body\\e"));
    Transcript run = process.finish();
    // Said once, when the FIFO was met.
    EXPECT_EQ(run.err, "Settings Parser: Unable to open file\n");
    EXPECT_EQ(run.status, 0);
}

TEST_F(BoundsTranscriptTest, RulesRewrittenTwiceInOneSecondAreReadBothTimes) {
    const std::string path = folder.path("vorpelin.regex");
    folder.writeRules("HEADERS\n  One /^Subject/\n");
    setModified(path, 1000000, 100);
    FilterProcess process({folder.program()});
    process.readLines(2);
    EXPECT_EQ(next(process, 1), addedAnswer(1, "X-Regex-Match: One\\e"));

    // The same size and second; only the nanoseconds differ.
    folder.writeRules("HEADERS\n  Two /^Subject/\n");
    setModified(path, 1000000, 200);
    EXPECT_EQ(request(process, 2, folder.path("m.msg"), 3),
              "* Settings changed, reloading.\n" + addedAnswer(2, "X-Regex-Match: Two\\e"));

    // The same size and time to the nanosecond, but another file put in its place.
    folder.write("new.regex", "HEADERS\n  Six /^Subject/\n");
    setModified(folder.path("new.regex"), 1000000, 200);
    ASSERT_EQ(std::rename(folder.path("new.regex").c_str(), path.c_str()), 0);
    EXPECT_EQ(request(process, 3, folder.path("m.msg"), 3),
              "* Settings changed, reloading.\n" + addedAnswer(3, "X-Regex-Match: Six\\e"));

    // Nothing changed: nothing is read.
    EXPECT_EQ(next(process, 4), addedAnswer(4, "X-Regex-Match: Six\\e"));
    Transcript run = process.finish();
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
}

TEST_F(BoundsTranscriptTest, RequestLineOverOneMebibyteIsRefused) {
    FilterProcess process({folder.program()});
    process.readLines(2);
    process.send("5 FILE " + std::string(2 << 20, 'p') + "\n");
    EXPECT_EQ(process.readLines(1), "5 FAILURE\n");
    EXPECT_EQ(next(process, 6), addedAnswer(6, "X-Regex-Match: Subject\\e"));
    EXPECT_EQ(process.finish().status, 0);
}

// The most memory any child of this process has held so far, in kilobytes.
long childrenPeakKilobytes() {
    struct rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

TEST_F(BoundsTranscriptTest, MemoryStaysBoundedWhateverTheMessage) {
#if defined(TEST_UNDER_ASAN) || defined(TEST_UNDER_TSAN)
    GTEST_SKIP() << "the sanitizers' own memory hides the filter's";
#endif
    // A child run with the rules and an ordinary message sets the mark. The children are
    // started while this process is small: until it runs the program, a child counts the
    // memory it shares with this one.
    runFilter(folder, "1 FILE " + folder.path("m.msg") + "\n");
    const long baseline = childrenPeakKilobytes();
    {
        const std::string huge(64 << 20, 'a');
        folder.write("header.msg", "Subject: " + huge + "\n\nbody\n");
        folder.write("body.msg", "Subject: x\n\n" + huge + "\nend\n");
    }
    FilterProcess process({folder.program()});
    process.send("1 FILE " + folder.path("header.msg") + "\n2 FILE " + folder.path("body.msg") + "\n3 FILE ");
    for (int i = 0; i < 3; ++i) process.send(std::string(1 << 20, 'p'));
    process.send("\n4 FILE " + folder.path("m.msg") + "\n");
    Transcript run = process.finish();
    const std::string cut = "X-Regex-Match: A very long line has been found, only the first 4096 characters have been scanned\\e";
    EXPECT_EQ(run.out, startLines + addedAnswer(1, "X-Regex-Match: Subject\\e" + cut) +
                           addedAnswer(2, "X-Regex-Match: Subject\\e" + cut) + "3 FAILURE\n" +
                           addedAnswer(4, "X-Regex-Match: Subject\\e"));
    EXPECT_LT(childrenPeakKilobytes() - baseline, 16 * 1024);
}

}  // namespace
}  // namespace filter_test
