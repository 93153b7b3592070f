#include "filter/regex_prefilter.h"

#include <random>
#include <string>
#include <vector>

#include <boost/regex.hpp>
#include <gtest/gtest.h>

#include "filter/prefilter_pattern.h"
#include "filter/regex_compile_hang.h"
#include "tests/support/regex_grammar.h"

namespace {

using cgp::PrefilterRule;
using cgp::RegexPrefilter;

struct Compiled {
    std::vector<PrefilterRule> rules;
    std::vector<boost::regex> expressions;
};

// Rules as the rules file compiles them; patterns Boost refuses, or never finishes
// compiling, are left out.
Compiled compile(const std::vector<std::pair<std::string, bool>>& patterns) {
    Compiled out;
    for (const auto& [text, icase] : patterns) {
        if (cgp::compileNeverEnds(text, boost::regex::perl)) continue;
        try {
            boost::regex expression(text, boost::regex::perl | (icase ? boost::regex::icase : 0));
            out.rules.push_back(PrefilterRule{text, icase, expression.mark_count()});
            out.expressions.push_back(expression);
        } catch (const std::exception&) {
        }
    }
    return out;
}

bool boostMatches(const boost::regex& expression, const std::string& line) {
    try {
        return boost::regex_search(line.data(), line.data() + line.size(), expression);
    } catch (const std::exception&) {
        return false;
    }
}

// Text with its unprintable bytes as \xHH, for failure messages.
std::string shown(const std::string& text) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7f && c != '\\') out += static_cast<char>(c);
        else out += std::string("\\x") + hex[c >> 4] + hex[c & 15];
    }
    return out;
}

bool readable(const std::string& pattern, bool icase = false) {
    boost::regex expression(pattern, boost::regex::perl | (icase ? boost::regex::icase : 0));
    cgp::prefilter::ByteSetOracle oracle;
    cgp::prefilter::PatternNode tree;
    return cgp::prefilter::readPattern(pattern, icase, expression.mark_count(), oracle, tree);
}

// The prefilter of a table of cases (each with a pattern and icase) built whole, with a
// scratch to scan with; every pattern must compile.
struct Whole {
    Compiled compiled;
    std::unique_ptr<RegexPrefilter> prefilter;
    RegexPrefilter::Scratch scratch;

    bool names(std::size_t rule, const std::string& line) {
        prefilter->scan(line.data(), line.data() + line.size(), scratch);
        return prefilter->isCandidate(scratch, rule);
    }
};

template <class Cases>
void buildWhole(const Cases& cases, Whole& whole) {
    std::vector<std::pair<std::string, bool>> patterns;
    for (const auto& c : cases) patterns.emplace_back(c.pattern, c.icase);
    whole.compiled = compile(patterns);
    ASSERT_EQ(whole.compiled.rules.size(), patterns.size());
    whole.prefilter = RegexPrefilter::build(whole.compiled.rules);
    ASSERT_TRUE(whole.prefilter);
    ASSERT_TRUE(whole.prefilter->prepare(whole.scratch));
}

