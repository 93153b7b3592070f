#include "formats/dataset.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using cgp::DataSet;
using cgp::DataSetKind;

// Made during static initialisation and freed at exit, in whatever order against other
// units: the shared empty DataSet and the ring mutex must exist at both ends.
const DataSet staticTable = [] {
    DataSet table(DataSetKind::Dictionary);
    table->dictionary["list"] = DataSet(DataSetKind::Array);
    return table;
}();

TEST(DataSetReleaseTest, StaticTablesLinkToTheSharedEmpty) {
    EXPECT_EQ(staticTable->link().get(), DataSet::sharedEmpty().get());
    EXPECT_EQ(staticTable.get("list")->link().get(), DataSet::sharedEmpty().get());
}

TEST(DataSetReleaseTest, AssigningAChildToItsParentsHandle) {
    DataSet p(DataSetKind::Array);
    DataSet child(DataSetKind::Dictionary);
    child->dictionary["leaf"] = DataSet("x");
    p->array.push_back(child);
    child = DataSet();
    p = p->array[0];  // the parent, freed here, owned the source handle
    EXPECT_EQ(p->kind, DataSetKind::Dictionary);
    EXPECT_TRUE(p.isUnique());
    p = *p->dictionary.find("leaf");
    EXPECT_EQ(p->stringValue, "x");
}

// Recursive release would need one stack frame per level; under ASan that overflows the
// stack long before this depth.
TEST(DataSetReleaseTest, VeryDeepTreesAreReleasedWithoutRecursion) {
    const int depth = 100000;
    DataSet root(DataSetKind::Array);
    DataSet level = root;
    for (int i = 0; i < depth; ++i) {
        DataSet child(i % 2 == 0 ? DataSetKind::Dictionary : DataSetKind::Array);
        if (level->kind == DataSetKind::Array)
            level->array.push_back(child);
        else
            level->dictionary["next"] = child;
        level = child;
    }
    level = DataSet();
    DataSet copy = root;
    EXPECT_TRUE(*copy == *root);  // comparing does not recurse either
    DataSet deepCopy(DataSetKind::Array);
    EXPECT_TRUE(deepCopy->merge(root));  // nor does merging
    EXPECT_TRUE(*deepCopy == *root);
    root = DataSet();
    copy = DataSet();
    deepCopy = DataSet();
}

TEST(DataSetReleaseTest, ReleasingAParentKeepsChildrenOthersHold) {
    DataSet root(DataSetKind::Dictionary);
    DataSet kept(DataSetKind::Array);
    kept->array.emplace_back("inside");
    root->dictionary["kept"] = kept;
    root = DataSet();
    EXPECT_TRUE(kept.isUnique());
    EXPECT_EQ(kept->array[0]->stringValue, "inside");
}

std::atomic<int> freedNodes{0};
void countingDeleter(cgp::data_set* node) {
    freedNodes.fetch_add(1);
    delete node;
}

TEST(DataSetThreadTest, ThreadsCopyingOneTreeFreeEachNodeOnce) {
    for (int round = 0; round < 10; ++round) {
        freedNodes = 0;
        std::vector<std::thread> threads;
        {
            // The root counts its own release; ASan and TSan watch the rest of the tree.
            DataSet root(new cgp::data_set(DataSetKind::Dictionary), &countingDeleter);
            for (int i = 0; i < 20; ++i) {
                DataSet list(DataSetKind::Array);
                for (int j = 0; j < 5; ++j) list->array.emplace_back("v");
                root->dictionary["k" + std::to_string(i)] = list;
            }
            for (int t = 0; t < 6; ++t) {
                threads.emplace_back([root, t] {
                    std::vector<DataSet> held;
                    for (int i = 0; i < 300; ++i) {
                        const DataSet* list = root->dictionary.find("k" + std::to_string((i + t) % 20));
                        held.push_back(*list);
                        held.push_back(list->get()->array[static_cast<std::size_t>(i % 5)]);
                        DataSet copy = root;
                        copy = held[held.size() / 2];
                        if (held.size() > 8) held.erase(held.begin(), held.begin() + 4);
                    }
                });
            }
        }
        for (auto& t : threads) t.join();
        EXPECT_EQ(freedNodes.load(), 1);
    }
}

}  // namespace
