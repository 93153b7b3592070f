// Included pages: the handler, arguments, their restoring, and the nesting limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "tests/wssp/wssp_test_util.h"

namespace {

using wssp_test::renderPage;

// Pages by name, parsed from texts; owns them.
class PageTable : public cgp::WSSPIncludeHandler {
public:
    void add(const std::string& name, const std::string& text) {
        pages[name] = cgp::parsePageText(text);
        ASSERT_TRUE(pages[name]) << text;
    }
    const cgp::WSSPNode* includedPage(const std::string& name) override {
        auto found = pages.find(name);
        return found == pages.end() ? nullptr : found->second.get();
    }

private:
    std::map<std::string, std::unique_ptr<cgp::WSSPNode>> pages;
};

class IncludeTest : public testing::Test {
protected:
    void SetUp() override { cgp::WSSPPage::setIncludeHandler(&table); }
    void TearDown() override { cgp::WSSPPage::setIncludeHandler(nullptr); }
    PageTable table;
};

TEST_F(IncludeTest, RendersTheIncludedPageWithItsArguments) {
    table.add("greet", "Hello %%INCLUDEARG(0)%% and %%INCLUDEARG(1)%%[%%INCLUDEARG(2)%%] (%%name%%)");
    EXPECT_EQ(renderPage("<p><!--%%INCLUDE \"greet\"(name, \"you\")--></p>", "{name = Bob;}"),
              "<p>Hello Bob and you[] (Bob)</p>");
    // Without arguments every position is empty.
    EXPECT_EQ(renderPage("<!--%%INCLUDE \"greet\"-->", "{name = Bob;}"), "Hello  and [] (Bob)");
}

// An argument that is a call passes that call's value.
TEST_F(IncludeTest, CallArgumentsPassTheirOwnValue) {
    table.add("show", "[%%INCLUDEARG(0)%%|%%INCLUDEARG(1)%%|%%INCLUDEARG(2)%%]");
    EXPECT_EQ(renderPage("<!--%%INCLUDE \"show\"(NOT(flag), settings.x, SETTINGS(y))-->",
                         "{flag = YES; settings = {x = ex; y = why;};}"),
              "[NO|ex|why]");
}

// Loop elements and positions are visible inside, and arguments are restored after
// every include, nested ones too.
TEST_F(IncludeTest, ArgumentsRestoredAfterNestedIncludes) {
    table.add("inner", "(in:%%INCLUDEARG(0)%%)");
    table.add("outer", "{%%INCLUDEARG(0)%%<!--%%INCLUDE \"inner\"(\"deep\")-->%%INCLUDEARG(0)%%}");
    EXPECT_EQ(renderPage("<!--%%FOREACH r IN rows--><!--%%INCLUDE \"outer\"(r[])-->%%INCLUDEARG(0)%%,"
                         "<!--%%ENDFOR r-->[%%INCLUDEARG(0)%%]",
                         "{rows = (a, b);}"),
              "{a(in:deep)a},{b(in:deep)b},[]");

    std::unique_ptr<cgp::WSSPNode> root = cgp::parsePageText("<!--%%INCLUDE \"inner\"(\"x\")-->");
    cgp::WSSPContext context = wssp_test::contextFor(cgp::DataSet(cgp::DataSetKind::Dictionary));
    cgp::DataSet before = wssp_test::dataOf("(kept)");
    context.variables->dictionary.set("INCLUDEARG", before);
    std::ostringstream out;
    cgp::WSSPPage::renderNode(root.get(), out, context);
    EXPECT_EQ(out.str(), "(in:x)");
    EXPECT_EQ(context.variables->dictionary.find("INCLUDEARG")->get(), before.get());
    EXPECT_EQ(context.includeDepth, 0);

    // A context without "INCLUDEARG" gets an empty entry back.
    context.variables->dictionary.erase("INCLUDEARG");
    cgp::WSSPPage::renderNode(root.get(), out, context);
    const cgp::DataSet* restored = context.variables->dictionary.find("INCLUDEARG");
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->kind(), cgp::DataSetKind::Empty);
}

TEST_F(IncludeTest, MissingPageAndMissingHandler) {
    EXPECT_EQ(renderPage("a<!--%%INCLUDE \"No/Such.wssp\"-->b"), "a[ERROR, INCLUDED FILE 'No/Such.wssp' NOT FOUND]b");
    cgp::WSSPPage::setIncludeHandler(nullptr);
    EXPECT_EQ(renderPage("a<!--%%INCLUDE \"x\"-->b"), "a[INTERNAL ERROR, INCLUDE HANDLER NOT SET]b");
}

// A page that includes itself stops at the nesting limit and the render goes on.
TEST_F(IncludeTest, SelfIncludeStopsAtTheLimit) {
    table.add("self", "x<!--%%INCLUDE \"self\"-->y");
    std::string expected;
    for (int i = 0; i < cgp::WSSPPage::kMaxIncludeDepth; ++i) expected += "x";
    expected += "[ERROR, INCLUDED FILE 'self' NESTED TOO DEEPLY]";
    for (int i = 0; i < cgp::WSSPPage::kMaxIncludeDepth; ++i) expected += "y";
    EXPECT_EQ(renderPage("<!--%%INCLUDE \"self\"-->"), expected);

    // Two pages around a circle, each with a loop around the include.
    table.add("ping", "<!--%%FOREACH r IN rows-->p<!--%%INCLUDE \"pong\"--><!--%%ENDFOR r-->");
    table.add("pong", "<!--%%INCLUDE \"ping\"-->");
    std::string circle = renderPage("<!--%%INCLUDE \"ping\"-->", "{rows = (1);}");
    EXPECT_NE(circle.find("NESTED TOO DEEPLY"), std::string::npos);
    EXPECT_EQ(circle.rfind("p", 0), 0u);
}

// Within the depth limit, a page that includes itself twice would be written 2^32 times.
TEST_F(IncludeTest, IncludesSideBySideStopAtTheBudget) {
    table.add("twice", "a<!--%%INCLUDE \"twice\"--><!--%%INCLUDE \"twice\"-->");
    std::string out = renderPage("<!--%%INCLUDE \"twice\"-->");
    EXPECT_EQ(static_cast<long>(std::count(out.begin(), out.end(), 'a')), cgp::WSSPPage::kMaxIncludesPerRender);
    EXPECT_NE(out.find("[ERROR, INCLUDED FILE 'twice' INCLUDED TOO OFTEN]"), std::string::npos);
}

}  // namespace
