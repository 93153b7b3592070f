#include <unordered_set>
#include <utility>
#include <vector>

#include "formats/dataset.h"

namespace cgp {

namespace {

struct MergeStep {
    data_set* target;
    DataSet source;  // held, so that clearing a target cannot free what is still to copy
    bool done;
    bool fresh;  // the target was made by this merge
};

// Merges one level of the source into the target (same kinds) and queues the children in
// reverse, so that they are taken in order, each subtree before the next child, as a
// recursive merge would. `children` and `fresh` (which children it made) are scratch space.
void mergeLevel(data_set& target, const data_set& source, std::vector<MergeStep>& pending,
                std::vector<std::pair<data_set*, const DataSet*>>& children, std::vector<bool>& fresh) {
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
            for (const DataSet& element : elements) target.array.emplace_back(element.kind());
            for (std::size_t i = elements.size(); i-- > 0;)
                pending.push_back({target.array[i].get(), std::move(elements[i]), false, true});
            return;
        }
        case DataSetKind::Dictionary:
            children.clear();
            fresh.clear();
            for (const auto& entry : source.dictionary) {
                DataSetKind kind = entry.value.kind();
                DataSet* existing = target.dictionary.find(entry.key);
                fresh.push_back(existing == nullptr);
                if (existing == nullptr)
                    existing = &target.dictionary.emplaceNew(entry.key, kind);
                else if (existing->get() == nullptr || existing->kind() != kind) {
                    fresh.pop_back();
                    continue;  // another kind: left as it was
                }
                children.emplace_back(existing->get(), &entry.value);
            }
            // The source's entries stay put: a target dictionary only gains keys it lacked,
            // and a dictionary that is its own source lacks none.
            for (std::size_t i = children.size(); i-- > 0;)
                pending.push_back({children[i].first, *children[i].second, false, fresh[i]});
            return;
    }
}

}  // namespace

bool data_set::merge(const DataSet& source) {
    if (source.kind() != kind) return false;  // a null source is an Empty one
    std::vector<MergeStep> pending;
    std::vector<std::pair<data_set*, const DataSet*>> children;
    std::vector<bool> fresh;
    // Nodes of the tree as it was that this merge has changed, this one apart. A source
    // that holds one of them at another place would otherwise read what the merge wrote,
    // and copy it again, without end: such a node is not read again.
    std::unordered_set<const data_set*> changed;
    pending.push_back({this, source, false, false});
    // A step stays on the stack while its children are merged, and goes when it is met again.
    while (!pending.empty()) {
        MergeStep& step = pending.back();
        const data_set* from = step.source.get();  // held by the step, which stays below
        data_set* target = step.target;
        bool seen = from != target && (from == this || (!changed.empty() && changed.count(from) != 0));
        if (step.done || from == nullptr || seen) {
            pending.pop_back();
            continue;
        }
        step.done = true;
        if (!step.fresh && target != this) changed.insert(target);
        // One hold of the ring mutex per level; the handle copies inside only re-enter it.
        tmg::MutexLock lock(&DataSet::sharedMutex());
        mergeLevel(*target, *from, pending, children, fresh);
    }
    return true;
}

}  // namespace cgp
