// The scanner's tokens in each mode, template pages against their node trees, the node
// builders and the Router table's rows, checked against the documented languages.

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/dataset.h"
#include "formats/dataset_reader.h"
#include "formats/parser.h"
#include "formats/router_row_sink.h"
#include "formats/internal/wssp_builders.h"
#include "formats/wssp_node.h"
#include "formats/wssp_node_dump.h"
#include "formats/wssp_values.h"
#include "tests/formats/conformance_util.h"

using namespace std::string_literals;
using cgp::DataSet;
using cgp::WSSPNode;
using cgp::WSSPNodeKind;
using conformance::A;
using conformance::D;
using conformance::dumpPage;
using conformance::S;

namespace {

// Tokens whose grammar text is checked; for the others the code alone.
bool carriesText(int code) {
    switch (code) {
        case cgp::TokWord:
        case cgp::TokDataBlock:
        case cgp::TokString:
        case cgp::TokQuotedAddress:
        case cgp::TokLabel:
        case cgp::TokAddress:
        case cgp::TokName:
        case cgp::TokNumber:
        case cgp::TokPageText:
            return true;
        default:
            return false;
    }
}

struct TokenCase {
    std::string text;
    std::vector<cgp::ScannedToken> tokens;  // text ignored unless carriesText
};

void checkTokens(int mode, const std::vector<TokenCase>& cases) {
    for (const TokenCase& c : cases) {
        std::vector<cgp::ScannedToken> got = cgp::cgparserTokenize(c.text, mode);
        std::string shown;
        for (const auto& t : got) shown += std::to_string(t.code) + " '" + t.text + "' ";
        ASSERT_EQ(c.tokens.size(), got.size()) << "mode " << mode << ": " << c.text << " gave " << shown;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(c.tokens[i].code, got[i].code) << c.text << " #" << i << " gave " << shown;
            if (carriesText(c.tokens[i].code)) {
                EXPECT_EQ(c.tokens[i].text, got[i].text) << c.text << " #" << i;
            }
        }
    }
}

}  // namespace

TEST(ConformanceTestScanner, DataSetTokens) {
    checkTokens(cgp::DataSetMode, {
        {"abc", {{258, "abc"}}},
        {"#123 #-5 #NULL#", {{258, "123"}, {258, "-5"}, {258, "#NULL#"}}},
        {"\"a\\tb\"", {{288, "a\\tb"}}},
        {"[SGVs]", {{259, "SGVs"}}},
        {"(){};=,", {{260, ""}, {261, ""}, {262, ""}, {263, ""}, {264, ""}, {265, ""}, {273, ""}}},
        {"+", {{375, ""}}},
        {"a \xEF\xBB\xBF", {{258, "a"}, {375, ""}}},
        {"\xEF\xBB\xBF" "a", {{258, "a"}}},
        {"<", {{375, ""}}},
    });
}

TEST(ConformanceTestScanner, RouterTokens) {
    checkTokens(cgp::RouterMode, {
        {"", {{279, ""}}},
        {"a = b", {{278, "a"}, {265, ""}, {278, "b"}, {279, ""}}},
        {"<a@b> = c\n", {{274, ""}, {278, "a@b"}, {275, ""}, {265, ""}, {278, "c"}, {279, ""}, {279, ""}}},
        {"Mail: a = b", {{277, "Mail:"}, {278, "a"}, {265, ""}, {278, "b"}, {279, ""}}},
        {"Mail:Relay: a = b", {{277, "Mail:Relay:"}, {278, "a"}, {265, ""}, {278, "b"}, {279, ""}}},
        {"a = b Mail:", {{278, "a"}, {265, ""}, {278, "b"}, {278, "Mail"}, {375, ""}, {279, ""}}},
        {"a = \"x y\"@dom", {{278, "a"}, {265, ""}, {276, "\"x y\"@dom"}, {279, ""}}},
        {"a = \"x\"y\"z", {{278, "a"}, {265, ""}, {276, "\"x\"y\"z"}, {279, ""}}},
        {"\"x\"", {{375, ""}, {278, "x"}, {375, ""}, {279, ""}}},
        {"a = b ; remark = c\n", {{278, "a"}, {265, ""}, {278, "b"}, {279, ""}, {279, ""}}},
        {";only\r\n", {{279, ""}, {279, ""}, {279, ""}}},
        {"a\\*b #%()*+,-./09@AZ[]_az{} \xC3\xA9\xE4\xB8\xAD",
         {{278, "a\\*b"}, {278, "#%()*+,-./09@AZ[]_az{}"}, {278, "\xC3\xA9\xE4\xB8\xAD"}, {279, ""}}},
        {"a|b", {{278, "a"}, {375, ""}, {278, "b"}, {279, ""}}},
        {"a\\b", {{278, "a"}, {375, ""}, {278, "b"}, {279, ""}}},
        {"\xEF\xBB\xBFMail: a", {{277, "Mail:"}, {278, "a"}, {279, ""}}},
    });
}

TEST(ConformanceTestScanner, PageTextTokens) {
    checkTokens(cgp::PageMode, {
        {"abc", {{287, "abc"}}},
        {"a\nb", {{287, "a"}, {287, "\n"}, {287, "b"}}},
        {"a\r\nb", {{287, "a\r"}, {287, "\n"}, {287, "b"}}},
        {"50% off", {{287, "50"}, {287, "% "}, {287, "off"}}},
        {"50%\nb", {{287, "50"}, {287, "%"}, {287, "\n"}, {287, "b"}}},
        {"a<\nb", {{287, "a"}, {287, "<"}, {287, "\n"}, {287, "b"}}},
        {"a<!--\n", {{287, "a"}, {287, "<!--"}, {287, "\n"}}},
        {"<b>", {{287, "<b"}, {287, ">"}}},
        {"<!-x", {{287, "<!-x"}}},
        {"a\xEF\xBB\xBF" "b", {{287, "a\xEF\xBB\xBF" "b"}}},
        {"\xEF\xBB\xBF" "ab", {{287, "ab"}}},
        {"%%x%%", {{283, ""}, {285, "x"}, {284, ""}}},
        {"<!--%%IF x-->", {{358, ""}, {285, "x"}, {282, ""}}},
        {"<!--%%INCLUDE \"f\"-->", {{289, ""}, {288, "f"}, {282, ""}}},
    });
}

