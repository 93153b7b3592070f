// Rendering of texts, values, conditionals and loops.
#include <gtest/gtest.h>

#include "formats/parser_tokens.h"
#include "tests/wssp/wssp_test_util.h"

namespace {

using wssp_test::RenderCase;
using wssp_test::RenderCaseTest;
using wssp_test::renderPage;

const char* const kData =
    "{name = Bob; yes = YES; no = NO; rows = (a, b, c); one = (x); none = (); text = abc;"
    " people = ({name = Ann; tags = (t1, t2);}, {name = Cy; tags = ();});"
    " grid = ((1, 2), (3));}";

TEST_P(RenderCaseTest, Writes) {
    const RenderCase& c = GetParam();
    EXPECT_EQ(renderPage(c.page, c.data), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RenderCaseTest,
    testing::Values(RenderCase{"", kData, ""}, RenderCase{"plain <b>text</b>\n50% off", kData, "plain <b>text</b>\n50% off"},
                    RenderCase{"Hi %%name%%, [%%missing%%] %%NAME%%", kData, "Hi Bob, [] Bob"},
                    RenderCase{"%%\"literal\"%%", kData, "literal"}), wssp_test::caseName);

INSTANTIATE_TEST_SUITE_P(
    Conditionals, RenderCaseTest,
    testing::Values(
        RenderCase{"<!--%%IF yes-->T<!--%%ENDIF-->", kData, "T"},
        RenderCase{"<!--%%IF no-->T<!--%%ENDIF-->", kData, ""},
        RenderCase{"<!--%%IF no-->T<!--%%ELSE-->E<!--%%ENDIF-->", kData, "E"},
        RenderCase{"<!--%%IF no-->1<!--%%ELIF missing-->2<!--%%ELIF name-->3<!--%%ELSE-->4<!--%%ENDIF-->", kData, "3"},
        RenderCase{"<!--%%IF no-->1<!--%%ELIF no-->2<!--%%ENDIF-->", kData, ""},
        // The first true condition wins.
        RenderCase{"<!--%%IF yes-->1<!--%%ELIF yes-->2<!--%%ENDIF-->", kData, "1"},
        RenderCase{"<!--%%IF EXISTS(rows) & NOT(no)-->both<!--%%ENDIF-->", kData, "both"},
        RenderCase{"<!--%%IF yes--><!--%%IF no-->x<!--%%ELSE-->inner<!--%%ENDIF--><!--%%ENDIF-->", kData, "inner"}), wssp_test::caseName);

INSTANTIATE_TEST_SUITE_P(
    Loops, RenderCaseTest,
    testing::Values(
        RenderCase{"<!--%%FOREACH r IN rows-->%%r[]%%%%INDEX:r%%<!--%%ENDFOR r-->", kData, "a0b1c2"},
        RenderCase{"<!--%%FORALL r IN one-->[%%r[]%%]<!--%%ENDFOR r-->", kData, "[x]"},
        // An empty list, a String and a missing value take the empty-list body once.
        RenderCase{"<!--%%FOREACH r IN none-->x<!--%%EMPTYFOR r-->empty<!--%%ENDFOR r-->", kData, "empty"},
        RenderCase{"<!--%%FOREACH r IN text-->x<!--%%EMPTYFOR r-->empty<!--%%ENDFOR r-->", kData, "empty"},
        RenderCase{"<!--%%FOREACH r IN missing-->x<!--%%EMPTYFOR r-->empty<!--%%ENDFOR r-->", kData, "empty"},
        RenderCase{"<!--%%FOREACH r IN none-->x<!--%%ENDFOR r-->", kData, ""},
        // Bindings are gone after the loop.
        RenderCase{"<!--%%FOREACH r IN rows--><!--%%ENDFOR r-->[%%r[]%%|%%INDEX:r%%|%%ISFIRST(r)%%]", kData, "[||]"},
        // Elements' members, and a loop over an element's list.
        RenderCase{"<!--%%FOREACH p IN people-->%%p[].name%%:<!--%%FOREACH t IN p[].tags-->%%t[]%%,"
                   "<!--%%EMPTYFOR t-->none<!--%%ENDFOR t-->;<!--%%ENDFOR p-->",
                   kData, "Ann:t1,t2,;Cy:none;"},
        // A nested loop of the same name: the inner loop's end removes the outer bindings
        // too; the outer loop binds them again for its next element.
        RenderCase{"<!--%%FOREACH g IN grid-->(<!--%%FOREACH g IN g[]-->%%g[]%%<!--%%ENDFOR g-->"
                   "[%%g[]%%%%INDEX:g%%])<!--%%ENDFOR g-->",
                   kData, "(12[])(3[])"}), wssp_test::caseName);

// A Call rendered on its own writes its own value, not the value of its operand.
TEST(RenderTest, CallNodeWritesItsOwnValue) {
    cgp::DataSet data = wssp_test::dataOf(kData);
    using cgp::WSSPNodeKind;
    std::unique_ptr<cgp::WSSPNode> call(
        wssp_test::makeNode(WSSPNodeKind::Call, "", cgp::FnNot, {wssp_test::makeNode(WSSPNodeKind::Variable, "no")}));
    EXPECT_EQ(wssp_test::renderTree(call.get(), data), "YES");
}

// Kinds without a page syntax of their own, built by hand.
TEST(RenderTest, IntegerAndUnboundLoopElement) {
    using cgp::WSSPNodeKind;
    std::unique_ptr<cgp::WSSPNode> sequence(
        wssp_test::makeNode(WSSPNodeKind::Sequence, "", 0,
                            {wssp_test::makeNode(WSSPNodeKind::Integer, "", -12),
                             wssp_test::makeNode(WSSPNodeKind::LoopElement, "r")}));
    cgp::WSSPContext context = wssp_test::contextFor(wssp_test::dataOf(kData));
    std::ostringstream out;
    cgp::WSSPPage::renderNode(sequence.get(), out, context);
    EXPECT_EQ(out.str(), "-12");
    // The missing binding is now an empty entry.
    const cgp::DataSet* made = context.variables->dictionary.find("r[]");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->kind(), cgp::DataSetKind::Empty);
    EXPECT_EQ(wssp_test::renderTree(nullptr, wssp_test::dataOf(kData)), "");
}

// A context without variables gets a dictionary of its own.
TEST(RenderTest, ContextWithoutVariables) {
    std::unique_ptr<cgp::WSSPNode> root = cgp::parsePageText("<!--%%FOREACH r IN rows-->%%r[]%%<!--%%ENDFOR r-->");
    cgp::WSSPContext context{wssp_test::dataOf(kData), cgp::DataSet()};
    std::ostringstream out;
    cgp::WSSPPage::renderNode(root.get(), out, context);
    EXPECT_EQ(out.str(), "abc");
    EXPECT_EQ(context.variables.kind(), cgp::DataSetKind::Dictionary);
}

// Data that is not a dictionary renders every name as missing.
TEST(RenderTest, DataThatIsNoDictionary) {
    EXPECT_EQ(renderPage("[%%name%%]<!--%%IF name-->x<!--%%ENDIF-->", cgp::DataSet()), "[]");
    EXPECT_EQ(renderPage("[%%name%%]", cgp::DataSet("text")), "[]");
}

// Output larger than the renderer's buffer arrives whole and in order.
TEST(RenderTest, LongOutputInOrder) {
    std::string data = "{rows = (";
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        data += (i ? ", " : "") + std::to_string(i);
        expected += std::to_string(i) + "<br>\n";
    }
    data += ");}";
    EXPECT_EQ(renderPage("<!--%%FOREACH r IN rows-->%%r[]%%<br>\n<!--%%ENDFOR r-->", data), expected);
}

}  // namespace
