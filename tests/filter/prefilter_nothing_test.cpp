// Constructs that Boost compiles to nothing (comment groups, an empty \Q\E) and a quantifier
// after them: Boost repeats the atom before them. Each case goes through the prefilter made
// every way it is made; every line Boost matches must be a candidate.

#include <memory>
#include <string>
#include <vector>

#include <boost/regex.hpp>
#include <gtest/gtest.h>

#include "filter/prefilter_pattern.h"
#include "filter/regex_prefilter.h"

namespace {

using cgp::PrefilterRule;
using cgp::RegexPrefilter;

// Whole, cut into short expressions of their cores, in parts side by side.
std::unique_ptr<RegexPrefilter> made(const std::vector<PrefilterRule>& rules, int way) {
    std::unique_ptr<RegexPrefilter::Reading> reading =
        way == 1 ? RegexPrefilter::read(rules, nullptr, 40, 20) : RegexPrefilter::read(rules);
    if (!reading) return nullptr;
    if (way != 2) return RegexPrefilter::compile(std::move(*reading));
    std::vector<std::size_t> all(reading->expressions.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    std::vector<std::shared_ptr<const RegexPrefilter::Part>> parts;
    for (const auto& group : RegexPrefilter::split(*reading, all, 2))
        parts.push_back(RegexPrefilter::compilePart(*reading, &group));
    return RegexPrefilter::assemble(*reading, parts);
}

TEST(PrefilterNothing, AQuantifierAfterNothingRepeatsTheAtomBefore) {
    struct Case {
        const char* pattern;
        bool icase;
        bool read;  // whether the prefilter reads it (else the rule is always run)
        std::vector<std::string> matching;  // lines Boost matches
    } cases[] = {
        // Found by the differential test of the whole filter.
        {"#(?#)*@", true, true, {"@"}},
        {"a(?#x)*b", false, true, {"b", "aab"}},
        {"c(?#){0}v", false, true, {"v"}},
        {"x(?#)?", false, true, {"hello"}},
        {"(ab)(?#x)*c", false, true, {"c", "ababc"}},
        {"9](?#)?[[:upper:]]", true, true, {"9a", "9]Z"}},
        // More comments, other quantifiers and marks, other atoms before them.
        {"a(?#)(?#y)*b", false, true, {"b"}},
        {"a(?#)*?b", false, true, {"b"}},
        {"a(?#)*+b", false, true, {"b"}},
        {"a(?#){2,}+b", false, true, {"aab"}},
        {"a(?#){0,1}b", false, true, {"b"}},
        {"[xy](?#)?z", false, true, {"z"}},
        {"\\d(?#)*q", false, true, {"q", "12q"}},
        {"(?:ab)(?#)?c", false, true, {"c"}},
        {"(?<n>ab)(?#)*c", false, true, {"c"}},
        {"(?i:ab)(?#)*c", false, true, {"c", "ABabc"}},
        {"(?>ab)(?#)*c", false, true, {"c"}},
        {"()(?#)*x", false, true, {"x"}},
        {"(?i)x(?#)*y", false, true, {"Y"}},
        {"\\x41(?#)*B", false, true, {"B"}},
        {"\\0101(?#)?C", false, true, {"C"}},
        {"\\.(?#)*e", false, true, {"e"}},
        {"(a)\\1(?#)*b", false, true, {"ab"}},
        {"a.(?#)*b", false, true, {"ab"}},
        {"a(?=b)(?#)*", false, true, {"a"}},          // a lookahead repeated: nothing
        {"a(?#)|b(?#)*c", false, true, {"c", "a"}},    // the atom of its own branch
        {"(a(?#)*)b", false, true, {"b"}},
        // \Q..\E: its bytes are literals, an empty one is nothing.
        {"a\\Q\\E*b", false, true, {"b"}},
        {"\\Qab\\E*c", false, true, {"ac", "abbc"}},
        {"ab\\Q\\E+", false, true, {"ab"}},
        {"(a|bc)(?#)\\Q\\E{0,2}d", false, true, {"d"}},
        {"\\Qa.b\\E", true, true, {"A.B"}},
        {"x\\Qa\\\\E", false, true, {"xa\\"}},       // backslashes inside are literal
        {"\\Q(?#)*\\E", false, true, {"(?#)*"}},
        {"\\Qa|b", false, true, {"a|b"}},             // to the pattern's end
        {"a\\Q", false, true, {"a"}},
        // Left to Boost: what a quantifier there repeats is no atom of the reading.
        {"(?i)(?#)*a", false, false, {"a"}},           // the flag group, whose case Boost then loses
        {"a(?i)*b", false, false, {"ab"}},
        {"a++\\Q\\E*y", false, false, {"xy"}},          // an earlier part, after a possessive
        {"(x)a++\\Q\\E*", false, false, {"b"}},
        {"a\\E*b", false, false, {"ab", "aEEb"}},       // \E alone is an E
        {"(?x)a (?#) *b", false, false, {"b"}},
        {"a(?#", false, false, {"a"}},                 // a comment to the end
    };
    std::vector<PrefilterRule> rules;
    std::vector<boost::regex> expressions;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        boost::regex expression(c.pattern, boost::regex::perl | (c.icase ? boost::regex::icase : 0));
        rules.push_back(PrefilterRule{c.pattern, c.icase, expression.mark_count()});
        expressions.push_back(expression);
        cgp::prefilter::ByteSetOracle oracle;
        cgp::prefilter::PatternNode tree;
        EXPECT_EQ(cgp::prefilter::readPattern(c.pattern, c.icase, expression.mark_count(), oracle, tree), c.read);
    }
    for (int way = 0; way < 3; ++way) {
        std::unique_ptr<RegexPrefilter> prefilter = made(rules, way);
        ASSERT_TRUE(prefilter);
        RegexPrefilter::Scratch scratch;
        ASSERT_TRUE(prefilter->prepare(scratch));
        for (std::size_t i = 0; i < rules.size(); ++i) {
            for (const std::string& line : cases[i].matching) {
                SCOPED_TRACE(std::string(cases[i].pattern) + " on \"" + line + "\", way " + std::to_string(way));
                ASSERT_TRUE(boost::regex_search(line, expressions[i]));
                prefilter->scan(line.data(), line.data() + line.size(), scratch);
                EXPECT_TRUE(prefilter->isCandidate(scratch, i));
            }
        }
    }
}

}  // namespace