TEST(ConformanceTestScanner, OpenerCodes) {
    const std::vector<std::pair<std::string, int>> outputs = {
        {"HTML:", 332}, {"HTMLUTF8:", 333}, {"URL:", 334}, {"MAILBOXRAWNAME:", 335}, {"MAILBOXNAME:", 336},
        {"MAILBOXLASTNAME:", 337}, {"URLMAILBOXPARENT:", 338}, {"JAVASCRIPT:", 339}, {"SIZE:", 340},
        {"ROUNDSIZE:", 341}, {"TIME:", 342}, {"DATETIMESHORT:", 343}, {"DATETIME:", 344}, {"DATETIME(", 345},
        {"LOCALDATETIMESHORT:", 346}, {"LOCALDATETIME:", 347}, {"LOCALDATETIME(", 348}, {"LOCALDATE:", 349},
        {"DATEWEEK:", 350}, {"DATE:", 351}, {"HTMLTRUNCATED(", 352}, {"HTMLSUBST(", 353},
        {"HTMLSUBSTMAILBOX(", 354}, {"HTMLSUBSTROUNDSIZE(", 355}, {"INDEX1:", 356}, {"INDEX:", 357},
    };
    for (const auto& [word, code] : outputs) {
        for (std::string spelled : {word, std::string()}) {
            if (spelled.empty())
                for (char c : word) spelled += static_cast<char>(tolower(static_cast<unsigned char>(c)));
            auto tokens = cgp::cgparserTokenize("%%" + spelled + "x", cgp::PageMode);
            ASSERT_EQ(2u, tokens.size()) << spelled;
            EXPECT_EQ(code, tokens[0].code) << spelled;
            EXPECT_EQ(285, tokens[1].code) << spelled;
        }
    }
    const std::vector<std::pair<std::string, int>> directives = {
        {"IF", 358}, {"ELSE", 359}, {"ELIF", 360}, {"ENDIF", 361}, {"FORALL", 362}, {"FOREACH", 362},
        {"EMPTYFOR", 363}, {"ENDFOR", 364}, {"NUMERICMENU", 365}, {"TIMEMENU", 366}, {"SIZEMENU", 367},
        {"ENUMMENU", 368}, {"BOOLMENU", 369}, {"MAILBOXMENU", 370}, {"DAYTIMEMENU", 371},
        {"CALENDARTIMEMENU", 372}, {"LOCALCALENDARTIMEMENU", 373}, {"STRINGMENU", 374},
    };
    for (const auto& [word, code] : directives) {
        for (std::string spelled : {word, std::string()}) {
            if (spelled.empty())
                for (char c : word) spelled += static_cast<char>(tolower(static_cast<unsigned char>(c)));
            auto tokens = cgp::cgparserTokenize("<!--%%" + spelled + " x-->", cgp::PageMode);
            ASSERT_EQ(3u, tokens.size()) << spelled;
            EXPECT_EQ(code, tokens[0].code) << spelled;
            EXPECT_EQ(285, tokens[1].code) << spelled;
            EXPECT_EQ(282, tokens[2].code) << spelled;
        }
    }
}

TEST(ConformanceTestScanner, BodyTokens) {
    const std::vector<std::pair<std::string, int>> functions = {
        {"INCLUDEARG(", 290}, {"SESSION(", 291}, {"SETTINGS(", 292}, {"ACCOUNTSETTINGS(", 293},
        {"EXISTS(", 294}, {"DOESNOTEXIST(", 295}, {"NOT(", 296}, {"EQUALS(", 297}, {"EQUALSNOCASE(", 298},
        {"ISINDEX(", 299}, {"ISFIRST(", 300}, {"ISEVEN(", 301}, {"CHECKED(", 302}, {"HASPARENTMAILBOX(", 303},
        {"ISSTRING(", 304}, {"ISARRAY(", 305}, {"ISDICTIONARY(", 306}, {"ISDATE(", 307}, {"ISDATA(", 308},
        {"NULL(", 309}, {"EMPTYSTRING(", 310}, {"EMPTYARRAY(", 311}, {"EMPTYDICTIONARY(", 312},
        {"STRING(", 313}, {"DICTIONARY(", 314}, {"ARRAY(", 315}, {"TRANSLATE(", 316}, {"CONTAINS(", 317},
        {"RANDOMELEMENT(", 318}, {"MONTHNAMES(", 319}, {"WEEKDAYS(", 320}, {"KNOWNCHARSETS(", 321},
        {"KNOWNTIMEZONES(", 322},
        {"AND", 324}, {"IN", 326}, {"USING", 327}, {"DEFAULT", 328}, {"DISPLAY", 329}, {"PERIOD", 330},
        {"NOINBOX", 331}, {"and", 324}, {"Using", 327}, {"not(", 296}, {"Session(", 291},
    };
    for (const auto& [word, code] : functions) {
        auto tokens = cgp::cgparserTokenize("%%" + word + "%%", cgp::PageMode);
        ASSERT_EQ(3u, tokens.size()) << word;
        EXPECT_EQ(code, tokens[1].code) << word;
    }
    checkTokens(cgp::PageMode, {
        {"%%()[]:|&.,%%", {{283, ""}, {260, ""}, {261, ""}, {267, ""}, {268, ""}, {269, ""}, {270, ""},
                           {271, ""}, {272, ""}, {273, ""}, {284, ""}}},
        {"%%_a1 B_ 42 \"x y\"%%", {{283, ""}, {285, "_a1"}, {285, "B_"}, {286, "42"}, {288, "x y"}, {284, ""}}},
        {"%%ANDY INx NOT (%%", {{283, ""}, {285, "ANDY"}, {285, "INx"}, {285, "NOT"}, {260, ""}, {284, ""}}},
        {"%%\"a\\\"%%", {{283, ""}, {288, "a\\"}, {284, ""}}},
        {"%%a\r\n\tb%%", {{283, ""}, {285, "a"}, {285, "b"}, {284, ""}}},
        {"%%$%%", {{283, ""}, {375, ""}, {284, ""}}},
        {"%%\xEF\xBB\xBF%%", {{283, ""}, {375, ""}, {284, ""}}},
        {"<!--%%IF a-->b", {{358, ""}, {285, "a"}, {282, ""}, {287, "b"}}},
        {"<!--%%INCLUDE \"f\" (a)-->", {{289, ""}, {288, "f"}, {260, ""}, {285, "a"}, {261, ""}, {282, ""}}},
    });
}