// Each pattern matches its line only through a way Boost reads it that a careless reader
// gets wrong; the prefilter must still name the rule, and must not name it for a line that
// cannot match.
TEST(RegexPrefilter, BoostReadingsThatAReaderGetsWrong) {
    struct Case {
        const char* pattern;
        bool icase;
        std::string matching;
        std::string other;
    } cases[] = {
        {"^bar", false, "foo\rbar", "xyz"},               // \r starts a line for ^
        {"^bar", false, "foo\fbar", "xyz"},               // so does \f
        {"a$\\s+b", false, "a\rb", "ab"},                 // $ before \r
        {"x.y", false, "x\ry", "xy"},                     // . takes \r
        {"x.y", false, std::string("x\0y", 3), "xy"},     // and NUL
        {"(?s)x.y", false, "x\ny", "xy"},
        {"\\<bar\\>", false, "a bar b", "xyz"},           // word assertions, not text
        {"\\`ab\\'", false, "ab", "xyz"},                 // buffer assertions
        {"x\\ly", false, "xay", "xAy"},                   // \l is a class of lower-case letters
        {"x\\uy", false, "xAy", "xay"},                   // \u of upper-case letters
        {"x[@-C]y", true, "x[y", "xDy"},                  // an icase range folds its ends
        {"caf\\xC9", true, "caf\xC9", "xyz"},             // high bytes do not fold
        {"a{ 1}b", false, "ab", "xyz"},                   // a repeat with a blank: left to Boost
        {"a{1, 2}b", false, "aab", "xyz"},
        {"a{x}", false, "a{x}", "xyz"},                   // braces as text
        {"a{,3}", false, "a{,3}", "xyz"},
        {"a{1,", false, "a{1,", "xyz"},
        {"(a)\\12", false, "aa2", "xyz"},                 // a back-reference, then "2"
        {"\\012x", false, "\nx", "xyz"},                  // octal
        {"\\0150", false, "h", "\r0"},                    // three digits after \0
        {"\\0x", false, std::string("\0x", 2), "x"},
        {"a(?=(?i)(b))B", false, "aB", "ab"},              // flags inside a lookahead stay there
        {"(?!(?i)no)yes", false, "yes", "YES"},
        {"\\x4G", false, "\x04G", "xyz"},                 // a one-digit hex escape
        {"(?i)ab|cd", false, "CD", "xyz"},                // leading flags reach every branch
        {"x(?i)a|b", false, "B", "xyz"},                  // and so does a bare one later on
        {"(?i:a)b|c", false, "Ab", "aB"},
        {"\\Qa.b\\E", false, "a.b", "axb"},
        {"(?x) a b", false, "ab", "a b"},
        {"a(?#comment)b", false, "ab", "xyz"},
        {"(?<=a)b", false, "ab", "xyz"},
        {"a\\Kb", false, "ab", "xyz"},
        {"\\Rx", false, "\r\nx", "xyz"},
        {"[[:alpha:]]+z", false, "abz", "1z"},
        {"[]a]x", false, "]x", "bx"},
        {"a++b", false, "aab", "xyz"},                    // possessive
        {"a*?b", false, "b", "xyz"},                      // lazy
    };
    Whole whole;
    ASSERT_NO_FATAL_FAILURE(buildWhole(cases, whole));
    for (std::size_t i = 0; i < whole.compiled.rules.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.pattern);
        ASSERT_TRUE(boostMatches(whole.compiled.expressions[i], c.matching));
        ASSERT_FALSE(boostMatches(whole.compiled.expressions[i], c.other));
        EXPECT_TRUE(whole.names(i, c.matching));
    }
}

