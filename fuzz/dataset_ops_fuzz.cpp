// Builds dataset trees from the input with a small stack machine, then checks what must
// hold for any tree: a clone and a merged deep copy equal the original and write the same
// text, merging a node into itself changes nothing, and path lookups of any text either
// answer or throw tmg::Exception. Checks and merges share one budget of nodes per input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/dataset.h"
#include "formats/dataset_writer.h"
#include "foundation/exception.h"

namespace {

using cgp::DataSet;
using cgp::DataSetKind;

void require(bool condition) {
    if (!condition) std::abort();
}

// Clones share children, so a few bytes can make a tree whose unfolded size is
// exponential, and a few more can check or merge it again and again. One budget of nodes
// per input pays for all of it: each walk spends the nodes it visits, and a tree is
// checked or merged only when all of its nodes fit in what is left. Trees too big for
// what is left are not checked.
class NodeBudget {
public:
    bool fits(const DataSet& value) {
        std::vector<const cgp::data_set*> pending{value.get()};
        while (!pending.empty()) {
            const cgp::data_set* node = pending.back();
            pending.pop_back();
            if (node == nullptr) continue;
            if (left == 0) return false;
            --left;
            for (const DataSet& e : node->array) pending.push_back(e.get());
            for (const auto& entry : node->dictionary) pending.push_back(entry.value.get());
        }
        return true;
    }

private:
    std::size_t left = 20000;
};

void checkInvariants(const DataSet& value, NodeBudget& budget) {
    if (!budget.fits(value)) return;
    std::string oneLine = DataSet::toString(value, false);
    std::string multiLine = DataSet::toString(value, true);
    DataSet clone = value.clone();
    require(value.get() == nullptr || value->equals(clone));
    require(DataSet::toString(clone, false) == oneLine);
    DataSet copy(value.kind());
    require(copy->merge(value));
    require(copy->equals(value));
    require(DataSet::toString(copy, true) == multiLine);
    require(copy->merge(copy));
    require(copy->equals(value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<DataSet> stack;
    NodeBudget budget;
    std::size_t i = 0;
    auto take = [&](std::size_t n) {
        std::string bytes(reinterpret_cast<const char*>(data + i), std::min(n, size - i));
        i += bytes.size();
        return bytes;
    };
    while (i < size && stack.size() < 64) {
        std::uint8_t op = data[i++];
        std::size_t length = op >> 4;
        switch (op & 15) {
            case 0: stack.emplace_back(take(length)); break;
            case 1: {
                DataSet bytes(DataSetKind::Data);
                bytes->stringValue = take(length);
                stack.push_back(bytes);
                break;
            }
            case 2: stack.emplace_back(DataSetKind::Array); break;
            case 3: stack.emplace_back(DataSetKind::Dictionary); break;
            case 4: stack.emplace_back(DataSetKind::Empty); break;
            case 5: stack.emplace_back(); break;
            case 6:  // the top goes into the value below it: appended, or stored under a key
                if (stack.size() >= 2) {
                    DataSet child = stack.back();
                    stack.pop_back();
                    DataSet& parent = stack.back();
                    if (parent.kind() == DataSetKind::Array)
                        parent->array.push_back(child);
                    else if (parent.kind() == DataSetKind::Dictionary)
                        parent->dictionary.set(take(length), child);
                }
                break;
            case 7:
                if (!stack.empty()) stack.push_back(stack.back().clone());
                break;
            case 8:
                if (stack.size() >= 2) {
                    DataSet source = stack.back();
                    stack.pop_back();
                    // Sources may hold nodes of the target, even the target itself: the
                    // merge must end all the same.
                    if (stack.back().get() != nullptr && budget.fits(source)) stack.back()->merge(source);
                }
                break;
            case 9:
            case 10:
                if (!stack.empty()) {
                    std::string path = take(length);
                    try {
                        DataSet found = (op & 15) == 9 ? stack.back().get(path)
                                                       : stack.back().find(path, DataSetKind::String, true);
                        require(!found.isNull());
                    } catch (const tmg::Exception& e) {
                        require(e.getMessage() == "Invalid Dataset Type");
                    }
                }
                break;
            default:
                if (!stack.empty()) checkInvariants(stack.back(), budget);
                break;
        }
    }
    for (const DataSet& value : stack) checkInvariants(value, budget);
    return 0;
}
