// The one shape of pattern that Boost.Regex 1.74's compiler never returns on, told apart
// from its near neighbours that compile (or fail) as usual.

#include "filter/regex_compile_hang.h"

#include <string>

#include <gtest/gtest.h>

namespace {

const boost::regex::flag_type perl = boost::regex::perl;
const boost::regex::flag_type folded = boost::regex::perl | boost::regex::icase;

struct Case {
    const char* pattern;
    bool endless;
};

// Each endless one was seen to spin for ever in Boost; each other one returns (checked
// below by compiling it).
const Case cases[] = {
    // The possessive forms, each followed by a comment and a character.
    {"a++(?#)x", true},
    {"a*+(?#)x", true},
    {"a?+(?#)x", true},
    {"(){2}+(?#)x", true},
    {"a{2}+(?#)x", true},
    {"a{2,}+(?#)x", true},
    {"a{2,5}+(?#)x", true},
    {"a{2 , 3 }+(?#)x", true},
    {"a{+2}+(?#)x", true},
    {"a+?+(?#)x", true},
    {"a(?#)++(?#)x", true},  // a comment before the quantifier is nothing
    {"a++(?#)(?#)x", true},
    {"a++(?#c)|", true},
    {"a++(?#) ", true},     // a blank is a character without x
    {"a++(?#)\\d", true},
    {"\\x{2b}++(?#)x", true},
    {"\\Q\\\\E++(?#)x", true},
    {"(?<n>x)++(?#)x", true},
    {"(?'n')++(?#)x", true},
    {"[]a]++(?#)x", true},
    {"x(a(?x)b)a++(?#) ", true},  // x ends with its group
    {"(?x-x)a++(?#) ", true},
    {"(?x)a++ (?#) x", true},
    {"(?x)a+ + (?#) x", true},
    {"(?x)a{2} ?+(?#)x", true},
    {"(?x)a++(?#)(?#) x", true},
    {"(?x)a++(?#)#", true},
    // Neighbours that end.
    {"(){2}+(?#)", false},   // nothing after the comment
    {"(){2}(?#)x", false},   // not possessive
    {"(){2}+(?#x)", false},  // the character is inside the comment
    {"a++(?#)(x)", false},   // a group after it
    {"a++(?#)+", false},     // an error
    {"a++(?#)*", false},
    {"a++(?#)?", false},
    {"a++(?#){2}", false},
    {"a++x(?#)y", false},
    {"a++", false},
    {"a+(?#)x", false},
    {"a+ +(?#)x", false},      // without x the blank is a literal
    {"a{x}+(?#)x", false},     // the brace is a literal, the plus a plain quantifier
    {"a{,2}+(?#)x", false},
    {"a{2,x}+(?#)x", false},
    {"\\++(?#)x", false},      // an escaped plus, then a plain quantifier
    {"\\c++(?#)x", false},     // \c takes the next character
    {"[a++(?#)x]", false},
    {"[]a++(?#)x]", false},
    {"[^]a++(?#)x]", false},
    {"[[:alpha:]a++(?#)x]", false},
    {"\\Qa++(?#)x", false},
    {"\\Qa++(?#)x\\E", false},
    {"(?#a++(?#)x)", false},
    {"(?x)a++(?#) ", false},   // x passes over the blank to the end
    {"(?x)a++(?#)", false},
    {"(?x)(?-x:a)a++(?#) ", false},
    {"(?x)(a(?-x)b)a++(?#) ", false},
    {"a(?x)|b++(?#) ", false},  // x holds across the alternative
    {"(?x)a++#(?#)x", false},   // a comment of x to the end
    {"(?x:a++)(?#)x", false},
    {"(?x)a{2}? +(?#)x", false},  // an error: a blank between the marks
    {"", false},
    {"((((", false},
    {"\\", false},
    {"a++(?#", false},
};

TEST(RegexCompileHangTest, KnowsTheEndlessShapeFromItsNeighbours) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(cgp::compileNeverEnds(c.pattern, perl), c.endless);
        EXPECT_EQ(cgp::compileNeverEnds(c.pattern, folded), c.endless);
        if (c.endless) continue;
        // Safe to hand to Boost: it returns, compiled or refused.
        try {
            boost::regex compiled(c.pattern, perl);
        } catch (const std::exception&) {
        }
    }
}

TEST(RegexCompileHangTest, OnlyThePerlSyntaxHasTheShape) {
    EXPECT_TRUE(cgp::compileNeverEnds("a++(?#)x", boost::regex::perl));
    EXPECT_FALSE(cgp::compileNeverEnds("a++(?#)x", boost::regex::basic));
    EXPECT_FALSE(cgp::compileNeverEnds("a++(?#)x", boost::regex::extended));
    EXPECT_FALSE(cgp::compileNeverEnds("a++(?#)x", boost::regex::perl | boost::regex::no_perl_ex));
    // The x flag given at compile time acts as (?x) does.
    EXPECT_FALSE(cgp::compileNeverEnds("a++(?#) ", boost::regex::perl | boost::regex::mod_x));
    EXPECT_TRUE(cgp::compileNeverEnds("a++(?#) x", boost::regex::perl | boost::regex::mod_x));
}

}  // namespace