// A back-reference reads as a copy of its group, which names far fewer lines than "any
// text" would; where the copy could miss what the reference matches (it ignores case and
// the group does not, the group's anchors, flags in a lookaround) the rule is still named.
TEST(RegexPrefilter, ABackReferenceReadsAsACopyOfItsGroup) {
    struct Case {
        const char* pattern;
        bool icase;
        std::string matching;
        std::string unnamed;  // cannot match, and a copy of the group rules it out ("" for none)
    } cases[] = {
        {"(ab)x\\1", false, "abxab", "abxcd"},
        {"(ab)x\\1", true, "ABxab", "abxcd"},
        {"(?<n>ab)x\\1", false, "abxab", "abxcd"},
        {"\\b(?:[a-z]([-. ])\\1{0,2}){4}", true, "x A.b.c.d", "a.bb.c.d."},
        {"(?:(a|b)c)+x\\1", false, "acbcxb", "acbcxc"},    // the last time round
        {"(?=(ab))..x\\1", false, "abxab", "abxcd"},       // a group in a lookahead
        {"((?i:ab))x\\1", false, "ABxAB", "ABxcd"},        // the group ignores case, the reference not
        {"(a)?\\1b", false, "aab", ""},                    // Boost fails a group that took no part
        {"(ab)(?i:x\\1)", false, "abXAB", ""},             // the reference ignores case, the group not
        {"((?-i:a)b)x\\1", true, "aBxAb", ""},             // nor all of the group
        {"(a$)[\\s\\S]*\\1", false, "a\nab", ""},          // anchors held where the group matched
        {"(^a)\\s+\\1b", false, "a\n ab", ""},
        {"(?=(?i)(ab))..x\\1", false, "ABxAB", ""},        // a bare flag in a lookahead
        {"(a)(\\1\\1)(\\2\\2)(\\3\\3)(\\4\\4)(\\5\\5)(\\6\\6)(\\7\\7)(\\8\\8)\\9\\9", false, std::string(1023, 'a'),
         std::string(1022, 'a')},
    };
    Whole whole;
    ASSERT_NO_FATAL_FAILURE(buildWhole(cases, whole));
    for (std::size_t i = 0; i < whole.compiled.rules.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.pattern);
        EXPECT_TRUE(readable(c.pattern, c.icase));
        ASSERT_TRUE(boostMatches(whole.compiled.expressions[i], c.matching));
        EXPECT_TRUE(whole.names(i, c.matching));
        if (c.unnamed.empty()) continue;
        ASSERT_FALSE(boostMatches(whole.compiled.expressions[i], c.unnamed));
        EXPECT_FALSE(whole.names(i, c.unnamed)) << shown(c.unnamed);
    }
}

// The prefilter is worth having only when it reads the usual forms; the rest it leaves to
// Boost. Both lists are part of its contract.
TEST(RegexPrefilter, ReadsTheUsualFormsAndLeavesTheRestToBoost) {
    for (const char* pattern : {"^Subject:.*\\b(free|cash) money\\b", "\\bviagra\\b", "[A-Z]{12,}", "(?i)lottery",
                                "https?://[a-z0-9.-]+\\.(ru|cn)/", "\\$[0-9]{3,}(\\.[0-9]{2})?", "x(?=y)",
                                "(?:a|b)+?c", "(?<name>a)", "\\x{41}\\xe9", "(?i:abc)(?-i:d)", "(a)\\1", "\\012",
                                "a(?!(?i)b)", "\\Qa.b\\E+", "a(?#x)*b"})
        EXPECT_TRUE(readable(pattern)) << pattern;
    for (const char* pattern : {"\\p{Lu}", "(?x)a b", "(?(1)a|b)", "a{ 1}", "a{x}", "a{,3}", "\\01234",
                                "\\cA", "\\N{LATIN SMALL LETTER A}", "(a)\\g1", "(?<n>a)\\k<n>", "[[.a.]]", "[[=a=]]",
                                "x(?i)a", "(?|(a)|(b))", "\\y", "(*UTF8)a", "a**", "x\\E",
                                "(?i)(?#)*a", "a++\\Q\\E*y", "(x)a++\\Q\\E*", "a(?#"}) {
        bool compiles = true;
        try {
            boost::regex expression(pattern, boost::regex::perl);
        } catch (const std::exception&) {
            compiles = false;
        }
        if (compiles) {
            EXPECT_FALSE(readable(pattern)) << pattern;
        }
    }
}

