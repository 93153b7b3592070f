// Option menus: every kind, the default entry, selection and escaping.
#include <gtest/gtest.h>

#include "tests/wssp/wssp_test_util.h"

namespace {

using wssp_test::RenderCase;
using wssp_test::RenderCaseTest;
using wssp_test::renderPage;

const char* const kData =
    "{yes = YES; no = NO; three = 3; minus = \"-1\"; seven = 7; colors = (red, green, blue); green = green;"
    " second = 1; show = {red = Rot; \"0\" = Null; YES = Ja; NO = Nein;}; nasty = (\"a\\\"b<c>\", \"x&amp;y\");"
    " nastyshow = {\"a\\\"b<c>\" = \"<i>\";};}";


#define OPT(v, l) "<option value=\"" v "\">" l "</option>"
#define SEL(v, l) "<option value=\"" v "\" selected=\"selected\">" l "</option>"

INSTANTIATE_TEST_SUITE_P(
    MenuKinds, RenderCaseTest,
    testing::Values(
        RenderCase{"<!--%%BOOLMENU yes-->", kData, OPT("0", "NO") SEL("1", "YES")},
        RenderCase{"<!--%%BOOLMENU no-->", kData, SEL("0", "NO") OPT("1", "YES")},
        RenderCase{"<!--%%BOOLMENU yes DISPLAY show-->", kData, OPT("0", "Nein") SEL("1", "Ja")},
        RenderCase{"<!--%%NUMERICMENU three IN (1, 3, 5)-->", kData, OPT("1", "1") SEL("3", "3") OPT("5", "5")},
        // Not among the literals and no default: the first option.
        RenderCase{"<!--%%NUMERICMENU seven IN (1, 3)-->", kData, SEL("1", "1") OPT("3", "3")},
        // The last equal literal wins.
        RenderCase{"<!--%%NUMERICMENU three IN (3, 1, 3)-->", kData, OPT("3", "3") OPT("1", "1") SEL("3", "3")},
        RenderCase{"<!--%%NUMERICMENU three IN (0, 3) DISPLAY show-->", kData, OPT("0", "Null") SEL("3", "3")},
        // The value's text is looked for among the elements' texts, not their positions.
        RenderCase{"<!--%%ENUMMENU second IN colors-->", kData,
                   SEL("0", "red") OPT("1", "green") OPT("2", "blue")},
        RenderCase{"<!--%%ENUMMENU green IN colors DISPLAY show-->", kData,
                   OPT("0", "Rot") SEL("1", "green") OPT("2", "blue")},
        RenderCase{"<!--%%STRINGMENU green IN colors-->", kData,
                   OPT("red", "red") SEL("green", "green") OPT("blue", "blue")},
        // Not found: position 0.
        RenderCase{"<!--%%STRINGMENU missing IN colors-->", kData,
                   SEL("red", "red") OPT("green", "green") OPT("blue", "blue")},
        RenderCase{"<!--%%STRINGMENU green IN missing-->", kData, ""},
        // Kinds without options.
        RenderCase{"<!--%%TIMEMENU three IN (1, 2)-->", kData, "NOT IMPLEMENTED"},
        RenderCase{"<!--%%SIZEMENU three DEFAULT seven IN (1)-->", kData, "NOT IMPLEMENTED"},
        RenderCase{"<!--%%MAILBOXMENU three IN colors NOINBOX-->", kData, "NOT IMPLEMENTED"},
        RenderCase{"<!--%%DAYTIMEMENU three-->", kData, "NOT IMPLEMENTED"},
        RenderCase{"<!--%%CALENDARTIMEMENU three PERIOD 5-->", kData, "NOT IMPLEMENTED"},
        RenderCase{"<!--%%LOCALCALENDARTIMEMENU three-->", kData, "NOT IMPLEMENTED"}), wssp_test::caseName);

INSTANTIATE_TEST_SUITE_P(
    MenuDefaults, RenderCaseTest,
    testing::Values(
        // -1 selects the default entry, which comes first with " *".
        RenderCase{"<!--%%NUMERICMENU minus DEFAULT three IN (1, 3)-->", kData,
                   SEL("-1", "3 *") OPT("1", "1") OPT("3", "3")},
        // Any other value selects among the options after it.
        RenderCase{"<!--%%NUMERICMENU three DEFAULT seven IN (1, 3)-->", kData,
                   OPT("-1", "7 *") OPT("1", "1") SEL("3", "3")},
        RenderCase{"<!--%%BOOLMENU minus DEFAULT yes DISPLAY show-->", kData,
                   SEL("-1", "Ja *") OPT("0", "Nein") OPT("1", "Ja")},
        RenderCase{"<!--%%BOOLMENU yes DEFAULT no-->", kData, OPT("-1", "NO *") OPT("0", "NO") SEL("1", "YES")},
        RenderCase{"<!--%%STRINGMENU minus DEFAULT green IN colors-->", kData,
                   SEL("-1", "green *") OPT("red", "red") OPT("green", "green") OPT("blue", "blue")},
        RenderCase{"<!--%%ENUMMENU green DEFAULT green IN colors DISPLAY show-->", kData,
                   OPT("-1", "green *") OPT("0", "Rot") SEL("1", "green") OPT("2", "blue")},
        // A missing default is no default.
        RenderCase{"<!--%%BOOLMENU minus DEFAULT missing-->", kData, SEL("0", "NO") OPT("1", "YES")}), wssp_test::caseName);

// Values and labels cannot open markup; entities in display texts still work.
TEST(MenuTest, ValuesAndLabelsAreEscaped) {
    EXPECT_EQ(renderPage("<!--%%STRINGMENU missing IN nasty-->", kData),
              SEL("a&quot;b&lt;c&gt;", "a\"b&lt;c&gt;") OPT("x&amp;amp;y", "x&amp;y"));
    EXPECT_EQ(renderPage("<!--%%ENUMMENU missing IN nasty DISPLAY nastyshow-->", kData),
              SEL("0", "&lt;i&gt;") OPT("1", "x&amp;y"));
}

// A current value found through a link selects the default entry.
TEST(MenuTest, InheritedValueSelectsTheDefault) {
    cgp::DataSet defaults = wssp_test::dataOf("{size = 3;}");
    cgp::DataSet prefs(cgp::DataSetKind::Dictionary, defaults);
    cgp::DataSet data = wssp_test::dataOf(kData);
    data->dictionary.set("prefs", prefs);
    EXPECT_EQ(renderPage("<!--%%NUMERICMENU prefs.size DEFAULT three IN (1, 3)-->", data),
              SEL("-1", "3 *") OPT("1", "1") OPT("3", "3"));
    prefs->dictionary.set("size", cgp::DataSet("3"));
    EXPECT_EQ(renderPage("<!--%%NUMERICMENU prefs.size DEFAULT three IN (1, 3)-->", data),
              OPT("-1", "3 *") OPT("1", "1") SEL("3", "3"));
    // Without a default entry the inherited value is selected among the options.
    prefs->dictionary.erase("size");
    EXPECT_EQ(renderPage("<!--%%NUMERICMENU prefs.size IN (1, 3)-->", data), OPT("1", "1") SEL("3", "3"));
}

TEST(MenuTest, RenderMenuOnItsOwn) {
    std::unique_ptr<cgp::WSSPNode> root = cgp::parsePageText("<!--%%BOOLMENU yes-->");
    cgp::WSSPContext context = wssp_test::contextFor(wssp_test::dataOf(kData));
    std::ostringstream out;
    cgp::WSSPPage::renderMenu(root->children.at(0), out, context);
    EXPECT_EQ(out.str(), OPT("0", "NO") SEL("1", "YES"));
}

}  // namespace
