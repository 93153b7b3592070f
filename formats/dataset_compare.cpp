#include <utility>
#include <vector>

#include "formats/dataset.h"

namespace cgp {

namespace {

// The kind of a node, a null pointer standing for an Empty value.
DataSetKind kindOf(const data_set* node) { return node == nullptr ? DataSetKind::Empty : node->kind; }

// Compares the two nodes' own level and queues their children in pairs. False on the
// first difference.
bool sameLevel(const data_set* a, const data_set* b, std::vector<std::pair<const data_set*, const data_set*>>& pending) {
    DataSetKind kind = kindOf(a);
    if (kind != kindOf(b)) return false;
    switch (kind) {
        case DataSetKind::Empty:
            return true;
        case DataSetKind::String:
        case DataSetKind::Data:
            return a->stringValue == b->stringValue;
        case DataSetKind::Array:
            if (a->array.size() != b->array.size()) return false;
            for (std::size_t i = 0; i < a->array.size(); ++i) pending.emplace_back(a->array[i].get(), b->array[i].get());
            return true;
        case DataSetKind::Dictionary:
            if (a->dictionary.size() != b->dictionary.size()) return false;
            for (const auto& entry : a->dictionary) {
                const DataSet* other = b->dictionary.find(entry.key);
                if (other == nullptr) return false;
                pending.emplace_back(entry.value.get(), other->get());
            }
            return true;
    }
    return false;  // a kind outside the model
}

}  // namespace

bool data_set::equals(const data_set& other) const {
    // Nothing changes while comparing, so plain node pointers are safe and no handle is copied.
    std::vector<std::pair<const data_set*, const data_set*>> pending;
    pending.emplace_back(this, &other);
    while (!pending.empty()) {
        auto [a, b] = pending.back();
        pending.pop_back();
        if (a == b) continue;
        if (!sameLevel(a, b, pending)) return false;
    }
    return true;
}

bool data_set::equals(const DataSet& other) const {
    if (other.get() != nullptr) return equals(*other.get());
    return kind == DataSetKind::Empty;
}

}  // namespace cgp