TEST(RegexPrefilter, NamesOnlyTheRulesALineCanMatch) {
    Compiled compiled = compile({{"viagra", true}, {"^From: .*@example\\.org", false}, {"lottery|jackpot", false},
                                 {"x*", false}, {"\\Qplain\\E", false}});
    std::unique_ptr<RegexPrefilter> prefilter = RegexPrefilter::build(compiled.rules);
    ASSERT_TRUE(prefilter);
    EXPECT_EQ(prefilter->alwaysRunCount(), 1u);  // "x*" matches every line
    RegexPrefilter::Scratch scratch;
    ASSERT_TRUE(prefilter->prepare(scratch));
    auto named = [&](const std::string& line) {
        prefilter->scan(line.data(), line.data() + line.size(), scratch);
        std::string out;
        for (std::size_t i = 0; i < prefilter->ruleCount(); ++i) out += prefilter->isCandidate(scratch, i) ? '1' : '0';
        return out;
    };
    EXPECT_EQ(named("Buy VIAGRA now"), "10010");
    EXPECT_EQ(named("From: someone@example.org"), "01010");
    EXPECT_EQ(named("the jackpot"), "00110");
    EXPECT_EQ(named("nothing here"), "00010");
    EXPECT_EQ(named(""), "00010");
    EXPECT_EQ(named("in plain words"), "00011");
}

// Anchors at a match's edges keep their meaning in Boost's default syntax, where a line
// separator (line feed, form feed, carriage return) starts and ends a line: the line that
// cannot match is left out, and every line that can is named.
TEST(RegexPrefilter, AnchorsAtTheEdgesNarrowTheCandidates) {
    struct Case {
        const char* pattern;
        std::vector<std::string> matching, other;
    } cases[] = {
        {"^abc", {"abc", "x\rabc", "x\nabc", "x\fabc"}, {"xabc", "x abc"}},
        {"abc$", {"abc", "xabc\r", "abc\nx", "abc\fx"}, {"abcx", "abc x"}},
        {"^.{1,5}$", {"short", "a", "long line\rshort"}, {"a longer line", "sixsix"}},
        {"(?:^|\\s)word\\b", {"word", "a word", "x\rword"}, {"aword", "swords"}},
        {"\\Aabc\\z", {"abc"}, {"abcd", "xabc"}},
        {"(?:^a)+b", {"ab"}, {"cb"}},     // inside a repeat an anchor requires nothing
        {"x(?:^|y)z", {"xyz"}, {"xy"}},    // nor in the middle of a match
    };
    for (const Case& c : cases) {
        Compiled compiled = compile({{c.pattern, false}});
        std::unique_ptr<RegexPrefilter> prefilter = RegexPrefilter::build(compiled.rules);
        ASSERT_TRUE(prefilter);
        ASSERT_EQ(prefilter->alwaysRunCount(), 0u) << c.pattern;
        RegexPrefilter::Scratch scratch;
        ASSERT_TRUE(prefilter->prepare(scratch));
        for (const std::string& line : c.matching) {
            ASSERT_TRUE(boostMatches(compiled.expressions[0], line)) << c.pattern << " " << line;
            prefilter->scan(line.data(), line.data() + line.size(), scratch);
            EXPECT_TRUE(prefilter->isCandidate(scratch, 0)) << c.pattern << " " << line;
        }
        for (const std::string& line : c.other) {
            ASSERT_FALSE(boostMatches(compiled.expressions[0], line)) << c.pattern << " " << line;
            prefilter->scan(line.data(), line.data() + line.size(), scratch);
            EXPECT_FALSE(prefilter->isCandidate(scratch, 0)) << c.pattern << " " << line;
        }
    }
}

// A prefilter engine seen here (vectorscan 5.4.9 on an AVX-512 machine) missed one-byte
// patterns past the 64th byte of a line and short literal sets near its end.
TEST(RegexPrefilter, FindsShortPatternsAnywhereInLongLines) {
    struct Placed {
        const char* pattern;
        std::string text;
    } placed[] = {{"x", "x"}, {"\\xff", "\xff"}, {"x[yz]", "xy"}, {"x+", "x"}, {"ab", "ab"}, {"[\\xfe\\xff]", "\xfe"}};
    for (const Placed& p : placed) {
        Compiled compiled = compile({{p.pattern, false}});
        std::unique_ptr<RegexPrefilter> prefilter = RegexPrefilter::build(compiled.rules);
        ASSERT_TRUE(prefilter);
        ASSERT_EQ(prefilter->alwaysRunCount(), 0u) << p.pattern;
        RegexPrefilter::Scratch scratch;
        ASSERT_TRUE(prefilter->prepare(scratch));
        for (std::size_t length : {60, 64, 65, 70, 100, 300, 4096}) {
            for (std::size_t at : {std::size_t(0), std::size_t(1), length / 2, length - 3, length - p.text.size()}) {
                std::string line(length, 'q');
                line.replace(at, p.text.size(), p.text);
                prefilter->scan(line.data(), line.data() + line.size(), scratch);
                EXPECT_TRUE(prefilter->isCandidate(scratch, 0)) << p.pattern << " at " << at << " of " << length;
            }
        }
    }
}