// ---------------------------------------------------------------------------------------
// Pages

namespace {

struct PageCase {
    std::string page;
    std::string tree;  // dumpWSSPTree of the root, or "failed"
};

void checkPages(const std::vector<PageCase>& cases) {
    for (const PageCase& c : cases) EXPECT_EQ(c.tree, dumpPage(c.page)) << c.page;
}

std::string output(const std::string& inner) { return "Seq(Output(" + inner + "))"; }

}  // namespace

TEST(ConformanceTestPage, TextPages) {
    checkPages({
        {"", "Seq(Text \"\")"},
        {"ab\ncd", "Seq(Text \"ab\\ncd\")"},
        {"50% off<b>", "Seq(Text \"50% off<b>\")"},
        {"a\r\n<!-x <!-- x <!--% <br>", "Seq(Text \"a\\r\\n<!-x <!-- x <!--% <br>\")"},
        {"50%", "Seq(Text \"50%\")"},
        {"%", "Seq(Text \"%\")"},
        {"a<", "Seq(Text \"a<\")"},
        {"a<!--", "Seq(Text \"a<!--\")"},
        {"a<!--%", "Seq(Text \"a<!--%\")"},
        {"a<!--%%", "Seq(Text \"a<!--%%\")"},
        {"a<!--%%IFF", "failed"},
        // "<!--%%" begins a directive: an unknown directive word is an error.
        {"<!--%%x", "failed"},
        {"a<!--%%FOO-->b", "failed"},
        {"\xEF\xBB\xBF" "ab", "Seq(Text \"ab\")"},
        {"a\0b"s, "Seq(Text \"a\\x00b\")"},
    });
}

TEST(ConformanceTestPage, Outputs) {
    checkPages({
        {"%%x%%", output("Empty, Var x")},
        {"%%HTML:Name%%", output("Call 332, Var name")},
        {"%%html:NAME%%", output("Call 332, Var name")},
        {"%%\"lit\"%%", output("Empty, Text \"lit\"")},
        {"%%URL:a%%", output("Call 334, Var a")},
        {"%%DATETIME:a%%", output("Call 344, Var a")},
        {"%%INDEX1:a%%", output("Call 356, Var a")},
        {"%%INDEX:a%%", output("Call 357, Var a")},
        {"%%DATETIME(f):a%%", output("Call 344(Var f), Var a")},
        {"%%LOCALDATETIME(f):a%%", output("Call 347(Var f), Var a")},
        {"%%HTMLTRUNCATED(\"20\"):a%%", output("Call 352(Text \"20\"), Var a")},
        {"%%HTMLSUBST(a,b):c%%", output("Call 353(Var a, Var b), Var c")},
        {"%%HTMLSUBSTMAILBOX(a):c%%", output("Call 354(Var a), Var c")},
        {"%%HTMLSUBSTROUNDSIZE(a, \"b\", c):d%%", output("Call 355(Var a, Text \"b\", Var c), Var d")},
        {"%%HTMLSUBST(\"a\",\"b\"):c%%", output("Call 353(Text \"a\", Text \"b\"), Var c")},
        {"%%\"50%%\"%%", output("Empty, Text \"50%%\"")},
        {"a%%x%%b\nc", "Seq(Text \"a\", Output(Empty, Var x), Text \"b\\nc\")"},
        {"%%a%%%%b%%", "Seq(Output(Empty, Var a), Output(Empty, Var b))"},
        {"%%%", "failed"},
        {"%%x[]%%", output("Empty, Elem x")},
        {"%%X[]%%", output("Empty, Elem x")},
    });
    const std::vector<std::pair<std::string, int>> colonWords = {
        {"HTML:", 332}, {"HTMLUTF8:", 333}, {"URL:", 334}, {"MAILBOXRAWNAME:", 335}, {"MAILBOXNAME:", 336},
        {"MAILBOXLASTNAME:", 337}, {"URLMAILBOXPARENT:", 338}, {"JAVASCRIPT:", 339}, {"SIZE:", 340},
        {"ROUNDSIZE:", 341}, {"TIME:", 342}, {"DATETIMESHORT:", 343}, {"DATETIME:", 344},
        {"LOCALDATETIMESHORT:", 346}, {"LOCALDATETIME:", 347}, {"LOCALDATE:", 349}, {"DATEWEEK:", 350},
        {"DATE:", 351}, {"INDEX1:", 356}, {"INDEX:", 357},
    };
    for (const auto& [word, code] : colonWords)
        EXPECT_EQ(output("Call " + std::to_string(code) + ", Var v"), dumpPage("%%" + word + "v%%")) << word;
}

