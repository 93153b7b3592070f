#include <deque>
#include <unordered_set>
#include <utility>
#include <vector>

#include "formats/dataset.h"

namespace cgp {

namespace {

struct MergeStep {
    data_set* target;
    const data_set* source;
    bool held;  // its source handle is on top of the holds below this step's children
    bool done;
    bool fresh;  // the target was made by this merge
};

// What one merge keeps while it runs. A merge into a node that has no elements and no
// entries yet frees nothing: every other target is a node it makes, and those gain
// content only. Nothing of the source can go then, so its nodes are walked by pointer,
// without a handle copy (and so without the ring mutex). Otherwise each step holds its
// source, so that clearing a target cannot free what is still to copy.
struct MergeState {
    bool holding;
    std::vector<MergeStep> pending;
    std::deque<DataSet> holds;  // a deque: growing it moves no handle
    std::vector<std::pair<data_set*, const DataSet*>> children;
    std::vector<bool> fresh;

    void push(data_set* target, const DataSet& source, bool isFresh) {
        if (holding) holds.push_back(source);
        pending.push_back({target, source.get(), holding, false, isFresh});
    }
};

#if defined(__GNUC__)
inline void prefetch(const void* at) { __builtin_prefetch(at); }
#else
inline void prefetch(const void*) {}
#endif

// Merges one level of the source into the target (same kinds) and queues the children in
// reverse, so that they are taken in order, each subtree before the next child, as a
// recursive merge would.
void mergeLevel(data_set& target, const data_set& source, MergeState& state) {
    switch (source.kind) {
        case DataSetKind::Empty:
            return;
        case DataSetKind::String:
        case DataSetKind::Data:
            target.stringValue = source.stringValue;
            return;
        case DataSetKind::Array: {
            if (!state.holding) {
                // The target is new and empty, or the empty top: it is not the source.
                target.array.reserve(source.array.size());
                for (const DataSet& element : source.array) target.array.emplace_back(element.kind());
                for (std::size_t i = source.array.size(); i-- > 0;)
                    state.push(target.array[i].get(), source.array[i], true);
                return;
            }
            // Copied first: the target may be the source, or share its elements.
            DataSetArray elements = source.array;
            target.array.clear();
            target.array.reserve(elements.size());
            for (const DataSet& element : elements) target.array.emplace_back(element.kind());
            for (std::size_t i = elements.size(); i-- > 0;) state.push(target.array[i].get(), elements[i], true);
            return;
        }
        case DataSetKind::Dictionary: {
            state.children.clear();
            state.fresh.clear();
            // The entries and their nodes lie apart in memory: ask for those a few steps
            // ahead, so that their misses overlap.
            auto ahead = source.dictionary.begin();
            for (int i = 0; i < 4 && ahead != source.dictionary.end(); ++i) prefetch(&*ahead++);
            for (const auto& entry : source.dictionary) {
                if (ahead != source.dictionary.end()) {
                    prefetch(&*ahead);
                    prefetch(ahead->value.get());
                    ++ahead;
                }
                DataSetKind kind = entry.value.kind();
                DataSet* existing = target.dictionary.find(entry.key);
                state.fresh.push_back(existing == nullptr);
                if (existing == nullptr)
                    existing = &target.dictionary.emplaceNew(entry.key, kind);
                else if (existing->get() == nullptr || existing->kind() != kind) {
                    state.fresh.pop_back();
                    continue;  // another kind: left as it was
                }
                state.children.emplace_back(existing->get(), &entry.value);
            }
            // The source's entries stay put: a target dictionary only gains keys it lacked,
            // and a dictionary that is its own source lacks none.
            for (std::size_t i = state.children.size(); i-- > 0;)
                state.push(state.children[i].first, *state.children[i].second, state.fresh[i]);
            return;
        }
    }
}

}  // namespace

bool data_set::merge(const DataSet& source) {
    if (source.kind() != kind) return false;  // a null source is an Empty one
    MergeState state;
    state.holding = !array.empty() || !dictionary.empty();
    // Nodes of the tree as it was that this merge has changed, this one apart. A source
    // that holds one of them at another place would otherwise read what the merge wrote,
    // and copy it again, without end: such a node is not read again.
    std::unordered_set<const data_set*> changed;
    state.push(this, source, false);  // the caller holds the source
    // A step stays on the stack while its children are merged, and goes when it is met again.
    while (!state.pending.empty()) {
        MergeStep& step = state.pending.back();
        const data_set* from = step.source;  // held by the step or the tree, which stays
        data_set* target = step.target;
        bool seen = from != target && (from == this || (!changed.empty() && changed.count(from) != 0));
        if (step.done || from == nullptr || seen) {
            if (step.held) state.holds.pop_back();
            state.pending.pop_back();
            continue;
        }
        step.done = true;
        if (!step.fresh && target != this) changed.insert(target);
        if (state.holding) {
            // One hold of the ring mutex per level; the handle copies inside only re-enter it.
            tmg::MutexLock lock(&DataSet::sharedMutex());
            mergeLevel(*target, *from, state);
        } else {
            mergeLevel(*target, *from, state);
        }
    }
    return true;
}

}  // namespace cgp
