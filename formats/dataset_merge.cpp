#include <vector>

#include "formats/dataset.h"

namespace cgp {

namespace {

struct MergeStep {
    data_set* target;
    DataSet source;  // held, so that clearing the target cannot free what is still to copy
};

// Merges one level of the source into the target (same kinds) and queues the children,
// so that they are taken in order, each subtree before the next child.
void mergeLevel(data_set& target, const data_set& source, std::vector<MergeStep>& pending) {
    std::size_t first = pending.size();
    switch (source.kind) {
        case DataSetKind::Empty:
            return;
        case DataSetKind::String:
        case DataSetKind::Data:
            target.stringValue = source.stringValue;
            return;
        case DataSetKind::Array: {
            // Copied first: the target may be the source, or share its elements.
            DataSetArray elements = source.array;
            target.array.clear();
            target.array.reserve(elements.size());
            for (DataSet& element : elements) {
                target.array.emplace_back(element.kind());
                pending.push_back({target.array.back().get(), std::move(element)});
            }
            break;
        }
        case DataSetKind::Dictionary:
            for (const auto& entry : source.dictionary) {
                DataSetKind kind = entry.value.kind();
                if (DataSet* existing = target.dictionary.find(entry.key)) {
                    if (existing->kind() != kind || existing->get() == nullptr) continue;
                    pending.push_back({existing->get(), entry.value});
                } else {
                    DataSet fresh(kind);
                    pending.push_back({fresh.get(), entry.value});
                    target.dictionary.set(entry.key, fresh);
                }
            }
            break;
    }
    for (std::size_t i = first, j = pending.size(); i + 1 < j; ++i, --j) std::swap(pending[i], pending[j - 1]);
}

}  // namespace

bool data_set::merge(const DataSet& source) {
    if (source.get() == nullptr || source->kind != kind) return false;
    std::vector<MergeStep> pending;
    pending.push_back({this, source});
    while (!pending.empty()) {
        MergeStep step = std::move(pending.back());
        pending.pop_back();
        if (step.source.get() == nullptr) continue;
        // One hold of the ring mutex per level; the handle copies inside only re-enter it.
        tmg::MutexLock lock(&DataSet::sharedMutex());
        mergeLevel(*step.target, *step.source, pending);
    }
    return true;
}

}  // namespace cgp
