// Long chains and deep trees evaluate and render without deep recursion (run under
// AddressSanitizer, whose larger frames would overflow a recursive walk).
#include <gtest/gtest.h>

#include <cstring>

#include "formats/wssp_builders.h"
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
    std::unique_ptr<cgp::WSSPNode> root = cgp::parsePage(chain(" | ", 1000000, "no", "yes"));
    ASSERT_TRUE(root);
    cgp::DataSet data = wssp_test::dataOf("{yes = YES; no = NO;}");
    EXPECT_EQ(wssp_test::renderTree(root.get(), data), "YES");
    std::unique_ptr<cgp::WSSPNode> none = cgp::parsePage(chain(" | ", 1000000, "no", "no"));
    EXPECT_EQ(wssp_test::renderTree(none.get(), data), "NO");
}

TEST(DeepTreeTest, MillionTermAndChain) {
    cgp::DataSet data = wssp_test::dataOf("{yes = YES; no = NO;}");
    std::unique_ptr<cgp::WSSPNode> all = cgp::parsePage(chain(" & ", 1000000, "yes", "yes"));
    EXPECT_EQ(wssp_test::renderTree(all.get(), data), "YES");
    std::unique_ptr<cgp::WSSPNode> one = cgp::parsePage(chain(" & ", 1000000, "yes", "no"));
    EXPECT_EQ(wssp_test::renderTree(one.get(), data), "NO");
}

// a.a.a....: the dictionary holds itself under "a" through the leaf at the end.
TEST(DeepTreeTest, LongMemberChain) {
    std::string text = "%%d";
    for (int i = 0; i < 200000; ++i) text += ".a";
    text += ".leaf%%";
    std::unique_ptr<cgp::WSSPNode> root = cgp::parsePage(text);
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
    cgp::WSSPNode* expression = cgp::makeVariableNode("yes");
    for (int i = 0; i < depth; ++i) expression = cgp::makeFunctionNode(cgp::FnNot, expression);
    std::unique_ptr<cgp::WSSPNode> notChain(cgp::makeOutputNode(expression, nullptr));
    cgp::DataSet data = wssp_test::dataOf("{yes = YES;}");
    EXPECT_EQ(wssp_test::renderTree(notChain.get(), data), "YES");

    cgp::WSSPNode* body = cgp::makeTextNode("core");
    for (int i = 0; i < depth; ++i) {
        cgp::WSSPNode* sequence = cgp::appendToSequence(nullptr, cgp::makeTextNode("<"));
        cgp::appendToSequence(sequence, cgp::makeConditionalNode(cgp::makeVariableNode("yes"), body, nullptr, nullptr));
        body = sequence;
    }
    std::unique_ptr<cgp::WSSPNode> nested(body);
    std::string rendered = wssp_test::renderTree(nested.get(), data);
    EXPECT_EQ(rendered.size(), static_cast<std::size_t>(depth) + 4);
    EXPECT_EQ(rendered.substr(rendered.size() - 5), "<core");
}

}  // namespace