TEST(RegexPrefilter, AStopRequestEndsTheBuild) {
    Compiled compiled = compile({{"abc", false}});
    std::atomic<bool> stop{true};
    EXPECT_FALSE(RegexPrefilter::build(compiled.rules, &stop));
}

// The ways a prefilter is made: whole, cut into short expressions of their cores, in parts
// side by side.
std::unique_ptr<RegexPrefilter> made(const Compiled& compiled, int way) {
    std::unique_ptr<RegexPrefilter::Reading> reading =
        way == 1 ? RegexPrefilter::read(compiled.rules, nullptr, 40, 20) : RegexPrefilter::read(compiled.rules);
    if (!reading) return nullptr;
    if (way != 2) return RegexPrefilter::compile(std::move(*reading));
    std::vector<std::shared_ptr<const RegexPrefilter::Part>> parts;
    std::vector<std::size_t> all(reading->expressions.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    for (const auto& group : RegexPrefilter::split(*reading, all, 3))
        parts.push_back(RegexPrefilter::compilePart(*reading, &group));
    return RegexPrefilter::assemble(*reading, parts);
}

// Every pair Boost matches is a candidate, for random rules over random lines, however the
// prefilter was made; the list of candidates is the rules isCandidate names, in order.
void everyBoostMatchIsACandidate(int way, int batches) {
    {
        std::mt19937 random(20261210);
        testsupport::RegexGrammar grammar(
            [&](unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(random); });
        std::size_t pairs = 0, matches = 0, candidates = 0, read = 0, rules = 0;
        for (int batch = 0; batch < batches; ++batch) {
            std::vector<std::pair<std::string, bool>> patterns;
            for (int i = 0; i < 60; ++i) patterns.emplace_back(grammar.pattern(), random() % 3 == 0);
            Compiled compiled = compile(patterns);
            std::unique_ptr<RegexPrefilter> prefilter = made(compiled, way);
            ASSERT_TRUE(prefilter);
            rules += prefilter->ruleCount();
            read += prefilter->ruleCount() - prefilter->alwaysRunCount();
            RegexPrefilter::Scratch scratch;
            ASSERT_TRUE(prefilter->prepare(scratch));
            for (int l = 0; l < 80; ++l) {
                std::string line = grammar.line();
                // Engines take other paths past 64 bytes and near the end of long lines.
                if (l % 2) line = std::string(64 + random() % 64, 'q') + line + std::string(random() % 3, 'q');
                prefilter->scan(line.data(), line.data() + line.size(), scratch);
                std::vector<std::uint32_t> named;
                for (std::size_t i = 0; i < compiled.rules.size(); ++i) {
                    ++pairs;
                    bool candidate = prefilter->isCandidate(scratch, i);
                    if (candidate) named.push_back(static_cast<std::uint32_t>(i));
                    candidates += candidate;
                    if (boostMatches(compiled.expressions[i], line)) {
                        ++matches;
                        ASSERT_TRUE(candidate) << "rule /" << shown(compiled.rules[i].pattern) << "/"
                                               << (compiled.rules[i].ignoreCase ? "i" : "") << " line \""
                                               << shown(line) << "\"";
                    }
                }
                ASSERT_EQ(prefilter->candidates(scratch), named) << line;
            }
        }
        // The property must not hold only because everything is a candidate. Short random
        // patterns are often broad enough to be left to Boost on purpose, so a quarter read
        // is enough to make it mean something.
        EXPECT_GT(read * 4, rules);
        EXPECT_LT(candidates, pairs);
        EXPECT_GT(matches, pairs / 50);
    }
}

TEST(RegexPrefilter, EveryBoostMatchIsACandidate) { everyBoostMatchIsACandidate(0, 5); }
TEST(RegexPrefilter, EveryBoostMatchIsACandidateOfRulesCutToTheirCores) { everyBoostMatchIsACandidate(1, 3); }
TEST(RegexPrefilter, EveryBoostMatchIsACandidateOfPartsSideBySide) { everyBoostMatchIsACandidate(2, 3); }

// Comment groups and an empty \Q\E are nothing to Boost: a quantifier after them repeats
// the atom before them. Each case goes through the prefilter made every way it is made;
// every line Boost matches must be a candidate.
TEST(RegexPrefilter, AQuantifierAfterNothingRepeatsTheAtomBefore) {
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
    std::vector<std::pair<std::string, bool>> patterns;
    for (const Case& c : cases) patterns.emplace_back(c.pattern, c.icase);
    Compiled compiled = compile(patterns);
    ASSERT_EQ(compiled.rules.size(), sizeof cases / sizeof *cases);
    for (std::size_t i = 0; i < compiled.rules.size(); ++i)
        EXPECT_EQ(readable(cases[i].pattern, cases[i].icase), cases[i].read) << cases[i].pattern;
    for (int way = 0; way < 3; ++way) {
        std::unique_ptr<RegexPrefilter> prefilter = made(compiled, way);
        ASSERT_TRUE(prefilter);
        RegexPrefilter::Scratch scratch;
        ASSERT_TRUE(prefilter->prepare(scratch));
        for (std::size_t i = 0; i < compiled.rules.size(); ++i) {
            for (const std::string& line : cases[i].matching) {
                SCOPED_TRACE(std::string(cases[i].pattern) + " on \"" + line + "\", way " + std::to_string(way));
                ASSERT_TRUE(boostMatches(compiled.expressions[i], line));
                prefilter->scan(line.data(), line.data() + line.size(), scratch);
                EXPECT_TRUE(prefilter->isCandidate(scratch, i));
            }
        }
    }
}

// A long node repeated at least twice, given by its core, still needs two copies of the core
// on a line: one field name alone does not name a rule of several in a row.
TEST(RegexPrefilter, ARepeatedLongNodeNeedsCopiesOfItsCore) {
    // Ignoring case, the node fits as often as it repeats; else twice.
    Compiled compiled = compile({{"(?:(?:apple|banana|cherry|durian|elderberry)[ ,:]+){3}", true},
                                 {"(?:apple|banana|cherry|durian|elderberry)[ ,:]+", true},
                                 {"(?:(?:apple|banana|cherry|durian|elderberry)[ ,:]+){3}", false}});
    ASSERT_EQ(compiled.rules.size(), 3u);
    std::unique_ptr<RegexPrefilter::Reading> reading = RegexPrefilter::read(compiled.rules, nullptr, 16000, 20);
    ASSERT_TRUE(reading);
    std::unique_ptr<RegexPrefilter> prefilter = RegexPrefilter::compile(std::move(*reading));
    ASSERT_TRUE(prefilter);
    EXPECT_EQ(prefilter->alwaysRunCount(), 0u);
    RegexPrefilter::Scratch scratch;
    ASSERT_TRUE(prefilter->prepare(scratch));
    struct Case {
        std::string line;
        bool named[3];  // by rule
    };
    for (const Case& c : std::vector<Case>{{"Cherry: the one fruit", {false, true, false}},
                                           {"cherry, then some durian: ", {false, true, true}},
                                           {"APPLE, banana: Durian ", {true, true, false}},
                                           {"apple, banana: durian ", {true, true, true}},
                                           {"no fruit at all", {false, false, false}}}) {
        prefilter->scan(c.line.data(), c.line.data() + c.line.size(), scratch);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(prefilter->isCandidate(scratch, i), c.named[i]) << c.line << " rule " << i;
            if (boostMatches(compiled.expressions[i], c.line)) {
                EXPECT_TRUE(prefilter->isCandidate(scratch, i)) << c.line;
            }
        }
    }
}

