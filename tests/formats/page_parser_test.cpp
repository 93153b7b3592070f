#include <gtest/gtest.h>

#include <algorithm>

#include "formats/parser.h"
#include "foundation/mutex.h"
#include "tests/formats/page_test_util.h"
#include "tests/support/capture_stdout.h"
#include "tests/support/temp_folder.h"

using testsupport::processTempFolder;

namespace cgp {
namespace {

struct Case {
    const char* page;
    const char* tree;
};

TEST(PageParserTest, PageTextAndOutputs) {
    const Case cases[] = {
        {"", "Seq(Text \"\")"},
        {"ab\ncd", "Seq(Text \"ab\\ncd\")"},
        {"50% off<b>x</b>\r\n", "Seq(Text \"50% off<b>x</b>\\r\\n\")"},
        {"100%", "Seq(Text \"100%\")"},
        {"a<!--", "Seq(Text \"a<!--\")"},
        {"a<!--%%EMPTYF", "Seq(Text \"a<!--%%EMPTYF\")"},
        {"%%Name%%", "Seq(Output(Empty, Var name))"},
        {"%%HTML:Name%%", "Seq(Output(Call 332, Var name))"},
        {"%%html:NAME%%", "Seq(Output(Call 332, Var name))"},
        {"%%INDEX:i%%", "Seq(Output(Call 357, Var i))"},
        {"%%DATETIME(\"^D\"):t%%", "Seq(Output(Call 344(Text \"^D\"), Var t))"},
        {"%%LOCALDATETIME(p):t%%", "Seq(Output(Call 347(Var p), Var t))"},
        {"%%HTMLTRUNCATED(20):t%%", "fail"},
        {"%%HTMLTRUNCATED(n):t%%", "Seq(Output(Call 352(Var n), Var t))"},
        {"%%HTMLSUBST(a,\"b\",\"c\"):t%%", "Seq(Output(Call 353(Var a, Text \"b\", Text \"c\"), Var t))"},
        {"a%%x%%b", "Seq(Text \"a\", Output(Empty, Var x), Text \"b\")"},
        {"%%x", "fail"},
        {"%%%%", "fail"},
    };
    for (const Case& c : cases) EXPECT_EQ(pageDump(c.page), c.tree) << c.page;
}

TEST(PageParserTest, Expressions) {
    const Case cases[] = {
        // "." binds tighter than "&", which binds tighter than "|"; all to the left.
        {"%%a|b&c%%", "Seq(Output(Empty, Call 325(Var a, Call 324(Var b, Var c))))"},
        {"%%a&b|c%%", "Seq(Output(Empty, Call 325(Call 324(Var a, Var b), Var c)))"},
        {"%%a|b|c%%", "Seq(Output(Empty, Call 325(Call 325(Var a, Var b), Var c)))"},
        {"%%a&b.c%%", "Seq(Output(Empty, Call 324(Var a, Call 323(Var b, Var c))))"},
        {"%%a.B.\"k y\"%%", "Seq(Output(Empty, Call 323(Call 323(Var a, Var b), Text \"k y\")))"},
        {"%%(a|b)&c%%", "Seq(Output(Empty, Call 324(Call 325(Var a, Var b), Var c)))"},
        {"%%Loop[]%%", "Seq(Output(Empty, Elem loop))"},
        {"%%\"lit\"%%", "Seq(Output(Empty, Text \"lit\"))"},
        {"%%SESSION(x)%%", "Seq(Output(Empty, Call 323(Var session, Var x)))"},
        {"%%settings(x)%%", "Seq(Output(Empty, Call 323(Var settings, Var x)))"},
        {"%%ACCOUNTSETTINGS(\"y\")%%", "Seq(Output(Empty, Call 323(Var accountsettings, Text \"y\")))"},
        {"%%NOT(a)%%", "Seq(Output(Empty, Call 296(Var a)))"},
        {"%%EXISTS(a.b)%%", "Seq(Output(Empty, Call 294(Call 323(Var a, Var b))))"},
        {"%%ISFIRST(i)%%", "Seq(Output(Empty, Call 300(Var i)))"},
        {"%%ISEVEN(\"i\")%%", "fail"},
        {"%%EQUALS(a AND b|c)%%", "Seq(Output(Empty, Call 297(Var a, Call 325(Var b, Var c))))"},
        {"%%EQUALSNOCASE(a AND \"B\")%%", "Seq(Output(Empty, Call 298(Var a, Text \"B\")))"},
        {"%%EQUALS(a & b)%%", "fail"},
        {"%%ISINDEX(i IN l)%%", "Seq(Output(Empty, Call 299(Var i, Var l)))"},
        {"%%CONTAINS(\"x\" IN l)%%", "Seq(Output(Empty, Call 317(Text \"x\", Var l)))"},
        {"%%TRANSLATE(x USING d)%%", "Seq(Output(Empty, Call 316(Var x, Var d)))"},
        {"%%TRANSLATE(STRING(k) USING d)%%", "Seq(Output(Empty, Call 316(Call 313(Var k), Var d)))"},
        {"%%TRANSLATE(\"x\" USING d)%%", "fail"},
        {"%%NULL()%%", "Seq(Output(Empty, Call 309))"},
        {"%%WEEKDAYS()%%%%WEEKDAYS(x)%%", "Seq(Output(Empty, Call 320), Output(Empty, Call 320(Var x)))"},
        {"%%KNOWNCHARSETS(x)%%", "fail"},
        {"%%INCLUDEARG(2)%%", "Seq(Output(Empty, Call 290(Int 2)))"},
        {"%%INCLUDEARG(99999999999)%%", "Seq(Output(Empty, Call 290(Int 2147483647)))"},
        {"%%a.%%", "fail"},
        {"%%a b%%", "fail"},
    };
    for (const Case& c : cases) EXPECT_EQ(pageDump(c.page), c.tree) << c.page;
}

TEST(PageParserTest, Directives) {
    const Case cases[] = {
        {"<!--%%IF a-->x<!--%%ENDIF-->", "Seq(If(Var a, Seq(Text \"x\"), Empty))"},
        {"<!--%%IF a--><!--%%ENDIF-->", "Seq(If(Var a, Seq(Text \"\"), Empty))"},
        {"<!--%%IF a-->x<!--%%ELIF b-->y<!--%%ELSE-->z<!--%%ENDIF-->",
         "Seq(If(Var a, Seq(Text \"x\"), Var b, Seq(Text \"y\"), Seq(Text \"z\")))"},
        {"<!--%%IF a-->x<!--%%ELIF b-->y<!--%%ENDIF-->", "Seq(If(Var a, Seq(Text \"x\"), Var b, Seq(Text \"y\"), Empty))"},
        {"<!--%%IF a-->x<!--%%ELSE-->y", "fail"},
        {"<!--%%ELSE-->", "fail"},
        {"<!--%%FOREACH i IN l-->%%i[]%%<!--%%ENDFOR i-->", "Seq(Loop i(Var l, Seq(Output(Empty, Elem i)), Empty))"},
        {"<!--%%FORALL I in l-->x<!--%%EMPTYFOR i-->none<!--%%ENDFOR I-->",
         "Seq(Loop i(Var l, Seq(Text \"x\"), Seq(Text \"none\")))"},
        // Without an EMPTYFOR part the closing name is not compared.
        {"<!--%%FOREACH i IN l-->x<!--%%ENDFOR j-->", "Seq(Loop i(Var l, Seq(Text \"x\"), Empty))"},
        {"<!--%%FOREACH i IN l-->x<!--%%EMPTYFOR j-->y<!--%%ENDFOR i-->", "fail"},
        {"<!--%%NUMERICMENU v IN (1, 2,3)-->", "Seq(Menu 365(Var v, Seq(Int 1, Int 2, Int 3)))"},
        {"<!--%%TIMEMENU v DEFAULT d IN (5) DISPLAY n-->", "Seq(Menu 366(Var v, Seq(Int 5), Var d, Var n))"},
        {"<!--%%SIZEMENU v IN ()-->", "fail"},
        {"<!--%%ENUMMENU v IN l DISPLAY n-->", "Seq(Menu 368(Var v, Var l, Empty, Var n))"},
        {"<!--%%STRINGMENU v DEFAULT d IN l-->", "Seq(Menu 374(Var v, Var l, Var d))"},
        {"<!--%%BOOLMENU v-->", "Seq(Menu 369(Var v))"},
        {"<!--%%BOOLMENU v DISPLAY n-->", "Seq(Menu 369(Var v, Empty, Empty, Var n))"},
        {"<!--%%MAILBOXMENU v IN l NOINBOX-->", "Seq(Menu 370(Var v, Var l, Empty, Text \"NOINBOX\"))"},
        {"<!--%%MAILBOXMENU v DISPLAY n IN l-->", "fail"},
        {"<!--%%DAYTIMEMENU v DEFAULT d-->", "Seq(Menu 371(Var v, Empty, Var d))"},
        {"<!--%%CALENDARTIMEMENU v PERIOD 7-->", "Seq(Menu 372(Var v, Empty, Empty, Int 7))"},
        {"<!--%%LOCALCALENDARTIMEMENU v DEFAULT d-->", "fail"},
        {"<!--%%INCLUDE \"a.wssp\"-->", "Seq(Include \"a.wssp\")"},
        {"<!--%%INCLUDE \"a.wssp\"(x, \"y\", \"z\")-->", "Seq(Include \"a.wssp\"(Var x, Text \"y\", Text \"z\"))"},
        {"<!--%%INCLUDE x-->", "fail"},
        {"<!--%%INCLUDE \"a\"()-->", "fail"},
    };
    for (const Case& c : cases) EXPECT_EQ(pageDump(c.page), c.tree) << c.page;
}

TEST(PageParserTest, NestedDirectivesMergeTextAroundThem) {
    EXPECT_EQ(pageDump("a\nb<!--%%IF x-->c<!--%%FOREACH i IN l-->d%%i[]%%e<!--%%ENDFOR i--><!--%%ENDIF-->f\ng"),
              "Seq(Text \"a\\nb\", If(Var x, Seq(Text \"c\", Loop i(Var l, Seq(Text \"d\", Output(Empty, Elem i), "
              "Text \"e\"), Empty)), Empty), Text \"f\\ng\")");
}

TEST(PageParserTest, FailedParsesLeaveNoNodes) {
    std::size_t before = wsspLiveNodeCount();
    const char* bad[] = {
        "a<!--%%IF x-->b%%y%%<!--%%ELIF z-->",
        "<!--%%FOREACH i IN l-->x<!--%%EMPTYFOR j-->y<!--%%ENDFOR i-->",
        "%%HTMLSUBST(a, b, c",
        "<!--%%NUMERICMENU v IN (1,2,x)-->",
        "t<b>%%NOT(EQUALS(a AND b.c)%%",
    };
    for (const char* page : bad) {
        EXPECT_EQ(pageDump(page), "fail") << page;
        EXPECT_EQ(wsspLiveNodeCount(), before) << page;
    }
    EXPECT_EQ(cgparserNotedNode(), nullptr);
}

// Left-associative chains build trees as deep as they are long; nothing that walks
// them may recurse per level.
TEST(PageParserTest, LongChainsSimplifyDumpAndFree) {
    const int operands = 300000;
    const struct {
        const char* joint;
        const char* call;
    } chains[] = {{"|", "Call 325("}, {"&", "Call 324("}, {".", "Call 323("}};
    for (const auto& chain : chains) {
        const char* joint = chain.joint;
        std::string page = "%%a";
        std::string expected = "Seq(Output(Empty, ";
        for (int i = 0; i < operands; ++i) {
            page += std::string(joint) + "b";
            expected += chain.call;
        }
        page += "%%";
        expected += "Var a";
        for (int i = 0; i < operands; ++i) expected += ", Var b)";
        expected += "))";
        std::size_t before = wsspLiveNodeCount();
        std::unique_ptr<WSSPNode> root = parsePageText(page);
        ASSERT_NE(root, nullptr) << joint;
        root->simplify();
        std::string dump = dumpWSSPTree(root.get());
        EXPECT_TRUE(dump == expected) << joint;
        root.reset();
        EXPECT_EQ(wsspLiveNodeCount(), before) << joint;
    }
}

TEST(PageParserTest, SimplifyLiftsOnlyChildSequences) {
    std::unique_ptr<WSSPNode> root = parsePageText("<!--%%IF a-->x<!--%%ELSE-->y%%z%%<!--%%ENDIF-->");
    ASSERT_NE(root, nullptr);
    root->simplify();
    EXPECT_EQ(dumpWSSPTree(root.get()), "Seq(If(Var a, Text \"x\", Seq(Text \"y\", Output(Empty, Var z))))");
    EXPECT_EQ(root->children[0]->children[1]->parent, root->children[0]);
}

TEST(PageParserTest, ParseFileNotesTheRoot) {
    std::string path = processTempFolder() / "page_parser_test.wssp";
    FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("<html>%%HTML:title%%</html>\n", file);
    std::fclose(file);
    tmg::MutexLock lock(&cgparserMutex());
    ASSERT_TRUE(cgparserParseFile(path, PageMode));
    std::unique_ptr<WSSPNode> root(wsspRootOf(cgparserNotedNode()));
    EXPECT_EQ(dumpWSSPTree(root.get()), "Seq(Text \"<html>\", Output(Call 332, Var title), Text \"</html>\\n\")");
    std::remove(path.c_str());
}

TEST(PageParserTest, PageFileGivesItsTreeOrNothing) {
    std::size_t before = wsspLiveNodeCount();
    std::string good = processTempFolder().write("page_file_good.wssp", "a%%b%%");
    std::unique_ptr<WSSPNode> root = parsePageFile(good);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(dumpWSSPTree(root.get()), "Seq(Text \"a\", Output(Empty, Var b))");
    EXPECT_EQ(cgparserNotedNode(), nullptr);  // handed over, not left for another reader
    root.reset();
    EXPECT_EQ(wsspLiveNodeCount(), before);

    std::string bad = processTempFolder().write("page_file_bad.wssp", "<!--%%IF x-->y");
    testsupport::CaptureStdout capture;
    EXPECT_EQ(parsePageFile(bad), nullptr);
    EXPECT_EQ(parsePageFile(processTempFolder() / "page_file_missing.wssp"), nullptr);
    std::string printed = capture.text();
    capture.stop();
    EXPECT_EQ(printed.rfind("* while parsing \"" + bad + "\" file: ", 0), 0u) << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
    EXPECT_EQ(wsspLiveNodeCount(), before);
}

}  // namespace
}  // namespace cgp
