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