TEST(ConformanceTestPage, OperatorPrecedence) {
    checkPages({
        {"%%a.b%%", output("Empty, Call 323(Var a, Var b)")},
        {"%%a.\"b c\"%%", output("Empty, Call 323(Var a, Text \"b c\")")},
        {"%%a.b.c%%", output("Empty, Call 323(Call 323(Var a, Var b), Var c)")},
        {"%%a|b&c%%", output("Empty, Call 325(Var a, Call 324(Var b, Var c))")},
        {"%%a&b|c%%", output("Empty, Call 325(Call 324(Var a, Var b), Var c)")},
        {"%%a|b|c%%", output("Empty, Call 325(Call 325(Var a, Var b), Var c)")},
        {"%%a&b&c%%", output("Empty, Call 324(Call 324(Var a, Var b), Var c)")},
        {"%%a.b&c%%", output("Empty, Call 324(Call 323(Var a, Var b), Var c)")},
        {"%%a&b.c%%", output("Empty, Call 324(Var a, Call 323(Var b, Var c))")},
        {"%%a|b.c&d%%", output("Empty, Call 325(Var a, Call 324(Call 323(Var b, Var c), Var d))")},
        {"%%(a|b)&c%%", output("Empty, Call 324(Call 325(Var a, Var b), Var c)")},
        {"%%((a))%%", output("Empty, Var a")},
        {"%%(a|b).c%%", output("Empty, Call 323(Call 325(Var a, Var b), Var c)")},
        {"%%x[].y%%", output("Empty, Call 323(Elem x, Var y)")},
        {"%%a.b[]%%", "failed"},
        {"%%a.(b)%%", "failed"},
        {"%%a&%%", "failed"},
        {"%%|a%%", "failed"},
    });
}

TEST(ConformanceTestPage, Functions) {
    checkPages({
        {"%%SESSION(a)%%", output("Empty, Call 323(Var session, Var a)")},
        {"%%SETTINGS(\"a\")%%", output("Empty, Call 323(Var settings, Text \"a\")")},
        {"%%ACCOUNTSETTINGS(a.b)%%", output("Empty, Call 323(Var accountsettings, Call 323(Var a, Var b))")},
        {"%%ISFIRST(x)%%", output("Empty, Call 300(Var x)")},
        {"%%ISEVEN(X)%%", output("Empty, Call 301(Var x)")},
        {"%%EQUALS(a AND b)%%", output("Empty, Call 297(Var a, Var b)")},
        {"%%EQUALSNOCASE(a.b and \"c\")%%", output("Empty, Call 298(Call 323(Var a, Var b), Text \"c\")")},
        {"%%ISINDEX(i IN list)%%", output("Empty, Call 299(Var i, Var list)")},
        {"%%CONTAINS(a IN b|c)%%", output("Empty, Call 317(Var a, Call 325(Var b, Var c))")},
        {"%%TRANSLATE(x USING d)%%", output("Empty, Call 316(Var x, Var d)")},
        {"%%TRANSLATE(STRING(x) USING d)%%", output("Empty, Call 316(Call 313(Var x), Var d)")},
        {"%%INCLUDEARG(3)%%", output("Empty, Call 290(Int 3)")},
        {"%%INCLUDEARG(007)%%", output("Empty, Call 290(Int 7)")},
        {"%%NOT (a)%%", "failed"},
        {"%%NOT(EXISTS(a))&b%%", output("Empty, Call 324(Call 296(Call 294(Var a)), Var b)")},
        {"%%INCLUDEARG(x)%%", "failed"},
        {"%%ISFIRST(a.b)%%", "failed"},
        {"%%ISINDEX(\"i\" IN l)%%", "failed"},
        {"%%EQUALS(a, b)%%", "failed"},
        {"%%NULL(a)%%", "failed"},
        {"%%EXISTS()%%", "failed"},
        {"%%TRANSLATE(\"x\" USING d)%%", "failed"},
    });
    const std::vector<std::pair<std::string, int>> oneOperand = {
        {"EXISTS(", 294}, {"DOESNOTEXIST(", 295}, {"NOT(", 296}, {"CHECKED(", 302}, {"HASPARENTMAILBOX(", 303},
        {"ISSTRING(", 304}, {"ISARRAY(", 305}, {"ISDICTIONARY(", 306}, {"ISDATE(", 307}, {"ISDATA(", 308},
        {"STRING(", 313}, {"DICTIONARY(", 314}, {"ARRAY(", 315}, {"RANDOMELEMENT(", 318}, {"WEEKDAYS(", 320},
    };
    for (const auto& [word, code] : oneOperand)
        EXPECT_EQ(output("Empty, Call " + std::to_string(code) + "(Var v)"), dumpPage("%%" + word + "v)%%")) << word;
    const std::vector<std::pair<std::string, int>> noOperand = {
        {"NULL(", 309}, {"EMPTYSTRING(", 310}, {"EMPTYARRAY(", 311}, {"EMPTYDICTIONARY(", 312},
        {"MONTHNAMES(", 319}, {"WEEKDAYS(", 320}, {"KNOWNCHARSETS(", 321}, {"KNOWNTIMEZONES(", 322},
    };
    for (const auto& [word, code] : noOperand)
        EXPECT_EQ(output("Empty, Call " + std::to_string(code)), dumpPage("%%" + word + ")%%")) << word;
}

TEST(ConformanceTestPage, Conditionals) {
    checkPages({
        {"<!--%%IF a-->x<!--%%ENDIF-->", "Seq(If(Var a, Seq(Text \"x\"), Empty))"},
        {"<!--%%IF a--><!--%%ENDIF-->", "Seq(If(Var a, Seq(Text \"\"), Empty))"},
        {"<!--%%IF a-->x<!--%%ELSE-->y<!--%%ENDIF-->", "Seq(If(Var a, Seq(Text \"x\"), Seq(Text \"y\")))"},
        {"<!--%%IF a-->x<!--%%ELIF b-->y<!--%%ELSE-->z<!--%%ENDIF-->",
         "Seq(If(Var a, Seq(Text \"x\"), Var b, Seq(Text \"y\"), Seq(Text \"z\")))"},
        {"<!--%%IF a-->x<!--%%ELIF b-->y<!--%%ELIF c-->z<!--%%ENDIF-->",
         "Seq(If(Var a, Seq(Text \"x\"), Var b, Seq(Text \"y\"), Var c, Seq(Text \"z\"), Empty))"},
        {"<!--%%if a|b -->x<!--%%endif -->", "Seq(If(Call 325(Var a, Var b), Seq(Text \"x\"), Empty))"},
        {"a<!--%%IF x-->b%%y%%<!--%%ENDIF-->c\n",
         "Seq(Text \"a\", If(Var x, Seq(Text \"b\", Output(Empty, Var y)), Empty), Text \"c\\n\")"},
        {"<!--%%IF a--><!--%%IF b-->x<!--%%ENDIF--><!--%%ENDIF-->",
         "Seq(If(Var a, Seq(If(Var b, Seq(Text \"x\"), Empty)), Empty))"},
        {"<!--%%IF a-->x", "failed"},
        {"<!--%%ENDIF-->", "failed"},
        {"<!--%%ELSE-->", "failed"},
        {"<!--%%IF \"a\"-->x<!--%%ELIF \"b\"-->y<!--%%ENDIF-->",
         "Seq(If(Text \"a\", Seq(Text \"x\"), Text \"b\", Seq(Text \"y\"), Empty))"},
        {"<!--%%IF a-->x<!--%%ELSE-->y<!--%%ELIF b-->z<!--%%ENDIF-->", "failed"},
        {"<!--%%IF-->x<!--%%ENDIF-->", "failed"},
        {"<!--%%IF a x-->y<!--%%ENDIF-->", "failed"},
        {"<!--%%IF a--", "failed"},
        {"<!--%%IF a-->x<!--%%ENDIF", "failed"},
    });
}

