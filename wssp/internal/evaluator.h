#pragma once
// Internal to the page engine: the expression evaluator the renderer and menus share.

#include <string>
#include <string_view>
#include <vector>

#include "formats/dataset.h"
#include "formats/wssp_node.h"
#include "wssp/internal/eval_value.h"
#include "wssp/wssp_page.h"

namespace cgp::wssp_internal {

// The value stored under key in a Dictionary, or null (also for a value of another kind).
const DataSet* findIn(const DataSet& dictionary, std::string_view key);
const DataSet* findIn(const data_set* dictionary, std::string_view key);

// Evaluates expression nodes against one context. Keeps a work stack of its own, so the
// depth of an expression costs heap, not machine stack; reuse one evaluator for many
// evaluations to keep that stack. Values returned point into the context and the tree:
// use them before the variables change.
class Evaluator {
public:
    explicit Evaluator(const WSSPContext& context) : ctx(context) {}

    Value evaluate(const WSSPNode* node);

    // Appends the text of an Output node's value to out: b (the value of the Output's
    // expression) through the Output's encoding.
    void appendEncoded(const WSSPNode* output, const Value& b, std::string& out);

    // The binding "<name><suffix>" in the variables, or null.
    const DataSet* binding(const std::string& name, const char* suffix);

    const WSSPContext& context() const { return ctx; }

private:
    struct Frame {
        const WSSPNode* node;
        int stage;
        Value a;
        Value b;
    };

    Value compute(Frame& frame);
    Value call(const WSSPNode* node, const Value& a, const Value& b);
    Value output(const WSSPNode* node, const Value& b);
    Value memberAccess(const WSSPNode* node, const Value& a);
    // "YES" when the loop position bound for the name passes the test, else "NO"; the
    // empty string when the name has no loop position bound.
    template <class Test>
    Value positionTest(const WSSPNode* nameNode, Test test);
    std::string datePicture(const WSSPNode* encoding, const char* fallback);

    const WSSPContext& ctx;
    std::vector<Frame> frames;
    std::string key;
};

}  // namespace cgp::wssp_internal
