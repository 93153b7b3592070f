#include "filter/prefilter_odds_internal.h"

#include <string>

#include <boost/regex.hpp>
#include <gtest/gtest.h>

#include "filter/regex_prefilter.h"

namespace {

double share(const std::string& pattern, bool icase = false) {
    boost::regex expression(pattern, boost::regex::perl | (icase ? boost::regex::icase : 0));
    cgp::prefilter::ByteSetOracle oracle;
    cgp::prefilter::PatternNode tree;
    EXPECT_TRUE(cgp::prefilter::readPattern(pattern, icase, expression.mark_count(), oracle, tree)) << pattern;
    return cgp::prefilter::shareOfLinesNamed(tree);
}

// Rules of a real rule set that the engine names on most lines of real mail, and rules it
// names on few: the estimate must tell them apart.
TEST(PrefilterOdds, TellsRulesThatMatchMostLinesFromTheRest) {
    for (const char* broad : {"\\S", "\\s", "e", "\\d", "^.{16}", ".{50}", "^(?!.*\\b1\\.0\\b).+", "^\\s*\\S",
                              "^[^\\r\\n]{998}"})
        EXPECT_GE(share(broad), 0.5) << broad;
    for (const char* narrow : {"spam", "banking laws", "^Subject: .*viagra", "\\d{10}", "^> ", "\\bCurrent Price:",
                               "<[a-z]{5,}\\@(?:\\S+\\.)+\\S+>", "^\\t", "(?:Fw|Re)\\:{1,2}[\\W+]",
                               "document\\.write\\(unescape",
                               // its back-reference reads as a copy of the group: single letters between marks
                               "\\b(?:[a-z]([-_. =~\\/:,*!\\@\\#\\$\\%\\^&+;\\\"\\'<>\\\\])\\1{0,2}){4}"})
        EXPECT_LT(share(narrow), 0.5) << narrow;
    EXPECT_LT(share("viagra", true), 0.5);
}

TEST(PrefilterOdds, SharesStayWithinZeroAndOne) {
    for (const char* pattern : {"a", "(?:a|b|c|d|e|f|g|h|i|j|k|l|m|n|o)+", "x.*y.*z", ".*", "(?:.*){0,2}q", "$",
                                "^$", "(?:(?:a.*){3}){3}", "[\\x00-\\xff]{200}"}) {
        double s = share(pattern);
        EXPECT_GE(s, 0.0) << pattern;
        EXPECT_LE(s, 1.0) << pattern;
    }
}

// Such a rule is always run: the prefilter names it for every line, even one it cannot match.
TEST(PrefilterOdds, ARuleOfMostLinesIsAlwaysRun) {
    std::vector<cgp::PrefilterRule> rules = {{"\\S", false, 0}, {"spam", false, 0}};
    std::unique_ptr<cgp::RegexPrefilter> prefilter = cgp::RegexPrefilter::build(rules);
    ASSERT_TRUE(prefilter);
    EXPECT_EQ(prefilter->alwaysRunCount(), 1u);
    cgp::RegexPrefilter::Scratch scratch;
    ASSERT_TRUE(prefilter->prepare(scratch));
    std::string line = "   ";
    prefilter->scan(line.data(), line.data() + line.size(), scratch);
    EXPECT_TRUE(prefilter->isCandidate(scratch, 0));
    EXPECT_FALSE(prefilter->isCandidate(scratch, 1));
}

}  // namespace