TEST(ConformanceTestPage, Loops) {
    checkPages({
        {"<!--%%FOREACH e IN list-->x<!--%%ENDFOR e-->", "Seq(Loop e(Var list, Seq(Text \"x\"), Empty))"},
        {"<!--%%FORALL E IN a.b-->%%e[]%%<!--%%EMPTYFOR e-->none<!--%%ENDFOR E-->",
         "Seq(Loop e(Call 323(Var a, Var b), Seq(Output(Empty, Elem e)), Seq(Text \"none\")))"},
        {"<!--%%FOREACH e IN l-->x<!--%%ENDFOR f-->", "Seq(Loop e(Var l, Seq(Text \"x\"), Empty))"},
        {"<!--%%FOREACH e l-->x<!--%%ENDFOR e-->", "failed"},
        {"<!--%%FOREACH e IN l-->x<!--%%ENDFOR-->", "failed"},
        {"<!--%%FOREACH \"e\" IN l-->x<!--%%ENDFOR e-->", "failed"},
    });

    testsupport::CaptureStdout capture;
    std::size_t before = cgp::wsspLiveNodeCount();
    EXPECT_EQ("failed", dumpPage("<!--%%FOREACH a IN l-->x<!--%%EMPTYFOR b-->y<!--%%ENDFOR a-->"));
    EXPECT_EQ("failed", dumpPage("<!--%%FOREACH A IN l-->x<!--%%EMPTYFOR a-->y<!--%%ENDFOR C-->"));
    EXPECT_EQ(before, cgp::wsspLiveNodeCount());
    EXPECT_EQ(
        "* while parsing a wssp file: syntax error, mismatching scanner names (a, b, a)\n"
        "* while parsing a wssp file: syntax error, mismatching scanner names (a, a, c)\n",
        capture.text());
}

TEST(ConformanceTestPage, Menus) {
    checkPages({
        {"<!--%%NUMERICMENU v DEFAULT d IN (1,2,3) DISPLAY x-->",
         "Seq(Menu 365(Var v, Seq(Int 1, Int 2, Int 3), Var d, Var x))"},
        {"<!--%%NUMERICMENU v IN (5)-->", "Seq(Menu 365(Var v, Seq(Int 5)))"},
        {"<!--%%TIMEMENU v IN (1, 2) DISPLAY x-->", "Seq(Menu 366(Var v, Seq(Int 1, Int 2), Empty, Var x))"},
        {"<!--%%SIZEMENU v DEFAULT d IN (1)-->", "Seq(Menu 367(Var v, Seq(Int 1), Var d))"},
        {"<!--%%ENUMMENU v IN l-->", "Seq(Menu 368(Var v, Var l))"},
        {"<!--%%STRINGMENU v DEFAULT \"d\" IN l DISPLAY t-->", "Seq(Menu 374(Var v, Var l, Text \"d\", Var t))"},
        {"<!--%%BOOLMENU v-->", "Seq(Menu 369(Var v))"},
        {"<!--%%BOOLMENU v DEFAULT d-->", "Seq(Menu 369(Var v, Empty, Var d))"},
        {"<!--%%BOOLMENU v DISPLAY x-->", "Seq(Menu 369(Var v, Empty, Empty, Var x))"},
        {"<!--%%MAILBOXMENU v IN l NOINBOX-->", "Seq(Menu 370(Var v, Var l, Empty, Text \"NOINBOX\"))"},
        {"<!--%%MAILBOXMENU v DEFAULT d IN l-->", "Seq(Menu 370(Var v, Var l, Var d))"},
        {"<!--%%DAYTIMEMENU v DEFAULT d-->", "Seq(Menu 371(Var v, Empty, Var d))"},
        {"<!--%%DAYTIMEMENU v-->", "Seq(Menu 371(Var v))"},
        {"<!--%%CALENDARTIMEMENU v PERIOD 30-->", "Seq(Menu 372(Var v, Empty, Empty, Int 30))"},
        {"<!--%%LOCALCALENDARTIMEMENU v-->", "Seq(Menu 373(Var v))"},
        {"<!--%%NUMERICMENU v IN l-->", "failed"},
        {"<!--%%NUMERICMENU v IN (a)-->", "failed"},
        {"<!--%%ENUMMENU v-->", "failed"},
        {"<!--%%BOOLMENU v IN l-->", "failed"},
        {"<!--%%CALENDARTIMEMENU v PERIOD x-->", "failed"},
    });
}

