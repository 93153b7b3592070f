#include "formats/dataset.h"

#include <gtest/gtest.h>

#include "foundation/exception.h"

namespace {

using cgp::DataSet;
using cgp::DataSetKind;

// {name = Joe; list = (a, (x, y)); empty = <Empty>; nested = {deep = 1;};}
DataSet sampleTree() {
    DataSet root(DataSetKind::Dictionary);
    root->dictionary["name"] = DataSet("Joe");
    DataSet list(DataSetKind::Array);
    list->array.emplace_back("a");
    DataSet inner(DataSetKind::Array);
    inner->array.emplace_back("x");
    inner->array.emplace_back("y");
    list->array.push_back(inner);
    root->dictionary["list"] = list;
    root->dictionary["empty"] = DataSet(DataSetKind::Empty);
    DataSet nested(DataSetKind::Dictionary);
    nested->dictionary["deep"] = DataSet("1");
    root->dictionary["nested"] = nested;
    return root;
}

void expectInvalidType(const DataSet& root, const std::string& path) {
    try {
        root.get(path);
        ADD_FAILURE() << "no exception for " << path;
    } catch (const tmg::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Invalid Dataset Type") << path;
        EXPECT_EQ(e.getCode(), 0);
    }
}

TEST(DataSetPathTest, GetFollowsDottedPaths) {
    DataSet root = sampleTree();
    struct Case { const char* path; DataSetKind kind; const char* text; };
    const Case cases[] = {
        {"name", DataSetKind::String, "Joe"},
        {"list.0", DataSetKind::String, "a"},
        {"list.1.1", DataSetKind::String, "y"},
        {"list. 1x.0", DataSetKind::String, "x"},  // positions read like stream numbers
        {"list.abc", DataSetKind::String, "a"},    // nothing reads: position 0
        {"list.2", DataSetKind::Empty, ""},
        {"list.-1", DataSetKind::Empty, ""},
        {"list.99999999999999999999", DataSetKind::Empty, ""},
        {"nested.deep", DataSetKind::String, "1"},
        {"nested.", DataSetKind::Dictionary, ""},
        {"missing", DataSetKind::Empty, ""},
        {"missing.more.deeper", DataSetKind::Empty, ""},
        {"empty.anything", DataSetKind::Empty, ""},  // the walk stops at an Empty value
        {"Name", DataSetKind::Empty, ""},
    };
    for (const Case& c : cases) {
        DataSet found = root.get(c.path);
        ASSERT_FALSE(found.isNull()) << c.path;
        EXPECT_EQ(found->kind, c.kind) << c.path;
        EXPECT_EQ(found->stringValue, c.text) << c.path;
    }
    EXPECT_EQ(root.get("list.1").get(), root->dictionary.find("list")->get()->array[1].get());
}

TEST(DataSetPathTest, GetThroughAScalarThrows) {
    DataSet root = sampleTree();
    expectInvalidType(root, "name.x");
    expectInvalidType(root, "list.0.x");
    expectInvalidType(DataSet("text"), "a");
    expectInvalidType(DataSet(DataSetKind::Empty), "a");
    expectInvalidType(DataSet(), "a");  // a null handle is an Empty value
}

TEST(DataSetPathTest, GetMissesAtNullElements) {
    DataSet list(DataSetKind::Array);
    list->array.emplace_back();
    DataSet found = list.get("0");
    ASSERT_FALSE(found.isNull());
    EXPECT_TRUE(found->isEmpty());
}

TEST(DataSetPathTest, FindCreatesAtTheFirstComponentOnly) {
    DataSet root(DataSetKind::Dictionary);
    DataSet made = root.find("settings", DataSetKind::String, true);
    EXPECT_EQ(made->kind, DataSetKind::String);
    EXPECT_EQ(root->dictionary.find("settings")->get(), made.get());

    EXPECT_TRUE(root.find("list.0", DataSetKind::String, true)->isEmpty());
    EXPECT_EQ(root->dictionary.find("list")->kind(), DataSetKind::Array);
    root.find("numbered.3", DataSetKind::String, true);
    EXPECT_EQ(root->dictionary.find("numbered")->kind(), DataSetKind::Array);
    root.find("named.x.y", DataSetKind::String, true);
    EXPECT_EQ(root->dictionary.find("named")->kind(), DataSetKind::Dictionary);
    EXPECT_TRUE(root->dictionary.find("named")->get()->dictionary.empty());  // deeper: no creation

    DataSet existing = root.find("settings", DataSetKind::Array, true);
    EXPECT_EQ(existing.get(), made.get());
    EXPECT_TRUE(root.find("absent", DataSetKind::String, false)->isEmpty());
    EXPECT_EQ(root->dictionary.find("absent"), nullptr);
}

TEST(DataSetPathTest, FindAppendsButRefusesFarPositions) {
    DataSet list(DataSetKind::Array);
    EXPECT_EQ(list.find("0", DataSetKind::String, true)->kind, DataSetKind::String);
    EXPECT_EQ(list.find("1", DataSetKind::Dictionary, true)->kind, DataSetKind::Dictionary);
    EXPECT_EQ(list->array.size(), 2u);
    EXPECT_TRUE(list.find("1000000000000", DataSetKind::String, true)->isEmpty());
    EXPECT_TRUE(list.find("3", DataSetKind::String, true)->isEmpty());
    EXPECT_TRUE(list.find("-1", DataSetKind::String, true)->isEmpty());
    EXPECT_EQ(list->array.size(), 2u);
    EXPECT_THROW(DataSet("x").find("a", DataSetKind::String, true), tmg::Exception);
}

}  // namespace