// A rule far over the engine's length limit is cut into expressions under it, and still
// names every line it matches.
TEST(RegexPrefilter, LongRulesAreCutUnderTheEngineLimit) {
    std::mt19937 random(7);
    std::vector<std::string> words;
    std::string alternation;
    for (int i = 0; i < 2300; ++i) {
        std::string word;
        for (int j = 0; j < 8; ++j) word += static_cast<char>('a' + random() % 26);
        words.push_back(word);
        alternation += (i ? "|" : "") + word;
    }
    const std::vector<std::string> patterns = {
        "(?:^|\\s)(?:" + alternation + ")\\b",  // a sequence around a long choice
        "(?:x(?:" + alternation + ")y){3}",       // a repeat of it
        "short",
    };
    ASSERT_GT(patterns[0].size(), 20000u);
    Compiled compiled = compile({{patterns[0], true}, {patterns[1], false}, {patterns[2], false}});
    std::unique_ptr<RegexPrefilter::Reading> reading = RegexPrefilter::read(compiled.rules);
    ASSERT_TRUE(reading);
    for (const std::string& expression : reading->expressions)
        EXPECT_LE(expression.size(), RegexPrefilter::maxExpressionLength);
    EXPECT_GT(reading->expressions.size(), 3u);
    std::unique_ptr<RegexPrefilter> prefilter = RegexPrefilter::compile(std::move(*reading));
    ASSERT_TRUE(prefilter);
    EXPECT_EQ(prefilter->alwaysRunCount(), 0u);
    RegexPrefilter::Scratch scratch;
    ASSERT_TRUE(prefilter->prepare(scratch));
    for (std::size_t w = 0; w < words.size(); w += 97) {
        std::string line = "some text " + words[w] + " and x" + words[w] + "yx" + words[w] + "yx" + words[w] + "y";
        ASSERT_TRUE(boostMatches(compiled.expressions[0], line) && boostMatches(compiled.expressions[1], line));
        prefilter->scan(line.data(), line.data() + line.size(), scratch);
        EXPECT_TRUE(prefilter->isCandidate(scratch, 0)) << words[w];
        EXPECT_TRUE(prefilter->isCandidate(scratch, 1)) << words[w];
    }
    std::string plain = "nothing of the kind here";
    prefilter->scan(plain.data(), plain.data() + plain.size(), scratch);
    EXPECT_EQ(prefilter->candidates(scratch), std::vector<std::uint32_t>());
}

