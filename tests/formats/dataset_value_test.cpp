#include "formats/dataset.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

using cgp::DataSet;
using cgp::DataSetKind;

DataSet longList() {
    DataSet list(DataSetKind::Array);
    list->array.emplace_back("a");
    list->array.emplace_back("b");
    return list;
}

TEST(DataSetValueTest, ConstructorsMakeNodesOfTheirKind) {
    EXPECT_EQ(DataSet(DataSetKind::Dictionary)->kind, DataSetKind::Dictionary);
    EXPECT_EQ(DataSet(std::string("a\0b", 3))->stringValue, std::string("a\0b", 3));
    EXPECT_EQ(DataSet("text")->kind, DataSetKind::String);
    EXPECT_EQ(DataSet("text")->stringValue, "text");  // a literal is a text, not a bool
    EXPECT_EQ(DataSet(static_cast<const char*>(nullptr))->stringValue, "");
    EXPECT_EQ(DataSet(true)->stringValue, "YES");
    EXPECT_EQ(DataSet(false)->stringValue, "NO");
    EXPECT_EQ(static_cast<int>(DataSetKind::Data), 4);

    DataSet plain(DataSetKind::Array);
    EXPECT_EQ(plain->link().get(), DataSet::sharedEmpty().get());
    DataSet linked(DataSetKind::String, plain);
    EXPECT_EQ(linked->link().get(), plain.get());
    EXPECT_FALSE(plain.isUnique());  // the link shares it
}

TEST(DataSetValueTest, SharedEmptyIsEmptyAndUnlinked) {
    const DataSet& empty = DataSet::sharedEmpty();
    ASSERT_FALSE(empty.isNull());
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_TRUE(empty->link().isNull());
    EXPECT_EQ(&DataSet::sharedEmpty(), &empty);
}

TEST(DataSetValueTest, KindChangesOnlyWhileEmpty) {
    DataSet value(DataSetKind::Empty);
    value->setKindIfEmpty(DataSetKind::Array);
    value->setKindIfEmpty(DataSetKind::String);
    EXPECT_EQ(value->getKind(), DataSetKind::Array);
    EXPECT_EQ(DataSet().kind(), DataSetKind::Empty);
}

TEST(DataSetValueTest, ToBool) {
    struct Case { const char* text; bool expected; };
    const Case cases[] = {
        {"", false}, {"NO", false}, {"no", false}, {"-1", false}, {"0", false}, {"0.5", false},
        {"YES", true}, {"1", true}, {"x", true}, {" 0", true}, {"yes", true},
    };
    for (const Case& c : cases) EXPECT_EQ(DataSet(c.text)->toBool(), c.expected) << '"' << c.text << '"';
    DataSet data(DataSetKind::Data);
    data->stringValue = "Y";
    EXPECT_TRUE(data->toBool());  // reads the text whatever the kind
}

TEST(DataSetValueTest, ToInt) {
    struct Case { const char* text; int expected; };
    const Case cases[] = {
        {"42abc", 42}, {"abc", 0}, {" 7", 7}, {"\t\n-12", -12}, {"+5", 5}, {"", 0}, {"-", 0},
        {"- 5", 0}, {"007", 7}, {"0x1f", 0}, {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1},
        {"99999999999999999999", 2147483647}, {"-99999999999999999999", -2147483647 - 1}, {"3.9", 3},
    };
    for (const Case& c : cases) EXPECT_EQ(DataSet(c.text)->toInt(), c.expected) << '"' << c.text << '"';
}

