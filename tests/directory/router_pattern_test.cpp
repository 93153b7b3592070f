#include <gtest/gtest.h>

#include <string>

#include "directory/email.h"
#include "directory/router.h"
#include "formats/parser.h"
#include "tests/directory/base_folder.h"

namespace cgp {
namespace {

// A pattern as "prefix|suffix|flags": w for a wildcard, a for address form.
std::string describe(const RouterPattern& pattern) {
    std::string flags = std::string(pattern.wildcard ? "w" : "") + (pattern.addressForm ? "a" : "");
    return pattern.prefix + "|" + pattern.suffix + "|" + flags;
}

// A row as "left -> right", each side described.
std::string describe(const RouterEntry& row) { return describe(*row.left) + " -> " + describe(*row.right); }

std::string describe(const RouterRows& rows) {
    std::string out;
    for (const auto& row : rows) out += (out.empty() ? "" : " ; ") + describe(*row);
    return out;
}

TEST(RouterPatternTest, BuildsPatternsFromWords) {
    setDefaultDomain("Relay.Example");
    struct Case {
        const char* word;
        int angle;
        const char* pattern;
    } const cases[] = {
        {"", 0, "||"},
        {"Main.EXAMPLE", 0, "main.example||"},
        {"*.Example", 0, "|.example|w"},
        {"*", 0, "||w"},
        {"a*b*c", 0, "a|b*c|w"},
        {"\\*x@y", 0, "\\*x@y||"},
        {"a\\*b*c", 0, "a\\*b|c|w"},
        {"x\\*", 0, "x\\*||"},
        // Address form: "@" and the default domain, as it is, when there is no "@".
        {"Joe", 1, "joe@Relay.Example||a"},
        {"Joe@X.Com", 1, "joe@x.com||a"},
        {"*@Lists.Example", 2, "|@lists.example|wa"},
        {"Jo*", 1, "jo|@Relay.Example|wa"},
        // Bytes of the upper half stay as they are.
        {"\xC3\x89T\xC3\xA9*", 0, "\xC3\x89t\xC3\xA9||w"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(describe(*makeRouterPattern(c.word, c.angle)), c.pattern) << c.word;
    }
}

TEST(RouterPatternTest, PipePatternDropsFirstAndLastByte) {
    struct Case {
        const char* text;
        const char* pattern;
    } const cases[] = {
        {"\"Joe Doe\"", "joe doe@pipe||"},
        {"[prog*]", "prog|@pipe|w"},
        {"ab", "@pipe||"},
        // Too short to drop two bytes: kept whole.
        {"x", "x@pipe||"},
        {"", "@pipe||"},
    };
    for (const Case& c : cases) EXPECT_EQ(describe(*makePipePattern(c.text)), c.pattern) << c.text;
}

TEST(RouterPatternTest, MatchesWildcardRows) {
    struct Case {
        const char* text;
        const char* left;
        const char* right;
        const char* result;  // null: no match, text unchanged
    } const cases[] = {
        {"joe@old.example", "*@old.example", "*@new.example", "joe@new.example"},
        {"joe@old.example", "*@old.example", "catchall@new.example", "catchall@new.example"},
        {"JOE@Old.example", "joe@*", "x-*-y", "x-Old.example-y"},
        {"abcdef", "abc*", "*", "def"},
        {"", "*", "all", "all"},
        {"abc", "abc*", "<*>", "<>"},
        // The suffix must be found first where it ends the text.
        {"a.dom.x.dom", "*.dom", "*.new", nullptr},
        {"x.dom", "*.dom", "*.new", "x.new"},
        {".dom", "*.dom", "[*]", "[]"},
        // Prefix and suffix may not overlap.
        {"aba", "ab*ba", "*", nullptr},
        {"abba", "ab*ba", "*", ""},
        {"ab", "abc*", "*", nullptr},
        {"xabc", "abc*", "*", nullptr},
        // The suffix compares byte for byte.
        {"x.DOM", "*.dom", "*", nullptr},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        bool matched = matchRouterPattern(text, *makeRouterPattern(c.left, 0), *makeRouterPattern(c.right, 0));
        EXPECT_EQ(matched, c.result != nullptr) << c.text << " " << c.left;
        EXPECT_EQ(text, c.result ? c.result : c.text) << c.text << " " << c.left;
    }
}

TEST(RouterPatternTest, RowsGoToTheirListAndClearRouterFreesThem) {
    BaseFolder base;
    base.mainSettings("Main.Example");
    tmg::MutexLock lock(&routerMutex());
    EXPECT_EQ(addRouterEntryAction(nullptr), 0);
    EXPECT_EQ(addRouterEntryAction(makeRouterEntry(makeRouterPattern("A@B", 1), makeRouterPattern("c", 0))), 0);
    EXPECT_EQ(addRouterEntryAction(makeRouterEntry(makeRouterPattern("old.example", 0), nullptr)), 0);
    EXPECT_EQ(describe(routerAddressRows()), "a@b||a -> c||");
    // A missing right side is the main domain's name.
    EXPECT_EQ(describe(routerDomainRows()), "old.example|| -> main.example||");
    clearRouter();
    EXPECT_TRUE(routerAddressRows().empty());
    EXPECT_TRUE(routerDomainRows().empty());
}

// The main domain is first read here, for the row without a right side. The sink reads it
// before the parse: read inside it, Main.settings would be parsed under the parser mutex,
// which the lock-order check of sanitizer builds stops.
TEST(RouterPatternTest, TableSinkBuildsRowsFromRouterText) {
    BaseFolder base;
    base.mainSettings("Main.Example");
    setDefaultDomain("relay.example");
    const char* text =
        "; the Router table\n"
        "\n"
        "Mail: <Joe> = \"Joe Doe\"@Pipe\n"
        "*.Old.Example = *.new.example ; moved\r\n"
        "   \t\n"
        "<*@Lists.Example> = lists@Example.COM\n"
        "Relay:Out: relay.example =\n"
        "<\\*x> = y\n"
        "last.example = Row";
    {
        RouterTableSink sink;
        EXPECT_TRUE(cgparserParseString(text, RouterMode, &sink));
    }
    tmg::MutexLock lock(&routerMutex());
    EXPECT_EQ(describe(routerAddressRows()),
              "joe@relay.example||a -> \"joe doe\"@pipe|| ; "
              "|@lists.example|wa -> lists@example.com|| ; "
              "\\*x@relay.example||a -> y||");
    EXPECT_EQ(describe(routerDomainRows()),
              "|.old.example|w -> |.new.example|w ; "
              "relay.example|| -> main.example|| ; "
              "last.example|| -> row||");
    clearRouter();
}

}  // namespace
}  // namespace cgp