TEST(ConformanceTestPage, Includes) {
    checkPages({
        {"<!--%%INCLUDE \"f.wssi\"-->", "Seq(Include \"f.wssi\")"},
        {"<!--%%INCLUDE \"f.wssi\" (a, \"b\", c.d)-->", "Seq(Include \"f.wssi\"(Var a, Text \"b\", Call 323(Var c, Var d)))"},
        {"<!--%%include \"f\"-->", "Seq(Include \"f\")"},
        {"<!--%%INCLUDE \"f\" (\"a\", \"b\")-->", "Seq(Include \"f\"(Text \"a\", Text \"b\"))"},
        {"<!--%%INCLUDE \"a-->b\"-->", "Seq(Include \"a-->b\")"},
        {"<!--%%INCLUDE f-->", "failed"},
        {"<!--%%INCLUDE\"f\"-->", "failed"},
        {"<!--%%INCLUDE  \"f\"-->", "Seq(Include \"f\")"},
        {"<!--%%INCLUDE \"f\" ()-->", "failed"},
    });
}

TEST(ConformanceTestPage, SyntaxErrors) {
    checkPages({
        {"%%%%", "failed"},
        {"%%a b%%", "failed"},
        {"%%a", "failed"},
        {"%%1%%", "failed"},
        {"%%a$%%", "failed"},
        {"%%\"a\nb\"%%", "failed"},
        {"a-->b", "Seq(Text \"a-->b\")"},
        {"%%a-->", "failed"},
        {"<!--%%IF a%%x%%-->", "failed"},
    });
}

TEST(ConformanceTestPage, FailedParsesLeaveNoNodes) {
    std::size_t before = cgp::wsspLiveNodeCount();
    for (const char* page : {"%%a b%%", "<!--%%IF a-->x%%y%%<!--%%ELSE-->", "text%%a.b.c&", "<!--%%INCLUDE \"f\" (a,"})
        EXPECT_EQ(nullptr, cgp::parsePageText(page)) << page;
    EXPECT_EQ(before, cgp::wsspLiveNodeCount());
    {
        auto root = cgp::parsePageText("a<!--%%IF x-->%%y.z%%<!--%%ENDIF-->");
        ASSERT_NE(nullptr, root);
        EXPECT_GT(cgp::wsspLiveNodeCount(), before);
    }
    EXPECT_EQ(before, cgp::wsspLiveNodeCount());
}

TEST(ConformanceTestPage, NestingLimit) {
    auto nested = [](int depth) { return "%%" + std::string(depth, '(') + "a" + std::string(depth, ')') + "%%"; };
    auto ifs = [](int depth) {
        std::string page;
        for (int i = 0; i < depth; ++i) page += "<!--%%IF a-->";
        page += "x";
        for (int i = 0; i < depth; ++i) page += "<!--%%ENDIF-->";
        return page;
    };
    EXPECT_NE(nullptr, cgp::parsePageText(nested(1800)));
    EXPECT_NE(nullptr, cgp::parsePageText(ifs(1100)));
    std::size_t before = cgp::wsspLiveNodeCount();
    EXPECT_EQ(nullptr, cgp::parsePageText(nested(2500)));
    EXPECT_EQ(nullptr, cgp::parsePageText(ifs(1500)));
    EXPECT_EQ(before, cgp::wsspLiveNodeCount());

    std::string path = processTempFolder().write("conformance-deep.wssp", ifs(2500));
    auto [ok, text] = conformance::parseFileOutput(path, cgp::PageMode);
    EXPECT_FALSE(ok);
    EXPECT_EQ(0u, text.find("* while parsing \"" + path + "\" file: memory exhausted : near \"")) << text;
}

TEST(ConformanceTestPage, EveryPrefixOfAPageIsSafe) {
    // Every cut of a page that uses each construct, in each language: the parse ends with
    // an answer, and a failed page leaves no nodes behind.
    const std::string page =
        "\xEF\xBB\xBF" "a%b<c<!--%%IF EXISTS(a.b)&c|NOT(d)-->%%HTML:x%%<!--%%ELIF \"s\"-->"
        "%%DATETIME(f):x[]%%<!--%%ELSE--><!--%%ENDIF--><!--%%FOREACH e IN l-->%%e[]%%"
        "<!--%%EMPTYFOR e-->-<!--%%ENDFOR e--><!--%%NUMERICMENU v DEFAULT d IN (1,2) DISPLAY t-->"
        "<!--%%INCLUDE \"f\" (a, \"b\")-->%%HTMLSUBST(a,b):c%%%%INCLUDEARG(2)%%\n";
    const std::string data = "\xEF\xBB\xBF{a=(1,\"x\\e\" \"y\");b=[SGVsbG8=];t=#T1;i=#I[1.2.3.4]:5;c=#(x);d=#-5;e=#NULL#;}";
    const std::string router = "\xEF\xBB\xBFMail: <a@b> = \"x y\"@z ; r\r\nc = \n*\\*d =e\n";
    std::size_t before = cgp::wsspLiveNodeCount();
    for (const std::string* text : {&page, &data, &router}) {
        for (std::size_t cut = 0; cut <= text->size(); ++cut) {
            std::string prefix = text->substr(0, cut);
            for (int mode : {0, 1, 2}) cgp::cgparserTokenize(prefix, mode);
            cgp::cgparserParseString(prefix, cgp::RouterMode);
            cgp::parsePageText(prefix);  // a parsed page is freed with its root
            cgp::parseDataSetText(prefix);
        }
    }
    EXPECT_EQ(before, cgp::wsspLiveNodeCount());
    EXPECT_NE(nullptr, cgp::parsePageText(page));
    EXPECT_FALSE(cgp::parseDataSetText(data)->isEmpty());
    EXPECT_TRUE(cgp::cgparserParseString(router, cgp::RouterMode));
}

// ---------------------------------------------------------------------------------------
// Node builders and values