TEST(DataSetValueTest, ToFloatAndSetFloat) {
    EXPECT_FLOAT_EQ(DataSet("2.5x")->toFloat(), 2.5f);
    EXPECT_FLOAT_EQ(DataSet("abc")->toFloat(), 0.0f);
    EXPECT_FLOAT_EQ(DataSet(" -1e2")->toFloat(), -100.0f);
    EXPECT_EQ(DataSet("1e300")->toFloat(), std::numeric_limits<float>::infinity());  // narrowed

    struct Case { float value; const char* stored; };
    const Case cases[] = {
        {2.5f, "2.5"}, {3.0f, "3"}, {0.0f, "0"}, {100.0f, "100"}, {0.1f, "0.1"},
        {-2.25f, "-2.25"}, {1.00001f, "1"}, {1234.5678f, "1234.5677"}, {-0.00001f, "-0"}, {10.05f, "10.05"},
    };
    for (const Case& c : cases) {
        DataSet value(DataSetKind::String);
        value->setFloat(c.value);
        EXPECT_EQ(value->stringValue, c.stored) << c.value;
    }
}

TEST(DataSetValueTest, Equality) {
    DataSet data(DataSetKind::Data);
    data->stringValue = "abc";
    DataSet shortArray(DataSetKind::Array), longArray(DataSetKind::Array);
    shortArray->array.emplace_back("a");
    longArray->array.emplace_back("a");
    longArray->array.emplace_back("b");
    DataSet sameLong = longArray.clone();

    EXPECT_TRUE(*DataSet(DataSetKind::Empty) == *DataSet(DataSetKind::Empty));
    EXPECT_TRUE(*DataSet("abc") == *DataSet("abc"));
    EXPECT_TRUE(*DataSet(std::string("a\0b", 3)) != *DataSet(std::string("a\0c", 3)));
    EXPECT_TRUE(*DataSet("abc") != *data);
    EXPECT_TRUE(*shortArray != *longArray);
    EXPECT_TRUE(*sameLong == *longArray);
    sameLong->array[1] = DataSet("c");
    EXPECT_TRUE(*sameLong != *longArray);

    // A null handle stands for an Empty value, inside arrays too.
    EXPECT_TRUE(DataSet(DataSetKind::Empty)->equals(DataSet()));
    EXPECT_FALSE(DataSet("x")->equals(DataSet()));
    DataSet withNull(DataSetKind::Array), withEmpty(DataSetKind::Array);
    withNull->array.emplace_back();
    withEmpty->array.emplace_back(DataSetKind::Empty);
    EXPECT_TRUE(*withNull == *withEmpty);
}

TEST(DataSetValueTest, DictionariesCompareByKeysAndValues) {
    DataSet a(DataSetKind::Dictionary), b(DataSetKind::Dictionary);
    EXPECT_TRUE(*a == *a);
    EXPECT_TRUE(*a == *b);
    a->dictionary["x"] = DataSet("1");
    a->dictionary["list"] = longList();
    b->dictionary["list"] = longList();
    EXPECT_TRUE(*a != *b);
    b->dictionary["x"] = DataSet("1");
    EXPECT_TRUE(*a == *b);
    b->dictionary["x"] = DataSet("2");
    EXPECT_TRUE(*a != *b);
    b->dictionary.erase("x");
    b->dictionary["y"] = DataSet("1");
    EXPECT_TRUE(*a != *b);  // same size, other key
}

TEST(DataSetValueTest, CloneCopiesOneLevel) {
    DataSet source(DataSetKind::Dictionary, DataSet("fallback"));
    source->stringValue = "kept";
    DataSet child(DataSetKind::Array);
    source->dictionary["child"] = child;
    DataSet copy = source.clone();
    EXPECT_NE(copy.get(), source.get());
    EXPECT_EQ(copy->kind, DataSetKind::Dictionary);
    EXPECT_EQ(copy->stringValue, "kept");
    EXPECT_EQ(copy->link().get(), DataSet::sharedEmpty().get());
    EXPECT_EQ(copy->dictionary.find("child")->get(), child.get());  // shared, not copied
    copy->dictionary["new"] = DataSet("x");
    EXPECT_EQ(source->dictionary.size(), 1u);
    EXPECT_EQ(DataSet().clone()->kind, DataSetKind::Empty);
}

}  // namespace
