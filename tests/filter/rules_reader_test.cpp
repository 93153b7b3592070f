#include <climits>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "filter/filter_settings.h"
#include "slow_compiles.h"
#include "tests/support/capture_stdout.h"

namespace {

using Names = std::vector<std::string>;

Names namesOf(const std::vector<FilterSettings::Rule>& rules) {
    Names names;
    for (const auto& rule : rules) names.push_back(rule.name);
    return names;
}

// Reads the text into the holder and returns what the reader printed.
std::string readText(FilterSettings& settings, const std::string& text) {
    std::istringstream in(text);
    testsupport::CaptureStdout capture;
    settings.read(in);
    return capture.text();
}

struct LineCase {
    const char* what;
    std::string text;
    std::string printed;
    Names headers, body, full;
    int maxBodyLines;
};

const LineCase lineCases[] = {
    {"rule in HEADERS", "HEADERS\n  Spam   /buy now/\n", "", {"Spam"}, {}, {}, 0},
    {"rule in BODY, tab indent", "BODY\n\tSpam\t/x/\n", "", {}, {"Spam"}, {}, 0},
    {"rule in FULL", "FULL\n  Spam /x/\n", "", {}, {}, {"Spam"}, 0},
    {"keyword in any case", "hEaDeRs\n  A /x/\n", "", {"A"}, {}, {}, 0},
    {"anything may follow the keyword", "FULLTEXT rules\n  A /x/\n", "", {}, {}, {"A"}, 0},
    {"CRLF lines", "HEADERS\r\n  A /x/\r\n", "", {"A"}, {}, {}, 0},
    {"comments and blank lines", "; top\n\n \t \nHEADERS\n  ; indented comment\n\t;\n  A /x/\n", "",
     {"A"}, {}, {}, 0},
    {"line in column 0 is a section header",
     "HEADERS\nSpam /x/\n  After /y/\nBODY\n  B /z/\n",
     "* Settings Parser: Invalid Section Found (Spam /x/)\n", {}, {"B"}, {}, 0},
    {"empty pattern", "HEADERS\n  A //\n  B /x/\n", "* Invalid Regex at line 2\n", {"B"}, {}, {}, 0},
    {"pattern ending in a backslash", "HEADERS\n  A /x\\/\n", "* Invalid Regex at line 2\n", {}, {}, {}, 0},
    {"no blank before the slash", "HEADERS\n  A/x/\n", "* Invalid Regex at line 2\n", {}, {}, {}, 0},
    {"pattern that does not compile", "; c\nHEADERS\n  Bad /(a/\n  Good /b/\n",
     "* Invalid Regex at line 3\n", {"Good"}, {}, {}, 0},
    {"pattern whose compile never ends", "BODY\n  Endless /(){2}+(?#)x/\n  Good /b/\n  Also /a++(?#) x/i\n",
     "* Invalid Regex at line 2\n* Invalid Regex at line 4\n", {}, {"Good"}, {}, 0},
    {"messages in the order of the lines", "HEADERS\n  A /(/\nBOGUS\n  B //\nBODY\n  C /a++(?#)x/\n",
     "* Invalid Regex at line 2\n* Settings Parser: Invalid Section Found (BOGUS)\n* Invalid Regex at line 4\n"
     "* Invalid Regex at line 6\n", {}, {}, {}, 0},
    {"indented line without a slash", "HEADERS\n  just words\n", "", {}, {}, {}, 0},
    {"greedy name", "HEADERS\n  A /b/ c /d/e\n", "", {"A /b/ c"}, {}, {}, 0},
    {"name escaped for the protocol", "BODY\n  Say \"hi\" \\o/ /x/\n", "", {}, {"Say \\\"hi\\\" \\\\o/"}, {}, 0},
    {"rules before the first section are dropped", "  A /x/\n  B /(/\n  C //\nHEADERS\n  D /y/\n",
     "* Invalid Regex at line 3\n", {"D"}, {}, {}, 0},
    {"rules in CONFIG are ignored", "CONFIG\n  A /x/\n", "", {}, {}, {}, 0},
    {"unknown section drops its rules", "HEADERS\n  A /x/\nBOGUS\n  B /y/\nBODY\n  C /z/\n",
     "* Settings Parser: Invalid Section Found (BOGUS)\n", {"A"}, {"C"}, {}, 0},
    {"MAXBODYLINES with a blank", "CONFIG\n  MAXBODYLINES: 50\n", "", {}, {}, {}, 50},
    {"MAXBODYLINES right after the colon", "CONFIG\n  MAXBODYLINES:50\n", "", {}, {}, {}, 50},
    {"MAXBODYLINES single digit", "CONFIG\n  MAXBODYLINES:5\n", "", {}, {}, {}, 5},
    {"MAXBODYLINES lower case, blanks and tabs", "CONFIG\n\tmaxbodylines  :  \t 7 \t\n", "", {}, {}, {}, 7},
    {"MAXBODYLINES without a colon", "CONFIG\n  MAXBODYLINES 50\n", "", {}, {}, {}, 0},
    {"MAXBODYLINES not a number", "CONFIG\n  MAXBODYLINES: many\n", "", {}, {}, {}, 0},
    {"MAXBODYLINES digits then text", "CONFIG\n  MAXBODYLINES: 12 lines\n", "", {}, {}, {}, 12},
    {"MAXBODYLINES negative", "CONFIG\n  MAXBODYLINES: -3\n", "", {}, {}, {}, -3},
    {"MAXBODYLINES too large", "CONFIG\n  MAXBODYLINES: 99999999999999999999\n", "", {}, {}, {}, INT_MAX},
    {"MAXBODYLINES under HEADERS is ignored", "HEADERS\n  MAXBODYLINES: 5\n", "", {}, {}, {}, 0},
};

TEST(RulesReaderTest, LineForms) {
    for (const LineCase& c : lineCases) {
        SCOPED_TRACE(c.what);
        FilterSettings settings;
        EXPECT_EQ(readText(settings, c.text), c.printed);
        EXPECT_EQ(namesOf(settings.headerRules()), c.headers);
        EXPECT_EQ(namesOf(settings.bodyRules()), c.body);
        EXPECT_EQ(namesOf(settings.fullRules()), c.full);
        EXPECT_EQ(settings.maxBodyLines(), c.maxBodyLines);
    }
}

TEST(RulesReaderTest, PatternAndOptionsSplitAtTheLastSlash) {
    FilterSettings settings;
    EXPECT_EQ(readText(settings, "HEADERS\n  Path /a/b/x\n"), "");
    ASSERT_EQ(settings.headerRules().size(), 1u);
    const boost::regex& pattern = settings.headerRules()[0].pattern;
    EXPECT_TRUE(boost::regex_search(std::string("see a/b here"), pattern));
    EXPECT_FALSE(boost::regex_search(std::string("see a here"), pattern));
}

TEST(RulesReaderTest, OptionIMakesTheRuleCaseInsensitive) {
    FilterSettings settings;
    readText(settings, "BODY\n  Plain /buy now/\n  Folded /buy now/i\n  Anywhere /buy now/gix\n"
                       "  Perl /^a+(?=b)b\\d/i\n");
    ASSERT_EQ(settings.bodyRules().size(), 4u);
    const std::string shouted = "BUY NOW!";
    EXPECT_FALSE(boost::regex_search(shouted, settings.bodyRules()[0].pattern));
    EXPECT_TRUE(boost::regex_search(shouted, settings.bodyRules()[1].pattern));
    EXPECT_TRUE(boost::regex_search(shouted, settings.bodyRules()[2].pattern));
    // Still Perl syntax: look-ahead and \d work with the option.
    EXPECT_TRUE(boost::regex_search(std::string("AAb1"), settings.bodyRules()[3].pattern));
}

TEST(RulesReaderTest, EveryReadStartsOutsideAnySection) {
    FilterSettings settings;
    readText(settings, "BODY\n  A /x/\n");
    EXPECT_EQ(namesOf(settings.bodyRules()), Names{"A"});
    readText(settings, "  B /y/\nHEADERS\n  C /z/\n");
    EXPECT_EQ(namesOf(settings.bodyRules()), Names{});
    EXPECT_EQ(namesOf(settings.headerRules()), Names{"C"});
}

TEST(RulesReaderTest, ReadReplacesEverything) {
    FilterSettings settings;
    readText(settings, "CONFIG\n  MAXBODYLINES: 9\nFULL\n  A /x/\n");
    readText(settings, "HEADERS\n  B /y/\n");
    EXPECT_EQ(settings.maxBodyLines(), 0);
    EXPECT_TRUE(settings.fullRules().empty());
    EXPECT_EQ(settings.names(), Names{"B"});
}

TEST(RulesReaderTest, NamesAreSortedUniqueAndIndexed) {
    FilterSettings settings;
    readText(settings, "FULL\n  zeta /1/\n  Alpha /2/\nHEADERS\n  Zeta /3/\n  zeta /4/\nBODY\n  \xC3\xA9t\xC3\xA9 /5/\n");
    EXPECT_EQ(settings.names(), (Names{"Alpha", "Zeta", "zeta", "\xC3\xA9t\xC3\xA9"}));
    for (const auto* list : {&settings.headerRules(), &settings.bodyRules(), &settings.fullRules()})
        for (const auto& rule : *list) EXPECT_EQ(settings.names()[rule.nameIndex], rule.name);
}

TEST(RulesReaderTest, GetValue) {
    EXPECT_EQ(FilterSettings::getValue("  MAXBODYLINES: 50"), "50");
    EXPECT_EQ(FilterSettings::getValue("  MAXBODYLINES:50"), "50");
    EXPECT_EQ(FilterSettings::getValue("KEY : \t a b \t "), "a b");
    EXPECT_EQ(FilterSettings::getValue("KEY:"), "");
    EXPECT_EQ(FilterSettings::getValue("KEY 50"), "");
    EXPECT_EQ(FilterSettings::getValue("K: a: b"), "a: b");
}

TEST(RulesReaderTest, LongRuleLineWithManySlashesIsRead) {
    // Many candidate splits: the name and then the pattern as long as they can be.
    std::string line = "  N";
    for (int i = 0; i < 3000; ++i) line += " /a";
    FilterSettings settings;
    EXPECT_EQ(readText(settings, "HEADERS\n" + line + "\n  B /y/\n"), "");
    ASSERT_EQ(settings.headerRules().size(), 2u);
    EXPECT_EQ(settings.headerRules()[0].name, line.substr(2, line.size() - 8));
    EXPECT_EQ(settings.headerRules()[0].pattern.str(), "a ");
    EXPECT_EQ(settings.headerRules()[1].name, "B");
}

// Whether two compiled expressions are one, shared, rather than two compiles.
bool shared(const boost::regex& a, const boost::regex& b) { return a.begin() == b.begin(); }

struct RereadCase {
    const char* what;
    std::string first, second;
    bool sameGeneration;
};

const std::string base = "HEADERS\n  A /^Subject: a/\nBODY\n  B /b+/i\n  C /c/\nFULL\n  D /d/\n";

const RereadCase rereadCases[] = {
    {"the same text", base, base, true},
    {"the same rules with other comments, blanks and indents", base,
     "; new\nHEADERS\n\tA    /^Subject: a/\n\nBODY\n  ; c\n   B /b+/i\n  C\t/c/\nFULL\n  D /d/\n", true},
    {"the same rules with MAXBODYLINES changed", base, "CONFIG\n  MAXBODYLINES: 7\n" + base, true},
    {"options that mean the same", base, "HEADERS\n  A /^Subject: a/\nBODY\n  B /b+/gi\n  C /c/x\nFULL\n  D /d/\n", true},
    {"a rule that does not compile added", base, base + "  E /(/\n", true},
    {"a name changed", base, "HEADERS\n  A /^Subject: a/\nBODY\n  B2 /b+/i\n  C /c/\nFULL\n  D /d/\n", false},
    {"a pattern changed", base, "HEADERS\n  A /^Subject: a/\nBODY\n  B /b*/i\n  C /c/\nFULL\n  D /d/\n", false},
    {"option i dropped", base, "HEADERS\n  A /^Subject: a/\nBODY\n  B /b+/\n  C /c/\nFULL\n  D /d/\n", false},
    {"a rule moved to another section", base, "HEADERS\n  A /^Subject: a/\nBODY\n  B /b+/i\nFULL\n  C /c/\n  D /d/\n", false},
    {"two rules swapped", base, "HEADERS\n  A /^Subject: a/\nBODY\n  C /c/\n  B /b+/i\nFULL\n  D /d/\n", false},
    {"a rule added", base, base + "  E /e/\n", false},
    {"a rule removed", base, "HEADERS\n  A /^Subject: a/\nBODY\n  B /b+/i\nFULL\n  D /d/\n", false},
    {"every rule removed", base, "HEADERS\n", false},
};

TEST(RulesReaderTest, GenerationStaysWhileTheRulesHeldStay) {
    for (const RereadCase& c : rereadCases) {
        SCOPED_TRACE(c.what);
        FilterSettings settings, other;
        readText(settings, c.first);
        readText(other, c.first);
        // Holders never share one.
        EXPECT_NE(settings.generation(), other.generation());
        const std::uint64_t before = settings.generation();
        std::string printed = readText(settings, c.second);
        EXPECT_EQ(settings.generation() == before, c.sameGeneration);
        // What a read says and holds is what a first read of the same text says and holds.
        FilterSettings fresh;
        EXPECT_EQ(printed, readText(fresh, c.second));
        EXPECT_EQ(settings.names(), fresh.names());
        EXPECT_EQ(settings.maxBodyLines(), fresh.maxBodyLines());
        EXPECT_EQ(namesOf(settings.bodyRules()), namesOf(fresh.bodyRules()));
        EXPECT_EQ(namesOf(settings.fullRules()), namesOf(fresh.fullRules()));
    }
}

TEST(RulesReaderTest, ClearChangesTheGeneration) {
    FilterSettings settings;
    readText(settings, base);
    const std::uint64_t before = settings.generation();
    settings.clear();
    EXPECT_NE(settings.generation(), before);
    readText(settings, base);
    EXPECT_NE(settings.generation(), before);
}

TEST(RulesReaderThread, ARereadCompilesOnlyThePatternsItDidNotHold) {
    filter_test::SlowCompiles counted(std::chrono::seconds(1), std::chrono::seconds(20));
    FilterSettings settings;
    // Two rules with one pattern and options share one compile.
    EXPECT_EQ(readText(settings, base + "  Bad /(/\n  Again /c/\n"), "* Invalid Regex at line 8\n");
    EXPECT_EQ(counted.compiles(), 5);
    EXPECT_TRUE(shared(settings.bodyRules()[1].pattern, settings.fullRules()[1].pattern));
    const FilterSettings before = settings;

    // B's pattern changed; C moved to HEADERS and renamed; D's options changed; the bad
    // rule is reported again without a compile.
    const std::string changed =
        "HEADERS\n  A /^Subject: a/\n  C2 /c/\nBODY\n  B /b{2}/i\nFULL\n  D /d/i\n  Bad /(/\n  Again /c/\n";
    EXPECT_EQ(readText(settings, changed), "* Invalid Regex at line 8\n");
    EXPECT_EQ(counted.compiles(), 5 + 2);
    ASSERT_EQ(settings.headerRules().size(), 2u);
    ASSERT_EQ(settings.bodyRules().size(), 1u);
    ASSERT_EQ(settings.fullRules().size(), 2u);
    EXPECT_TRUE(shared(settings.headerRules()[0].pattern, before.headerRules()[0].pattern));
    EXPECT_TRUE(shared(settings.headerRules()[1].pattern, before.bodyRules()[1].pattern));
    EXPECT_TRUE(shared(settings.fullRules()[1].pattern, before.bodyRules()[1].pattern));
    EXPECT_FALSE(shared(settings.bodyRules()[0].pattern, before.bodyRules()[0].pattern));
    EXPECT_FALSE(shared(settings.fullRules()[0].pattern, before.fullRules()[0].pattern));
    // Shared or new, each means what it says.
    EXPECT_TRUE(boost::regex_search(std::string("xBbx"), settings.bodyRules()[0].pattern));
    EXPECT_FALSE(boost::regex_search(std::string("xbx"), settings.bodyRules()[0].pattern));
    EXPECT_TRUE(boost::regex_search(std::string("D"), settings.fullRules()[0].pattern));
    EXPECT_TRUE(boost::regex_search(std::string("Subject: a"), settings.headerRules()[0].pattern));

    // Unchanged: nothing compiled, the same messages.
    EXPECT_EQ(readText(settings, changed), "* Invalid Regex at line 8\n");
    EXPECT_EQ(counted.compiles(), 7);
}

TEST(RulesReaderThread, ACompilePastItsBoundIsAnInvalidRuleAndIsNotTriedAgain) {
    filter_test::SlowCompiles slow(std::chrono::milliseconds(100), std::chrono::seconds(60));
    FilterSettings settings;
    const std::string text = "BODY\n  Slow /spin/\n  Good /b/\n";
    EXPECT_EQ(readText(settings, text), "* Invalid Regex at line 2\n");
    EXPECT_EQ(namesOf(settings.bodyRules()), Names{"Good"});
    EXPECT_EQ(slow.compiles(), 2);
    // Reported again at every read that holds it, but no second thread is left computing.
    EXPECT_EQ(readText(settings, "BODY\n  Good /b/\n  Slow /spin/\n"), "* Invalid Regex at line 3\n");
    EXPECT_EQ(slow.compiles(), 2);
}

}  // namespace
