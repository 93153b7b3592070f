#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "formats/parser_tokens.h"
#include "formats/internal/wssp_builders.h"
#include "formats/wssp_node_dump.h"
#include "tests/support/capture_stdout.h"

using testsupport::CaptureStdout;

namespace cgp {
namespace {

using NodePtr = std::unique_ptr<WSSPNode>;

TEST(WSSPNodeTest, IntegerNodesSaturate) {
    struct Case {
        const char* text;
        int value;
    } cases[] = {
        {"42", 42},          {"  -7x", -7},         {"+3", 3},
        {"abc", 0},          {"", 0},               {"2147483647", INT_MAX},
        {"2147483648", INT_MAX}, {"-2147483648", INT_MIN}, {"-99999999999999999999", INT_MIN},
        {"00012", 12},
    };
    for (const auto& c : cases) {
        NodePtr node(makeIntegerNode(c.text));
        EXPECT_EQ(node->number, c.value) << c.text;
    }
}

TEST(WSSPNodeTest, SequencesMergeText) {
    WSSPNode* sequence = appendToSequence(nullptr, makeTextNode("ab"));
    appendToSequence(sequence, makeTextNode("\n"));
    appendToSequence(sequence, makeTextNode("cd"));
    appendToSequence(sequence, makeVariableNode("X"));
    appendToSequence(sequence, makeTextNode("e"));
    NodePtr root(sequence);
    EXPECT_EQ(dumpWSSPTree(root.get()), "Seq(Text \"ab\\ncd\", Var x, Text \"e\")");
    EXPECT_EQ(root->children[1]->parent, root.get());
}

TEST(WSSPNodeTest, BuildersFillAbsentPositions) {
    NodePtr menu(makeMenuNode(MenuBool, makeVariableNode("v"), nullptr, nullptr, makeVariableNode("d")));
    EXPECT_EQ(dumpWSSPTree(menu.get()), "Menu 369(Var v, Empty, Empty, Var d)");
    NodePtr shortMenu(makeMenuNode(MenuDayTime, makeVariableNode("v"), nullptr, nullptr, nullptr));
    EXPECT_EQ(dumpWSSPTree(shortMenu.get()), "Menu 371(Var v)");
    NodePtr output(makeOutputNode(makeVariableNode("x"), nullptr));
    EXPECT_EQ(dumpWSSPTree(output.get()), "Output(Empty, Var x)");
    NodePtr plain(makeConditionalNode(makeVariableNode("c"), makeTextNode("b"), nullptr, nullptr));
    EXPECT_EQ(dumpWSSPTree(plain.get()), "If(Var c, Text \"b\", Empty)");
    NodePtr element(makeLoopElementNode(makeVariableNode("Row")));
    EXPECT_EQ(dumpWSSPTree(element.get()), "Elem row");
}

TEST(WSSPNodeTest, MismatchedLoopNamesAreLoggedAndBuildNothing) {
    std::size_t before = wsspLiveNodeCount();
    CaptureStdout capture;
    WSSPNode* loop = makeLoopNode(makeVariableNode("a"), makeVariableNode("l"), makeTextNode("x"),
                                  makeVariableNode("b"), makeTextNode("y"), makeVariableNode("a"));
    EXPECT_EQ(loop, nullptr);
    EXPECT_EQ(capture.text(), "* while parsing a wssp file: syntax error, mismatching scanner names (a, b, a)\n");
    EXPECT_EQ(wsspLiveNodeCount(), before);
}

TEST(WSSPNodeTest, DestroyingARootEmptiesTheLiveSet) {
    std::size_t before = wsspLiveNodeCount();
    WSSPNode* root = appendToSequence(nullptr, makeTextNode("a"));
    WSSPNode* chain = makeVariableNode("x");
    for (int i = 0; i < 200000; ++i) chain = makeOperatorNode(OpOr, chain, makeVariableNode("y"));
    appendToSequence(root, makeOutputNode(chain, nullptr));
    EXPECT_TRUE(wsspIsLiveNode(chain));
    EXPECT_GT(wsspLiveNodeCount(), before + 400000);
    delete root;  // a long chain must not recurse in the destructor
    EXPECT_EQ(wsspLiveNodeCount(), before);
}

TEST(WSSPNodeTest, DeleteLiveNodesClimbsToEachRoot) {
    wsspForgetLiveNodes();
    WSSPNode* first = appendToSequence(nullptr, makeVariableNode("a"));
    WSSPNode* second = makeFunctionNode(FnNot, makeVariableNode("b"));
    EXPECT_EQ(wsspLiveNodeCount(), 4u);
    wsspDeleteLiveNodes();
    EXPECT_EQ(wsspLiveNodeCount(), 0u);
    (void)first;
    (void)second;
}

TEST(WSSPNodeTest, FunctionArgumentsAndSimplify) {
    WSSPNode* list = new WSSPNode(WSSPNodeKind::Sequence);
    list->append(makeVariableNode("a"));
    list->append(makeTextNode("b"));
    NodePtr call(makeFunctionNode(EncHtmlSubst, list));
    EXPECT_EQ(dumpWSSPTree(call.get()), "Call 353(Var a, Text \"b\")");
    EXPECT_EQ(call->children[0]->parent, call.get());

    WSSPNode* root = appendToSequence(nullptr, makeVariableNode("x"));
    WSSPNode* inner = appendToSequence(nullptr, appendToSequence(nullptr, makeTextNode("t")));
    appendToSequence(root, inner);
    NodePtr owner(root);
    root->simplify();
    EXPECT_EQ(dumpWSSPTree(root), "Seq(Var x, Text \"t\")");
    EXPECT_EQ(root->children[1]->parent, root);
}

TEST(WSSPNodeTest, NotedNodeIsTheFirstAndClearedWhenFreed) {
    cgparserClearNotedNode();
    NodePtr a(makeTextNode("a"));
    NodePtr b(makeTextNode("b"));
    EXPECT_EQ(cgparserNotedNode(), a.get());
    a.reset();
    EXPECT_EQ(cgparserNotedNode(), nullptr);
}

}  // namespace
}  // namespace cgp
