#include "formats/dataset.h"

#include <gtest/gtest.h>

namespace {

using cgp::DataSet;
using cgp::DataSetKind;

DataSet array(std::initializer_list<DataSet> elements) {
    DataSet value(DataSetKind::Array);
    for (const DataSet& e : elements) value->array.push_back(e);
    return value;
}

DataSet dictionary(std::initializer_list<std::pair<const char*, DataSet>> entries) {
    DataSet value(DataSetKind::Dictionary);
    for (const auto& e : entries) value->dictionary[e.first] = e.second;
    return value;
}

TEST(DataSetMergeTest, RefusesOtherKindsNullSourcesBeingEmpty) {
    DataSet text("keep");
    EXPECT_FALSE(text->merge(DataSet(DataSetKind::Array)));
    EXPECT_FALSE(text->merge(DataSet()));
    EXPECT_EQ(text->stringValue, "keep");
    DataSet data(DataSetKind::Data);
    EXPECT_FALSE(data->merge(DataSet("bytes")));
    EXPECT_TRUE(DataSet(DataSetKind::Empty)->merge(DataSet(DataSetKind::Empty)));
    DataSet empty(DataSetKind::Empty);
    EXPECT_TRUE(empty->merge(DataSet()));  // a null handle is an Empty value here too
    EXPECT_TRUE(empty->isEmpty());
}

TEST(DataSetMergeTest, ScalarsAndArraysTakeTheSource) {
    DataSet text("old");
    EXPECT_TRUE(text->merge(DataSet("new")));
    EXPECT_EQ(text->stringValue, "new");

    DataSet source = array({DataSet("a"), array({DataSet("b")}), DataSet()});
    DataSet target = array({DataSet("gone"), DataSet("gone too"), DataSet("and this")});
    EXPECT_TRUE(target->merge(source));
    EXPECT_TRUE(*target == *source);
    // A deep copy: no node is shared with the source.
    EXPECT_NE(target->array[0].get(), source->array[0].get());
    EXPECT_NE(target->array[1]->array[0].get(), source->array[1]->array[0].get());
    EXPECT_FALSE(target->array[2].isNull());  // a null element becomes an Empty node
}

TEST(DataSetMergeTest, DictionariesMergeKeyByKey) {
    DataSet target = dictionary({{"same", DataSet("old")}, {"kind", DataSet("text")}, {"only", DataSet("mine")},
                                 {"sub", dictionary({{"a", DataSet("1")}})}});
    DataSet source = dictionary({{"same", DataSet("new")}, {"kind", array({})}, {"added", array({DataSet("x")})},
                                 {"sub", dictionary({{"b", DataSet("2")}})}});
    EXPECT_TRUE(target->merge(source));
    EXPECT_EQ(target.get("same")->stringValue, "new");
    EXPECT_EQ(target.get("kind")->stringValue, "text");  // kind mismatch: left as it was
    EXPECT_EQ(target.get("only")->stringValue, "mine");
    EXPECT_EQ(target.get("added.0")->stringValue, "x");
    EXPECT_NE(target.get("added").get(), source.get("added").get());
    EXPECT_EQ(target.get("sub.a")->stringValue, "1");
    EXPECT_EQ(target.get("sub.b")->stringValue, "2");
}

TEST(DataSetMergeTest, MergingIntoItselfOrASharingCloneLosesNothing) {
    DataSet list = array({DataSet("a"), array({DataSet("b"), DataSet("c")})});
    DataSet expected = array({DataSet("a"), array({DataSet("b"), DataSet("c")})});
    EXPECT_TRUE(list->merge(list));
    EXPECT_TRUE(*list == *expected);

    DataSet root = dictionary({{"list", list}, {"name", DataSet("n")}});
    DataSet clone = root.clone();  // shares "list" with root
    EXPECT_TRUE(clone->merge(root));
    EXPECT_TRUE(*clone.get("list") == *expected);
    EXPECT_TRUE(*root.get("list") == *expected);

    DataSet sharedArray = array({DataSet("x"), DataSet("y")});
    DataSet cloneOfArray = sharedArray.clone();
    EXPECT_TRUE(cloneOfArray->merge(sharedArray));
    EXPECT_TRUE(*cloneOfArray == *sharedArray);
    EXPECT_EQ(sharedArray->array.size(), 2u);
}

}  // namespace