TEST(ConformanceTestNodes, Builders) {
    struct Case {
        const char* what;
        WSSPNode* node;
        std::string tree;
    };
    std::vector<Case> cases = {
        {"text", cgp::makeTextNode("a\"b"), "Text \"a\\\"b\""},
        {"variable", cgp::makeVariableNode("MiXeD_1"), "Var mixed_1"},
        {"integer", cgp::makeIntegerNode("42"), "Int 42"},
        {"integer with blanks and sign", cgp::makeIntegerNode(" -12x"), "Int -12"},
        {"integer of no digits", cgp::makeIntegerNode("abc"), "Int 0"},
        {"integer with a plus", cgp::makeIntegerNode(" +5"), "Int 5"},
        {"integer too large", cgp::makeIntegerNode("99999999999"), "Int 2147483647"},
        {"integer too small", cgp::makeIntegerNode("-99999999999"), "Int -2147483648"},
        {"output without encoding", cgp::makeOutputNode(cgp::makeVariableNode("x"), nullptr), "Output(Empty, Var x)"},
        {"output without expression", cgp::makeOutputNode(nullptr, cgp::makeFunctionNode(332, nullptr)),
         "Output(Call 332, Empty)"},
        {"operator", cgp::makeOperatorNode(324, cgp::makeVariableNode("a"), cgp::makeVariableNode("b")),
         "Call 324(Var a, Var b)"},
        {"operator of one", cgp::makeOperatorNode(296, cgp::makeVariableNode("a"), nullptr), "Call 296(Var a)"},
        {"function of a list",
         cgp::makeFunctionNode(353, cgp::appendToSequence(cgp::appendToSequence(nullptr, cgp::makeVariableNode("a")),
                                                          cgp::makeVariableNode("b"))),
         "Call 353(Var a, Var b)"},
        {"function of one", cgp::makeFunctionNode(294, cgp::makeVariableNode("a")), "Call 294(Var a)"},
        {"loop element", cgp::makeLoopElementNode(cgp::makeVariableNode("E")), "Elem e"},
        {"menu with a gap", cgp::makeMenuNode(369, cgp::makeVariableNode("v"), nullptr, cgp::makeVariableNode("d"), nullptr),
         "Menu 369(Var v, Empty, Var d)"},
        {"menu of one", cgp::makeMenuNode(371, cgp::makeVariableNode("v"), nullptr, nullptr, nullptr), "Menu 371(Var v)"},
        {"conditional without else",
         cgp::makeConditionalNode(cgp::makeVariableNode("c"), cgp::makeTextNode("b"), nullptr, nullptr),
         "If(Var c, Text \"b\", Empty)"},
        {"conditional with pairs",
         cgp::makeConditionalNode(
             cgp::makeVariableNode("c"), cgp::makeTextNode("b"),
             cgp::appendToSequence(cgp::appendToSequence(nullptr, cgp::makeVariableNode("d")), cgp::makeVariableNode("e")),
             cgp::makeTextNode("z")),
         "If(Var c, Text \"b\", Var d, Var e, Text \"z\")"},
        {"loop", cgp::makeLoopNode(cgp::makeVariableNode("E"), cgp::makeVariableNode("l"), cgp::makeTextNode("x"), nullptr,
                                   nullptr, cgp::makeVariableNode("e")),
         "Loop e(Var l, Text \"x\", Empty)"},
        {"include", cgp::makeIncludeNode("f", nullptr), "Include \"f\""},
        {"merged texts",
         cgp::appendToSequence(cgp::appendToSequence(cgp::appendToSequence(nullptr, cgp::makeTextNode("a")),
                                                     cgp::makeTextNode("\n")),
                               cgp::makeTextNode("b")),
         "Seq(Text \"a\\nb\")"},
        {"texts apart", cgp::appendToSequence(cgp::appendToSequence(cgp::appendToSequence(nullptr, cgp::makeTextNode("a")),
                                                                    cgp::makeVariableNode("x")),
                                              cgp::makeTextNode("b")),
         "Seq(Text \"a\", Var x, Text \"b\")"},
    };
    for (Case& c : cases) {
        std::unique_ptr<WSSPNode> owned(c.node);
        EXPECT_EQ(c.tree, cgp::dumpWSSPTree(c.node)) << c.what;
        for (WSSPNode* child : c.node->children) EXPECT_EQ(c.node, child->parent) << c.what;
        EXPECT_EQ(nullptr, c.node->parent) << c.what;
    }
}

TEST(ConformanceTestNodes, KindNumbers) {
    const std::pair<WSSPNodeKind, int> kinds[] = {
        {WSSPNodeKind::Empty, 0},  {WSSPNodeKind::Text, 1},     {WSSPNodeKind::Integer, 2},
        {WSSPNodeKind::Variable, 3}, {WSSPNodeKind::Output, 4}, {WSSPNodeKind::Call, 5},
        {WSSPNodeKind::LoopElement, 6}, {WSSPNodeKind::Menu, 7}, {WSSPNodeKind::Conditional, 8},
        {WSSPNodeKind::Loop, 9},   {WSSPNodeKind::Sequence, 10}, {WSSPNodeKind::Include, 11},
    };
    for (const auto& [kind, number] : kinds) EXPECT_EQ(number, static_cast<int>(kind));
}

TEST(ConformanceTestNodes, LiveSetSimplifyAndNotedNode) {
    std::size_t before = cgp::wsspLiveNodeCount();
    auto* root = new WSSPNode(WSSPNodeKind::Sequence);
    auto* inner = root->append(new WSSPNode(WSSPNodeKind::Sequence));
    auto* leaf = inner->append(new WSSPNode(WSSPNodeKind::Sequence))->append(cgp::makeTextNode("x"));
    auto* pair = root->append(new WSSPNode(WSSPNodeKind::Sequence));
    pair->append(cgp::makeTextNode("a"));
    pair->append(cgp::makeTextNode("b"));
    EXPECT_EQ(before + 7, cgp::wsspLiveNodeCount());
    EXPECT_TRUE(cgp::wsspIsLiveNode(leaf));
    EXPECT_EQ(root, cgp::wsspRootOf(leaf));

    root->simplify();
    EXPECT_EQ("Seq(Text \"x\", Seq(Text \"a\", Text \"b\"))", cgp::dumpWSSPTree(root));
    EXPECT_EQ(root, leaf->parent);
    EXPECT_EQ(before + 5, cgp::wsspLiveNodeCount());

    {
        tmg::MutexLock lock(&cgp::cgparserMutex());
        cgp::cgparserClearNotedNode();
        WSSPNode* first = cgp::makeTextNode("first");
        WSSPNode* second = cgp::makeTextNode("second");
        EXPECT_EQ(first, cgp::cgparserNotedNode());
        EXPECT_EQ(second, cgp::cgparserNoteNode(second));
        EXPECT_EQ(first, cgp::cgparserNotedNode());
        delete first;
        EXPECT_EQ(nullptr, cgp::cgparserNotedNode());
        delete second;
    }

    delete root;
    EXPECT_EQ(before, cgp::wsspLiveNodeCount());
    EXPECT_EQ("null", cgp::dumpWSSPTree(nullptr));
}

