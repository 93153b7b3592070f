// Long chains and deep trees evaluate and render without deep recursion (run under
// AddressSanitizer, whose larger frames would overflow a recursive walk).
#include <gtest/gtest.h>

#include <cstring>

#include "formats/parser_tokens.h"
#include "tests/wssp/wssp_test_util.h"

namespace {

std::string chain(const char* op, int terms, const char* term, const char* last) {
    std::string text = "%%";
    text.reserve(static_cast<std::size_t>(terms) * (std::strlen(term) + 3) + 16);
    for (int i = 1; i < terms; ++i) text.append(term).append(op);
    text.append(last).append("%%");
    return text;
}

TEST(DeepTreeTest, MillionTermOrChain) {
    std::unique_ptr<cgp::WSSPNode> root = cgp::parsePageText(chain(" | ", 1000000, "no", "yes"));
    ASSERT_TRUE(root);
    cgp::DataSet data = wssp_test::dataOf("{yes = YES; no = NO;}");
    EXPECT_EQ(wssp_test::renderTree(root.get(), data), "YES");
    std::unique_ptr<cgp::WSSPNode> none = cgp::parsePageText(chain(" | ", 1000000, "no", "no"));
    EXPECT_EQ(wssp_test::renderTree(none.get(), data), "NO");
}

TEST(DeepTreeTest, MillionTermAndChain) {
    cgp::DataSet data = wssp_test::dataOf("{yes = YES; no = NO;}");
    std::unique_ptr<cgp::WSSPNode> all = cgp::parsePageText(chain(" & ", 1000000, "yes", "yes"));
    EXPECT_EQ(wssp_test::renderTree(all.get(), data), "YES");
    std::unique_ptr<cgp::WSSPNode> one = cgp::parsePageText(chain(" & ", 1000000, "yes", "no"));
    EXPECT_EQ(wssp_test::renderTree(one.get(), data), "NO");
}

// a.a.a....: the dictionary holds itself under "a" through the leaf at the end.
TEST(DeepTreeTest, LongMemberChain) {
    std::string text = "%%d";
    for (int i = 0; i < 200000; ++i) text += ".a";
    text += ".leaf%%";
    std::unique_ptr<cgp::WSSPNode> root = cgp::parsePageText(text);
    ASSERT_TRUE(root);
    cgp::DataSet d(cgp::DataSetKind::Dictionary);
    cgp::DataSet data(cgp::DataSetKind::Dictionary);
    data->dictionary.set("d", d);
    d->dictionary.set("leaf", cgp::DataSet("end"));
    // A cycle only while the render runs; broken before the handles go.
    d->dictionary.set("a", d);
    EXPECT_EQ(wssp_test::renderTree(root.get(), data), "end");
    d->dictionary.erase("a");
}

// Trees built by hand may be deeper than any page allows: nested NOTs and conditionals.
TEST(DeepTreeTest, HandBuiltDepth) {
    const int depth = 300000;
    using cgp::WSSPNodeKind;
    using wssp_test::makeNode;
    cgp::WSSPNode* expression = makeNode(WSSPNodeKind::Variable, "yes");
    for (int i = 0; i < depth; ++i) expression = makeNode(WSSPNodeKind::Call, "", cgp::FnNot, {expression});
    std::unique_ptr<cgp::WSSPNode> notChain(
        makeNode(WSSPNodeKind::Output, "", 0, {makeNode(WSSPNodeKind::Empty), expression}));
    cgp::DataSet data = wssp_test::dataOf("{yes = YES;}");
    EXPECT_EQ(wssp_test::renderTree(notChain.get(), data), "YES");

    cgp::WSSPNode* body = makeNode(WSSPNodeKind::Text, "core");
    for (int i = 0; i < depth; ++i) {
        cgp::WSSPNode* conditional = makeNode(WSSPNodeKind::Conditional, "", 0,
                                              {makeNode(WSSPNodeKind::Variable, "yes"), body,
                                               makeNode(WSSPNodeKind::Empty)});
        body = makeNode(WSSPNodeKind::Sequence, "", 0, {makeNode(WSSPNodeKind::Text, "<"), conditional});
    }
    std::unique_ptr<cgp::WSSPNode> nested(body);
    std::string rendered = wssp_test::renderTree(nested.get(), data);
    EXPECT_EQ(rendered.size(), static_cast<std::size_t>(depth) + 4);
    EXPECT_EQ(rendered.substr(rendered.size() - 5), "<core");
}

}  // namespace
