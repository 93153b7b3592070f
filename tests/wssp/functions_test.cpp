// Function and operator codes of the evaluator, seen through rendered pages and through
// evaluate's values.
#include <gtest/gtest.h>

#include "tests/wssp/wssp_test_util.h"

namespace {

using wssp_test::RenderCase;
using wssp_test::RenderCaseTest;
using wssp_test::renderPage;

const char* const kData =
    "{name = Bob; upper = BOB; yes = YES; no = NO; zero = 0; empty = \"\"; two = 2;"
    " list = (a, b, \"1.5\"); dict = {a = Alpha; b = Beta;}; data = [AAEC];"
    " settings = {lang = en;}; session = {user = bob;}; accountsettings = {quota = 10;};"
    " words = \"one two three\"; key = a;}";


INSTANTIATE_TEST_SUITE_P(
    Functions, RenderCaseTest,
    testing::Values(
        RenderCase{"%%EXISTS(name)%%,%%EXISTS(missing)%%,%%EXISTS(EXISTS(missing))%%", kData, "YES,NO,NO"},
        RenderCase{"%%DOESNOTEXIST(name)%%,%%DOESNOTEXIST(missing)%%", kData, "NO,YES"},
        RenderCase{"%%NOT(yes)%%,%%NOT(no)%%,%%NOT(zero)%%,%%NOT(empty)%%,%%NOT(missing)%%,%%NOT(name)%%", kData,
                   "NO,YES,YES,YES,YES,NO"},
        RenderCase{"%%EQUALS(name AND \"Bob\")%%,%%EQUALS(name AND upper)%%,%%EQUALS(missing AND empty)%%", kData,
                   "YES,NO,YES"},
        RenderCase{"%%EQUALSNOCASE(name AND upper)%%,%%EQUALSNOCASE(name AND \"Bobby\")%%", kData, "YES,NO"},
        RenderCase{"%%CHECKED(yes)%%|%%CHECKED(no)%%|%%CHECKED(missing)%%", kData, "checked=\"checked\"||"},
        RenderCase{"%%ISSTRING(name)%%%%ISSTRING(list)%%%%ISARRAY(list)%%%%ISARRAY(dict)%%", kData, "YESNOYESNO"},
        RenderCase{"%%ISDICTIONARY(dict)%%%%ISDICTIONARY(name)%%%%ISDATA(data)%%%%ISDATA(name)%%", kData,
                   "YESNOYESNO"},
        RenderCase{"%%ISSTRING(missing)%%", kData, "NO"},
        // Constructors: kinds of their own, empty texts.
        RenderCase{"[%%NULL()%%%%EMPTYSTRING()%%%%EMPTYARRAY()%%%%EMPTYDICTIONARY()%%]", kData, "[]"},
        RenderCase{"%%EXISTS(NULL())%%%%EXISTS(EMPTYSTRING())%%%%ISARRAY(EMPTYARRAY())%%"
                   "%%ISDICTIONARY(EMPTYDICTIONARY())%%",
                   kData, "NOYESYESYES"},
        // Lookups by a computed name, of one kind only.
        RenderCase{"%%STRING(\"name\")%%|%%STRING(\"list\")%%|%%ISARRAY(ARRAY(\"list\"))%%|%%ISARRAY(ARRAY(\"name\"))%%",
                   kData, "Bob||YES|NO"},
        RenderCase{"%%DICTIONARY(\"dict\").a%%|%%ISDICTIONARY(DICTIONARY(\"name\"))%%", kData, "Alpha|NO"},
        RenderCase{"%%TRANSLATE(key USING dict)%%|%%TRANSLATE(name USING dict)%%|%%TRANSLATE(key USING name)%%|"
                   "[%%TRANSLATE(list USING dict)%%]",
                   kData, "Alpha|Bob|a|[]"},
        RenderCase{"%%CONTAINS(\"b\" IN list)%%%%CONTAINS(\"c\" IN list)%%%%CONTAINS(\"two\" IN words)%%"
                   "%%CONTAINS(\"b\" IN dict)%%%%CONTAINS(\"Beta\" IN dict)%%%%CONTAINS(list IN list)%%"
                   "%%CONTAINS(\"a\" IN missing)%%",
                   kData, "YESNOYESYESNONONO"},
        // Member access, and the three names the parser turns into it.
        RenderCase{"%%dict.a%%|%%dict.\"b\"%%|%%dict.c%%|%%name.a%%", kData, "Alpha|Beta||"},
        RenderCase{"%%SETTINGS(lang)%%|%%SESSION(user)%%|%%ACCOUNTSETTINGS(quota)%%", kData, "en|bob|10"},
        RenderCase{"%%yes & name%%,%%yes & no%%,%%no | name%%,%%no | zero%%,%%no | no & yes | yes%%", kData,
                   "YES,NO,YES,NO,YES"},
        // Codes without a result of their own yield the empty value.
        RenderCase{"[%%HASPARENTMAILBOX(name)%%%%ISDATE(name)%%%%RANDOMELEMENT(list)%%%%MONTHNAMES()%%"
                   "%%WEEKDAYS()%%%%KNOWNCHARSETS()%%%%KNOWNTIMEZONES()%%]%%EXISTS(ISDATE(name))%%",
                   kData, "[]NO"},
        // Loop position tests: "" outside the loop, YES/NO inside.
        RenderCase{"[%%ISFIRST(r)%%%%ISEVEN(r)%%%%ISINDEX(two IN r)%%]", kData, "[]"},
        RenderCase{"<!--%%FOREACH r IN list-->%%ISFIRST(r)%%/%%ISEVEN(r)%%/%%ISINDEX(two IN r)%% <!--%%ENDFOR r-->",
                   kData, "YES/YES/NO NO/NO/NO NO/YES/YES "}), wssp_test::caseName);

TEST(FunctionTest, IncludeArgumentPositions) {
    cgp::WSSPContext context = wssp_test::contextFor(wssp_test::dataOf(kData));
    context.variables->dictionary.set("INCLUDEARG", wssp_test::dataOf("(first, second)"));
    EXPECT_EQ(wssp_test::evaluateExpression("INCLUDEARG(1)", context)->stringValue, "second");
    cgp::DataSet past = wssp_test::evaluateExpression("INCLUDEARG(2)", context);
    EXPECT_EQ(past.kind(), cgp::DataSetKind::String);
    EXPECT_EQ(past->stringValue, "");
}

// Kinds and sharing of evaluate's results.
TEST(FunctionTest, ResultKindsAndSharing) {
    cgp::DataSet data = wssp_test::dataOf(kData);
    cgp::WSSPContext context = wssp_test::contextFor(data);

    cgp::DataSet stored = wssp_test::evaluateExpression("dict", context);
    EXPECT_EQ(stored.get(), data->dictionary.find("dict")->get()) << "stored values are shared";

    cgp::DataSet exists = wssp_test::evaluateExpression("EXISTS(name)", context);
    EXPECT_EQ(exists.kind(), cgp::DataSetKind::Empty);
    EXPECT_EQ(exists->stringValue, "YES");

    cgp::DataSet isString = wssp_test::evaluateExpression("ISSTRING(name)", context);
    EXPECT_EQ(isString.kind(), cgp::DataSetKind::String);

    cgp::DataSet missing = wssp_test::evaluateExpression("missing", context);
    ASSERT_FALSE(missing.isNull());
    EXPECT_EQ(missing.kind(), cgp::DataSetKind::Empty);

    // Computed results are new nodes: changing one changes nothing else.
    cgp::DataSet yes1 = wssp_test::evaluateExpression("NOT(no)", context);
    yes1->stringValue = "changed";
    EXPECT_EQ(wssp_test::evaluateExpression("NOT(no)", context)->stringValue, "YES");

    // An output is a one-level clone of its value.
    std::unique_ptr<cgp::WSSPNode> root = cgp::parsePageText("%%HTML:list%%");
    cgp::DataSet clone = cgp::WSSPPage::evaluate(root->children.at(0), context);
    EXPECT_EQ(clone.kind(), cgp::DataSetKind::Array);
    ASSERT_EQ(clone->array.size(), 3u);
    EXPECT_EQ(clone->array[0].get(), (*data->dictionary.find("list"))->array[0].get());

    EXPECT_EQ(cgp::WSSPPage::evaluate(nullptr, context).kind(), cgp::DataSetKind::Empty);
}

// Member access falls back on the link of the dictionary's node, and says so.
TEST(FunctionTest, MemberAccessThroughTheLink) {
    cgp::DataSet defaults = wssp_test::dataOf("{color = blue; size = 3;}");
    cgp::DataSet own(cgp::DataSetKind::Dictionary, defaults);
    own->dictionary.set("size", cgp::DataSet("5"));
    cgp::DataSet data(cgp::DataSetKind::Dictionary);
    data->dictionary.set("prefs", own);
    cgp::WSSPContext context = wssp_test::contextFor(data);

    cgp::DataSet direct = wssp_test::evaluateExpression("prefs.size", context);
    EXPECT_EQ(direct->stringValue, "5");
    EXPECT_FALSE(direct.isInherited());
    cgp::DataSet inherited = wssp_test::evaluateExpression("prefs.color", context);
    EXPECT_EQ(inherited->stringValue, "blue");
    EXPECT_TRUE(inherited.isInherited());
    EXPECT_EQ(wssp_test::renderPage("%%prefs.color%%/%%prefs.size%%/[%%prefs.shape%%]", data), "blue/5/[]");
    // Plain names are looked up in the data only, never in a link.
    cgp::DataSet linkedData(cgp::DataSetKind::Dictionary, defaults);
    EXPECT_EQ(wssp_test::renderPage("[%%color%%]", linkedData), "[]");
}

TEST(FunctionTest, NumbersAndTexts) {
    struct Row {
        const char* text;
        std::int64_t number;
    };
    for (Row row : {Row{"42", 42}, Row{"  -7x", -7}, Row{"+3", 3}, Row{"x1", 0}, Row{"", 0},
                    Row{"4102444800", 4102444800LL}, Row{"99999999999999999999", INT64_MAX},
                    Row{"-99999999999999999999", INT64_MIN}}) {
        EXPECT_EQ(cgp::WSSPPage::toNumber(row.text), row.number) << row.text;
    }
    EXPECT_EQ(cgp::WSSPPage::toText(-4102444800LL), "-4102444800");
}

}  // namespace
