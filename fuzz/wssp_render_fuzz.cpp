// Any bytes as a template page, rendered against fixed data with an include handler
// that returns the page itself: the render must end, with no fault, whatever the page.
// The handler gives the page a bounded number of times per input: two includes of itself
// would otherwise render 2^32 copies within the nesting limit, correctly but slowly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

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
    if (!root) return 0;
    static SelfInclude handler;
    handler.page = root.get();
    handler.calls = 0;
    cgp::WSSPPage::setIncludeHandler(&handler);
    std::ostringstream out;
    cgp::WSSPPage::render(root.get(), out, fixedData());
    // The one context of a whole render gets back what it started with.
    cgp::WSSPContext context{fixedData(), cgp::DataSet(cgp::DataSetKind::Dictionary)};
    handler.calls = 0;
    cgp::WSSPPage::renderNode(root.get(), out, context);
    if (context.includeDepth != 0) std::abort();
    cgp::WSSPPage::setIncludeHandler(nullptr);
    return 0;
}
