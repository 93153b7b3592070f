// The dataset reader over any bytes, with the round-trip property: a text that parses,
// written in the one-line and in the multi-line form and read again, gives an equal tree.
// Trees the writer cannot reproduce exactly are first written and read until it can:
// entries with an empty key (left out by the writer) and texts holding a carriage return
// (dropped by the writer's escaping).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "formats/dataset_reader.h"
#include "formats/dataset_writer.h"

namespace {

bool writtenExactly(const cgp::DataSet& root) {
    std::vector<const cgp::data_set*> pending{root.get()};
    while (!pending.empty()) {
        const cgp::data_set* node = pending.back();
        pending.pop_back();
        if (!node) continue;
        if (node->stringValue.find('\r') != std::string::npos && node->kind == cgp::DataSetKind::String) return false;
        for (const cgp::DataSet& element : node->array) pending.push_back(element.get());
        for (const auto& entry : node->dictionary) {
            if (entry.key.empty() || entry.key.find('\r') != std::string::npos) return false;
            pending.push_back(entry.value.get());
        }
    }
    return true;
}

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy first, so the reader's input has no byte past its end to read
    // unnoticed; the reader then takes its own copy.
    std::unique_ptr<char[]> bytes(new char[size]);
    std::copy(data, data + size, bytes.get());
    std::string text(bytes.get(), size);

    cgp::DataSet tree = cgp::parseDataSetText(text);
    if (tree.kind() == cgp::DataSetKind::Empty) return 0;
    // A carriage-return key turns into an empty one in the first round, which the second
    // round leaves out; from then on the writer must reproduce the tree exactly.
    int rounds = 0;
    while (!writtenExactly(tree)) {
        check(++rounds <= 2);
        tree = cgp::parseDataSetText(cgp::DataSet::toString(tree, false));
    }
    for (bool pretty : {false, true}) {
        cgp::DataSet again = cgp::parseDataSetText(cgp::DataSet::toString(tree, pretty));
        check(again->equals(tree));
    }
    return 0;
}
