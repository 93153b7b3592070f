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
    builder.start(rules);
    ASSERT_TRUE(builder.waitForTests(rules.generation(), buildPatienceMs));
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

}  // namespace
