// The shared parser over any bytes: the first byte chooses the language (its value
// modulo 3), the rest is the text. Page parses must leave no node alive once the page is
// deleted; a failed one must leave none at all. Every page built is also simplified and
// dumped.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "formats/parser.h"
#include "formats/router_row_sink.h"
#include "formats/wssp_node.h"
#include "formats/wssp_node_dump.h"

namespace {

class NullSink : public cgp::RouterRowSink {
public:
    void addRouterRow(const std::string& left, bool, const std::string* right) override {
        bytes += left.size() + (right ? right->size() : 0);
    }
    std::size_t bytes = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    int mode = data[0] % 3;
    // An exact-size copy, so a read past the end is caught.
    std::unique_ptr<char[]> text(new char[size - 1]);
    std::copy(data + 1, data + size, text.get());
    std::string_view input(text.get(), size - 1);

    NullSink sink;
    // Held across the parse and the read of its noted node, as page loads do; a dataset
    // parse takes the value-pool mutex, which ranks before the parser's, so it runs unheld.
    tmg::MutexLock lock(&cgp::cgparserMutex(), mode == cgp::PageMode);
    bool ok = cgp::cgparserParseBytes(input, mode, &sink);
    if (mode == cgp::PageMode) {
        if (ok) {
            cgp::WSSPNode* root = cgp::wsspRootOf(cgp::cgparserNotedNode());
            if (!root) std::abort();
            // Walks that the page engine and diagnostics make over any tree the parser builds.
            root->simplify();
            if (cgp::dumpWSSPTree(root).empty()) std::abort();
            delete root;
        }
        if (cgp::wsspLiveNodeCount() != 0) std::abort();
    }
    return 0;
}