TEST(ConformanceTestNodes, FindArrayIndexAndTranslate) {
    struct Case {
        std::string text;
        DataSet value;
        unsigned expected;
    };
    const std::vector<Case> cases = {
        {"b", A({S("a"), S("b"), S("b")}), 1},
        {"x", A({S("a")}), 0},
        {"c", A({S("a"), S("b"), S("c")}), 2},
        {"2", A({S("1"), S("2.00001")}), 1},
        {"2", A({S("1"), S("2.001")}), 0},
        {"-1.5", A({S("x"), S("-1.50000")}), 1},
        {"1e2", A({S("x"), S("100")}), 0},
        {"", A({S("x"), S("")}), 1},
        {"b", D({{"b", S("b")}}), 0},
        {"b", S("b"), 0},
        {"b", DataSet(), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, cgp::findArrayIndex(c.text, c.value)) << c.text;

    DataSet dict = D({{"a", S("b")}, {"e", S("")}});
    std::string text = "a";
    EXPECT_TRUE(cgp::translateString(text, dict));
    EXPECT_EQ("b", text);
    text = "e";
    EXPECT_TRUE(cgp::translateString(text, dict));
    EXPECT_EQ("", text);
    text = "c";
    EXPECT_FALSE(cgp::translateString(text, dict));
    EXPECT_EQ("c", text);
    text = "a";
    EXPECT_FALSE(cgp::translateString(text, A({S("a")})));
    EXPECT_FALSE(cgp::translateString(text, DataSet()));
    EXPECT_EQ("a", text);
    EXPECT_EQ("b", cgp::translatedString("a", dict));
    EXPECT_EQ("z", cgp::translatedString("z", dict));
}

// ---------------------------------------------------------------------------------------
// Router table

namespace {

struct Row {
    std::string left;
    bool addressForm;
    std::optional<std::string> right;
    bool operator==(const Row& o) const {
        return left == o.left && addressForm == o.addressForm && right == o.right;
    }
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << "(" << row.left << ", " << row.addressForm << ", " << (row.right ? *row.right : "<none>") << ")";
}

class RecordingSink : public cgp::RouterRowSink {
public:
    void addRouterRow(const std::string& left, bool addressForm, const std::string* right) override {
        rows.push_back({left, addressForm, right ? std::optional<std::string>(*right) : std::nullopt});
    }
    std::vector<Row> rows;
};

struct RouterCase {
    std::string text;
    bool parses;
    std::vector<Row> rows;
};

}  // namespace

TEST(ConformanceTestRouter, Rows) {
    const std::vector<RouterCase> cases = {
        {"", true, {}},
        {"a = b", true, {{"a", false, "b"}}},
        {"a = b\n", true, {{"a", false, "b"}}},
        {"a=b", true, {{"a", false, "b"}}},
        {"a = b ; remark", true, {{"a", false, "b"}}},
        {"a = b;remark = x", true, {{"a", false, "b"}}},
        {"a =", true, {{"a", false, std::nullopt}}},
        {"a = ; nothing", true, {{"a", false, std::nullopt}}},
        {"Mail: a = b", true, {{"a", false, "b"}}},
        {"Mail:Relay: a = b", true, {{"a", false, "b"}}},
        {"Mail:a = b", true, {{"a", false, "b"}}},
        {"\xC3\xA9: a = b", true, {{"a", false, "b"}}},
        {"< a > = b", true, {{"a", true, "b"}}},
        {"a = <b>", false, {}},
        {"Mail:", false, {}},
        {"\n\n; only a remark\n  \t\n", true, {}},
        {"<x@y> = z", true, {{"x@y", true, "z"}}},
        {"x@y = z", true, {{"x@y", false, "z"}}},
        {"Mail: <x> = z", true, {{"x", true, "z"}}},
        {"a = \"x y\"@d", true, {{"a", false, "\"x y\"@d"}}},
        {"a = \"x\"y\"z", true, {{"a", false, "\"x\"y\"z"}}},
        {"a = b\nc = d\r\ne = f\rg = h", true, {{"a", false, "b"}, {"c", false, "d"}, {"e", false, "f"}, {"g", false, "h"}}},
        {"\xEF\xBB\xBFMail: a = b", true, {{"a", false, "b"}}},
        {"*@a.com = b\\*c", true, {{"*@a.com", false, "b\\*c"}}},
        {"a = b\n= c\nd = e", false, {{"a", false, "b"}}},
        {"a = b c", false, {}},
        {"a = b Mail:", false, {}},
        {"<a> = \"x\"", false, {}},
        {"<a>", false, {}},
        {"<a = b", false, {}},
        {"a", false, {}},
        {"\"x\"@y = b", false, {}},
        {"a = b\nc = d = e\n", false, {{"a", false, "b"}}},
    };
    for (const RouterCase& c : cases) {
        RecordingSink sink;
        EXPECT_EQ(c.parses, cgp::cgparserParseString(c.text, cgp::RouterMode, &sink)) << c.text;
        EXPECT_EQ(c.rows, sink.rows) << c.text;
    }
}

TEST(ConformanceTestRouter, FromFile) {
    std::string path = processTempFolder().write("conformance-router.data", "Mail: <a@b> = c\n; remark\nd = \n");
    RecordingSink sink;
    testsupport::CaptureStdout capture;
    EXPECT_TRUE(cgp::cgparserParseFile(path, cgp::RouterMode, &sink));
    EXPECT_EQ("", capture.text());
    EXPECT_EQ((std::vector<Row>{{"a@b", true, "c"}, {"d", false, std::nullopt}}), sink.rows);
}
