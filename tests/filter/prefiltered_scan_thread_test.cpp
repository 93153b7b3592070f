// The answers of a scan with the prefilter are the answers without it. Its builds run on
// threads of their own, hence the suite name.

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "filter/filter_settings.h"
#include "filter/message_scan.h"
#include "filter/prefilter_builder.h"
#include "tests/support/capture_stdout.h"
#include "tests/support/regex_grammar.h"

namespace {

// How long a test waits for a build: seconds on an idle machine, minutes on a busy one
// under a sanitizer.
constexpr int buildPatienceMs = 240000;

std::string answer(const cgp::ScanResult& result) {
    std::string text;
    for (const std::string& line : result.lines) text += line + "\n";
    return text;
}

// Starts a build of rules and waits for its final prefilter; false when none came.
bool built(cgp::PrefilterBuilder& builder, const FilterSettings& rules) {
    builder.start(rules);
    return builder.waitForTests(rules.generation(), buildPatienceMs);
}

// Four random rule sets of 75 rules, each with 40 random messages, drawn one after the
// other from one generator.
struct RandomCase {
    std::string rules;
    std::vector<std::string> messages;
};

RandomCase randomCase(int wanted) {
    std::mt19937 random(7);
    testsupport::RegexGrammar grammar([&](unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(random); });
    RandomCase c;
    for (int set = 0; set <= wanted; ++set) {
        c = RandomCase{"CONFIG\n  MAXBODYLINES: 6\n", {}};
        const char* sections[] = {"HEADERS\n", "BODY\n", "FULL\n"};
        for (int s = 0; s < 3; ++s) {
            c.rules += sections[s];
            for (int i = 0; i < 25; ++i) {
                std::string pattern = grammar.pattern();
                // A slash ends the pattern in a rules file and a line feed the rule.
                if (pattern.find_first_of("/\n") != std::string::npos) continue;
                c.rules += "  R" + std::to_string(random() % 40) + " /" + pattern + "/" + (random() % 3 ? "" : "i") + "\n";
            }
        }
        for (int m = 0; m < 40; ++m) {
            std::string message;
            for (int h = 1 + random() % 5; h > 0; --h) message += grammar.line() + "x\n";
            message += "\n";
            for (int b = random() % 9; b > 0; --b) message += grammar.line() + "\n";
            c.messages.push_back(message);
        }
    }
    return c;
}

// One test per set: under a sanitizer on a busy machine, all four in one outlast the
// time-out.
class PrefilteredScanRandomThreadTest : public ::testing::TestWithParam<int> {};

TEST_P(PrefilteredScanRandomThreadTest, AnswersAsTheBareScanDoes) {
    const RandomCase c = randomCase(GetParam());
    testsupport::CaptureStdout capture;  // the ready lines
    std::size_t names = 0;
    FilterSettings rules;
    std::istringstream in(c.rules);
    rules.read(in);
    cgp::PrefilterBuilder builder;
    builder.start(rules);
    ASSERT_TRUE(builder.waitForTests(rules.generation(), buildPatienceMs));
    std::shared_ptr<const cgp::RulesPrefilter> prefilter = builder.ready(rules.generation());
    cgp::MessageScanner bare, prefiltered;
    for (const std::string& message : c.messages) {
        std::istringstream a(message), b(message);
        std::string expected = answer(bare.scan(a, rules, false, 1));
        EXPECT_EQ(answer(prefiltered.scan(b, rules, false, 1, prefilter.get())), expected) << message;
        names += std::count(expected.begin(), expected.end(), '\n') - 1;
    }
    capture.stop();
    EXPECT_GT(names, c.messages.size()) << "the rules do match, often";
}

INSTANTIATE_TEST_SUITE_P(RuleSets, PrefilteredScanRandomThreadTest, ::testing::Range(0, 4));

// A prefilter of other rules is never used, even of rules that look the same.
TEST(PrefilteredScanThreadTest, APrefilterOfOtherRulesIsIgnored) {
    testsupport::CaptureStdout capture;
    FilterSettings first, second;
    std::istringstream one("BODY\n  A /apple/\n"), two("BODY\n  A /pear/\n");
    first.read(one);
    second.read(two);
    cgp::PrefilterBuilder builder;
    builder.start(first);
    ASSERT_TRUE(builder.waitForTests(first.generation(), buildPatienceMs));
    std::istringstream message("S: x\n\npear\n");
    cgp::MessageScanner scanner;
    EXPECT_EQ(answer(scanner.scan(message, second, true, 1, builder.ready(first.generation()).get())),
              "X-Regex-Match: A\n");
    capture.stop();
}

// The one difference: a rule the prefilter leaves out of a line cannot fail on it, so the
// library's failure is not logged. The answer stays the same.
TEST(PrefilteredScanThreadTest, ARuleLeftOutCannotLogALibraryFailure) {
    FilterSettings rules;
    std::istringstream text("BODY\n  Slow /(x+x+)+y/\n  Other /x/\n");
    rules.read(text);
    testsupport::CaptureStdout capture;
    cgp::PrefilterBuilder builder;
    ASSERT_TRUE(built(builder, rules));
    std::string before = capture.text();
    const std::string message = "S: x\n\n" + std::string(40, 'x') + "\n";
    cgp::MessageScanner scanner;
    std::istringstream bare(message), prefiltered(message);
    std::string bareAnswer = answer(scanner.scan(bare, rules, true, 1));
    std::string bareLog = capture.text().substr(before.size());
    std::string filteredAnswer = answer(scanner.scan(prefiltered, rules, true, 2, builder.ready(rules.generation()).get()));
    std::string filteredLog = capture.text().substr(before.size() + bareLog.size());
    capture.stop();
    EXPECT_EQ(filteredAnswer, bareAnswer);
    EXPECT_EQ(bareAnswer, "X-Regex-Match: Other\n");
    EXPECT_NE(bareLog.find("* [1] Rule Slow could not be matched: "), std::string::npos) << bareLog;
    EXPECT_EQ(filteredLog, "");
}

// Rules of one pattern are searched once per line in the prefiltered scan: every name of
// the pattern still matches, a rule of the same text with other options is searched on its
// own, and a library failure is logged by each rule that meets it, as in the bare scan.
TEST(PrefilteredScanThreadTest, RulesOfOnePatternAnswerAsTheBareScan) {
    FilterSettings rules;
    std::istringstream text("HEADERS\n  H1 /(x+x+)+y/\n  H2 /b[aeiou]dy/\nBODY\n  B1 /b[aeiou]dy/\n"
                            "  B2 /B[AEIOU]DY/i\n  B3 /b[aeiou]dy/\n  B4 /B[AEIOU]DY/\n  B5 /B[AEIOU]DY/i\n"
                            "FULL\n  F1 /(x+x+)+y/\n  F2 /b[aeiou]dy/\n");
    rules.read(text);
    testsupport::CaptureStdout capture;
    cgp::PrefilterBuilder builder;
    ASSERT_TRUE(built(builder, rules));
    std::string before = capture.text();
    const std::string messages[] = {"Subject: " + std::string(40, 'x') + "zxxy\n\nno\nBODY\nbody\n",
                                    "Subject: bady\n\nBiDy\n", "Subject: xxy\n\nbody\n", "S: t\n\nBODY\n"};
    cgp::MessageScanner scanner;
    for (const std::string& message : messages) {
        std::istringstream bare(message), prefiltered(message);
        std::size_t start = capture.text().size();
        std::string bareAnswer = answer(scanner.scan(bare, rules, true, 1));
        std::string bareLog = capture.text().substr(start);
        std::string filteredAnswer =
            answer(scanner.scan(prefiltered, rules, true, 1, builder.ready(rules.generation()).get()));
        std::string filteredLog = capture.text().substr(start + bareLog.size());
        EXPECT_EQ(filteredAnswer, bareAnswer) << message;
        EXPECT_EQ(filteredLog, bareLog) << message;
    }
    std::string log = capture.text().substr(before.size());
    capture.stop();
    // The first message's header line fails both rules of its pattern, in both scans: the
    // engine names them for the "xxy" at its end.
    EXPECT_NE(log.find("Rule H1 could not be matched"), std::string::npos) << log;
    EXPECT_NE(log.find("Rule F1 could not be matched"), std::string::npos) << log;
}

}  // namespace