namespace {

// A source that holds nodes of the target at other places would read what the merge
// writes and copy it again without end; the merge ends, copying nothing below such a node.
TEST(DataSetMergeTest, SourcesHoldingTheTargetElsewhereStillEnd) {
    DataSet inner = dictionary({{"c", DataSet("2")}});
    DataSet outer = dictionary({{"a", inner}});
    EXPECT_TRUE(inner->merge(outer));
    EXPECT_EQ(inner.get("c")->stringValue, "2");
    ASSERT_EQ(inner.get("a").kind(), DataSetKind::Dictionary);
    EXPECT_TRUE(inner.get("a")->dictionary.empty());

    DataSet list = array({DataSet("x")});
    DataSet holder = array({list});
    EXPECT_TRUE(list->merge(holder));
    ASSERT_EQ(list->array.size(), 1u);
    EXPECT_EQ(list->array[0].kind(), DataSetKind::Array);
    EXPECT_TRUE(list->array[0]->array.empty());

    // Not through the target itself: a node of the target's tree sits deeper in the source.
    DataSet shared(DataSetKind::Dictionary);
    DataSet target = dictionary({{"a", shared}});
    DataSet source = dictionary({{"a", dictionary({{"c", shared}})}, {"b", DataSet("1")}});
    EXPECT_TRUE(target->merge(source));
    EXPECT_EQ(target.get("b")->stringValue, "1");
    ASSERT_EQ(target.get("a.c").kind(), DataSetKind::Dictionary);
    EXPECT_TRUE(target.get("a.c")->dictionary.empty());
}

}  // namespace

namespace {

// An empty target takes a deep copy: no node of the result is one of the source's, a node
// shared at two places is copied at each, and the target met inside the source stays as
// made there, empty.
TEST(DataSetMergeTest, AnEmptyTargetTakesADeepCopyEvenOfSharedAndOwnNodes) {
    DataSet shared = array({DataSet("s"), dictionary({{"k", DataSet("v")}})});
    DataSet target(DataSetKind::Dictionary);
    DataSet source = dictionary({{"one", shared}, {"two", shared}, {"self", target}, {"t", DataSet("x")}});
    EXPECT_TRUE(target->merge(source));
    EXPECT_EQ(target->dictionary.size(), 4u);
    for (const char* key : {"one", "two"}) {
        DataSet copy = target.get(key);
        EXPECT_NE(copy.get(), shared.get()) << key;
        EXPECT_TRUE(*copy == *shared) << key;
        EXPECT_NE(copy->array[1].get(), shared->array[1].get()) << key;
    }
    EXPECT_NE(target.get("one").get(), target.get("two").get());
    ASSERT_EQ(target.get("self").kind(), DataSetKind::Dictionary);
    EXPECT_TRUE(target.get("self")->dictionary.empty());
    EXPECT_EQ(target.get("t")->stringValue, "x");
    EXPECT_EQ(source->dictionary.size(), 4u);
    EXPECT_EQ(shared.get("1.k")->stringValue, "v");

    DataSet list(DataSetKind::Array);
    DataSet holder = array({DataSet("a"), list, DataSet("b")});
    EXPECT_TRUE(list->merge(holder));
    ASSERT_EQ(list->array.size(), 3u);
    EXPECT_EQ(list->array[0]->stringValue, "a");
    EXPECT_TRUE(list->array[1]->array.empty());
    EXPECT_EQ(list->array[2]->stringValue, "b");

    DataSet empty(DataSetKind::Array);
    EXPECT_TRUE(empty->merge(empty));
    EXPECT_TRUE(empty->array.empty());
}

// A deep chain copies into an empty target without recursion.
TEST(DataSetMergeTest, ADeepChainCopiesIntoAnEmptyTarget) {
    DataSet top(DataSetKind::Dictionary);
    DataSet at = top;
    for (int i = 0; i < 200000; ++i) {
        DataSet next(DataSetKind::Dictionary);
        at->dictionary.set("n", next);
        at = next;
    }
    at->dictionary.set("leaf", DataSet("end"));
    DataSet copy(DataSetKind::Dictionary);
    EXPECT_TRUE(copy->merge(top));
    const cgp::data_set* walk = copy.get();
    int depth = 0;
    while (const DataSet* next = walk->dictionary.find("n")) {
        walk = next->get();
        ++depth;
    }
    EXPECT_EQ(depth, 200000);
    ASSERT_NE(walk->dictionary.find("leaf"), nullptr);
    EXPECT_EQ((*walk->dictionary.find("leaf"))->stringValue, "end");
}

}  // namespace
