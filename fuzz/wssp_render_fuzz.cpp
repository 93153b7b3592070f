// Any bytes as a template page, rendered against fixed data with an include handler
// that returns the page itself: the render must end, with no fault, whatever the page.
// The handler gives the page a bounded number of times per input: two includes of itself
// would otherwise render 2^32 copies within the nesting limit, correctly but slowly.
// Loops nested over the data's lists multiply the output the same way (4^depth bodies,
// every one rendered, as it must be), so pages nesting more than maxLoopDepth loops are
// not rendered, and the output is counted and dropped rather than kept.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "formats/dataset_reader.h"
#include "formats/page_parse.h"
#include "wssp/wssp_page.h"

namespace {

class SelfInclude : public cgp::WSSPIncludeHandler {
public:
    const cgp::WSSPNode* includedPage(const std::string& name) override {
        if (name == "missing" || calls >= 256) return nullptr;
        ++calls;
        return page;
    }
    const cgp::WSSPNode* page = nullptr;
    int calls = 0;
};

// The longest chain of loops inside one another on the page, counted without recursion:
// pages may nest deeper than the stack would allow.
int loopDepth(const cgp::WSSPNode* root) {
    int deepest = 0;
    std::vector<std::pair<const cgp::WSSPNode*, int>> pending{{root, 0}};
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        if (node->kind == cgp::WSSPNodeKind::Loop) ++depth;
        if (depth > deepest) deepest = depth;
        for (const cgp::WSSPNode* child : node->children)
            if (child != nullptr) pending.emplace_back(child, depth);
    }
    return deepest;
}

// Over the fixed data's longest list, of 4 elements, 3 loops render a body 64 times.
constexpr int maxLoopDepth = 3;

// A stream buffer that counts what is written to it and keeps none of it.
class CountingBuffer : public std::streambuf {
public:
    std::size_t count = 0;

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) ++count;
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char_type*, std::streamsize n) override {
        count += static_cast<std::size_t>(n);
        return n;
    }
};

const cgp::DataSet& fixedData() {
    static const cgp::DataSet data = cgp::parseDataSetText(
        "{name = \"<Bob & 'Al'>\"; yes = YES; no = NO; zero = 0; minus = \"-1\"; t = 1700000000;"
        " rows = (a, b, \"1.5\", {x = y;}); grid = ((1, 2), (3)); dict = {a = Alpha; b = (c);};"
        " settings = {lang = en;}; session = {user = bob;}; empty = (); data = [AAEC];}");
    return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    std::unique_ptr<cgp::WSSPNode> root = cgp::parsePageText(std::string(reinterpret_cast<const char*>(bytes), size));
    if (!root || loopDepth(root.get()) > maxLoopDepth) return 0;
    static SelfInclude handler;
    handler.page = root.get();
    handler.calls = 0;
    cgp::WSSPPage::setIncludeHandler(&handler);
    CountingBuffer sink;
    std::ostream out(&sink);
    cgp::WSSPPage::render(root.get(), out, fixedData());
    // The one context of a whole render gets back what it started with.
    cgp::WSSPContext context{fixedData(), cgp::DataSet(cgp::DataSetKind::Dictionary)};
    handler.calls = 0;
    cgp::WSSPPage::renderNode(root.get(), out, context);
    if (context.includeDepth != 0) std::abort();
    cgp::WSSPPage::setIncludeHandler(nullptr);
    return 0;
}