// A piece cut from inside a long element (one copy of a repeat, a run of a sequence) need
// not touch the element's neighbours: they are not glued to it.
TEST(RegexPrefilter, PiecesFromInsideALongElementKeepNoNeighbours) {
    const std::string copy = "abcdefghijklmnopqrstuvwxyz0123456789";
    struct Case {
        std::string pattern, line;
    } cases[] = {
        {"x(?:" + copy + "){2}y", "x" + copy + copy + "y"},
        {"x(?:" + copy + "|Q)+y", "xQ" + copy + "y"},
        {"x(?:(?:" + copy + ")+(?:" + copy + ")+)y", "x" + copy + copy + copy + "y"},
        {"x(?:" + copy + "!)+y", "x" + copy + "!" + copy + "!y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        Compiled compiled = compile({{c.pattern, false}});
        ASSERT_TRUE(boostMatches(compiled.expressions[0], c.line));
        // Short expressions, no core: the pieces are cut from the whole rule.
        std::unique_ptr<RegexPrefilter::Reading> reading = RegexPrefilter::read(compiled.rules, nullptr, 40, 4000);
        ASSERT_TRUE(reading);
        std::unique_ptr<RegexPrefilter> prefilter = RegexPrefilter::compile(std::move(*reading));
        ASSERT_TRUE(prefilter);
        RegexPrefilter::Scratch scratch;
        ASSERT_TRUE(prefilter->prepare(scratch));
        prefilter->scan(c.line.data(), c.line.data() + c.line.size(), scratch);
        EXPECT_TRUE(prefilter->isCandidate(scratch, 0));
    }
}

// An expression the engine refuses costs its own rule only: that rule is always run, the
// others of its part are compiled without it.
TEST(RegexPrefilter, ARefusedExpressionLeavesOnlyItsRuleAlwaysRun) {
    RegexPrefilter::Reading reading;
    reading.always.assign(3, 1);
    reading.expressions = {"abc", "(unbalanced", "x[yz]", "def"};
    reading.ruleOf = {0, 1, 2, 1};
    std::shared_ptr<const RegexPrefilter::Part> part = RegexPrefilter::compilePart(reading, nullptr);
    ASSERT_TRUE(part);
    std::unique_ptr<RegexPrefilter> prefilter = RegexPrefilter::assemble(reading, {part});
    EXPECT_EQ(prefilter->alwaysRunCount(), 1u);
    RegexPrefilter::Scratch scratch;
    ASSERT_TRUE(prefilter->prepare(scratch));
    std::string line = "--def--";
    prefilter->scan(line.data(), line.data() + line.size(), scratch);
    EXPECT_EQ(prefilter->candidates(scratch), std::vector<std::uint32_t>({1}));
    line = "xz abc";
    prefilter->scan(line.data(), line.data() + line.size(), scratch);
    EXPECT_EQ(prefilter->candidates(scratch), std::vector<std::uint32_t>({0, 1, 2}));
}

// A part compiled once serves prefilters that number its rules otherwise: the rules it
// names are the prefilter's, as the part's table says. A table that does not fit the part
// leaves the part out, its rules always run, rather than read past the table.
TEST(RegexPrefilter, APlacedPartNamesRulesByThePrefiltersNumbers) {
    RegexPrefilter::Reading piece;  // two rules, numbered within the part
    piece.always.assign(2, 1);
    piece.expressions = {"abc", "x[yz]", "qq+r"};
    piece.ruleOf = {0, 1, 1};
    std::shared_ptr<const RegexPrefilter::Part> part = RegexPrefilter::compilePart(piece, nullptr);
    ASSERT_TRUE(part);
    RegexPrefilter::Reading whole;  // five rules: the part's are 3 and 1, the others have none
    whole.always.assign(5, 1);
    const struct {
        const char* name;
        std::vector<std::uint32_t> rules;
        std::size_t always;
        std::vector<std::uint32_t> onAbc, onXz;  // candidates
    } cases[] = {
        {"placed", {3, 1}, 3, {0, 2, 3, 4}, {0, 1, 2, 4}},
        {"the same numbers", {}, 3, {0, 2, 3, 4}, {1, 2, 3, 4}},
        {"a table too short", {3}, 5, {0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}},
        {"a rule the prefilter lacks", {3, 7}, 5, {0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<RegexPrefilter> prefilter =
            RegexPrefilter::assemble(whole, {RegexPrefilter::Placed{part, c.rules}});
        EXPECT_EQ(prefilter->alwaysRunCount(), c.always);
        RegexPrefilter::Scratch scratch;
        ASSERT_TRUE(prefilter->prepare(scratch));
        for (const auto& [line, expected] : {std::make_pair(std::string("--abc--"), c.onAbc),
                                             std::make_pair(std::string("a qqr and xz"), c.onXz)}) {
            prefilter->scan(line.data(), line.data() + line.size(), scratch);
            EXPECT_EQ(prefilter->candidates(scratch), expected) << line;
        }
    }
}

}  // namespace
