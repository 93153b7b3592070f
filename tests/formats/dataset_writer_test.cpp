#include "formats/dataset_writer.h"
#include "formats/dataset_reader.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

using cgp::DataSet;
using cgp::DataSetKind;

DataSet text(const std::string& value) { return DataSet(value); }

DataSet data(const std::string& bytes) {
    DataSet value(DataSetKind::Data);
    value->stringValue = bytes;
    return value;
}

DataSet array(std::initializer_list<DataSet> elements) {
    DataSet value(DataSetKind::Array);
    for (const DataSet& e : elements) value->array.push_back(e);
    return value;
}

DataSet dictionary(std::initializer_list<std::pair<std::string, DataSet>> entries) {
    DataSet value(DataSetKind::Dictionary);
    for (const auto& e : entries) value->dictionary[e.first] = e.second;
    return value;
}

TEST(DataSetWriterTest, QuotesWordsThatNeedIt) {
    struct Case { std::string text; std::string word; };
    const Case cases[] = {
        {"abc", "abc"}, {"a.b", "a.b"}, {"x_1", "x_1"}, {"", "\"\""}, {"a b", "\"a b\""},
        {"a-b", "\"a-b\""}, {"a@b", "\"a@b\""}, {"caf\xc3\xa9", "\"caf\xc3\xa9\""},
        {"line\nfeed", "\"line\\efeed\""}, {"tab\t", "\"tab\\t\""}, {"q\"uote", "\"q\\\"uote\""},
        {"back\\slash", "\"back\\\\slash\""}, {"a\rb", "ab"},  // escaping drops the return
        {std::string("n\0l", 3), "\"n\\0l\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cgp::quoteDataSetWord(c.text), c.word);
        EXPECT_EQ(DataSet::toString(text(c.text), false), c.word);
    }
}

TEST(DataSetWriterTest, OneLineAndMultiLineLayouts) {
    DataSet nested = dictionary({{"x", text("1")}, {"y", array({text("a"), text("b")})}});
    struct Case { const char* name; DataSet value; std::string oneLine; std::string multiLine; };
    const Case cases[] = {
        {"empty", DataSet(DataSetKind::Empty), "", ""},
        {"null", DataSet(), "", ""},
        {"string", text("abc"), "abc", "abc"},
        {"data", data("Hello"), "[SGVsbG8=]", "[SGVsbG8=]"},
        {"empty data", data(""), "[]", "[]"},
        {"empty array", array({}), "()", "\n(\n)"},
        {"empty dictionary", dictionary({}), "{}", "\n{\n}"},
        {"array", array({text("x")}), "(x)", "\n(\n  x\n)"},
        {"array of two", array({text("a"), text("b")}), "(a,b)", "\n(\n  a,\n  b\n)"},
        {"dictionary", nested, "{x = 1;y = (a,b);}", "\n{\n  x = 1;\n  y = \n  (\n    a,\n    b\n  );\n}"},
        {"sorted keys", dictionary({{"b", text("1")}, {"a", text("1")}, {"", text("1")}, {"\xe9", text("2")}, {"B", text("3")}}),
         "{B = 3;a = 1;b = 1;\"\xe9\" = 2;}", "\n{\n  B = 3;\n  a = 1;\n  b = 1;\n  \"\xe9\" = 2;\n}"},
        {"array in array", array({array({text("a")}), dictionary({})}), "((a),{})", "\n(\n  \n  (\n    a\n  ),\n  \n  {\n  }\n)"},
        {"empty values", array({DataSet(), DataSet(DataSetKind::Empty), dictionary({{"gone", DataSet(DataSetKind::Empty)}, {"k", text("v")}})}),
         "(#NULL#,#NULL#,{k = v;})", "\n(\n  #NULL#,\n  #NULL#,\n  \n  {\n    k = v;\n  }\n)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DataSet::toString(c.value, false), c.oneLine) << c.name;
        EXPECT_EQ(DataSet::toString(c.value, true), c.multiLine) << c.name;
    }
}

TEST(DataSetWriterTest, LevelAndChangeLinePrintAtTheirIndent) {
    EXPECT_EQ(cgp::ChangeLine(0, false).toString(), "\n");
    EXPECT_EQ(cgp::ChangeLine(2, false).toString(), "\n    ");
    EXPECT_EQ(cgp::ChangeLine(2, true).toString(), "");
    EXPECT_EQ(cgp::Level(1, array({text("x")}), false).toString(), "\n  (\n    x\n  )");
    // Levels at the top of the int range do not overflow (UBSan checks it).
    DataSet nested = array({dictionary({{"k", array({text("x")})}})});
    EXPECT_EQ(cgp::Level(INT_MAX, nested, true).toString(), "({k = (x);})");
    EXPECT_EQ(cgp::Level(INT_MAX - 1, nested, true).toString(), "({k = (x);})");
    EXPECT_EQ(cgp::Level(-3, array({text("x")}), false).toString(), "\n(\nx\n)");
    DataSet linked(DataSetKind::String, dictionary({{"never", text("written")}}));
    linked->stringValue = "v";
    EXPECT_EQ(cgp::Level(0, linked, true).toString(), "v");
}

TEST(DataSetWriterTest, DeepTreesPrintWithoutRecursion) {
    const int depth = 100000;
    DataSet root(DataSetKind::Array);
    DataSet level = root;
    for (int i = 0; i < depth; ++i) {
        DataSet child(DataSetKind::Array);
        level->array.push_back(child);
        level = child;
    }
    std::string written = DataSet::toString(root, false);
    EXPECT_EQ(written, std::string(depth + 1, '(') + std::string(depth + 1, ')'));
}

// What the writer makes the reader takes back: escaped texts, bytes, upper-half keys, and
// trees with Empty values, which would otherwise leave text the reader refuses.
TEST(DataSetWriterTest, TextReadsBackInBothLayouts) {
    DataSet tree = dictionary({{"text", text("line\nfeed \"quoted\" back\\slash\ttab")},
                               {"bytes", data(std::string("Hel\0lo\xff", 7))},
                               {"caf\xc3\xa9", array({text(""), text("a b"), dictionary({})})},
                               {"empty", DataSet(DataSetKind::Empty)}});
    DataSet expected = tree.clone();
    expected->dictionary.erase("empty");
    DataSet holes = array({text("a"), DataSet(), dictionary({{"gone", DataSet()}})});
    for (bool pretty : {false, true}) {
        std::string written = DataSet::toString(tree, pretty);
        DataSet again = cgp::parseDataSetText(written);
        EXPECT_TRUE(again->equals(expected)) << written;
        DataSet holesAgain = cgp::parseDataSetText(DataSet::toString(holes, pretty));
        ASSERT_EQ(holesAgain.kind(), DataSetKind::Array) << DataSet::toString(holes, pretty);
        ASSERT_EQ(holesAgain->array.size(), 3u);
        EXPECT_EQ(holesAgain->array[1]->stringValue, "#NULL#");
        EXPECT_TRUE(holesAgain->array[2]->dictionary.empty());
    }
}

class DataSetFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder.empty()); }
    testsupport::TempFolder temp;
    const std::string folder = temp.path();
};

TEST_F(DataSetFileTest, WritesTheMultiLineForm) {
    std::string path = folder + "/out.data";
    {
        std::ofstream old(path);
        old << "old content that is longer than the new";
    }
    ASSERT_TRUE(cgp::writeDataSetFile(dictionary({{"a", text("b")}}), path));
    std::ifstream in(path);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "\n{\n  a = b;\n}");
}

TEST_F(DataSetFileTest, ReportsOpenAndWriteFailures) {
    EXPECT_FALSE(cgp::writeDataSetFile(text("x"), folder + "/missing/out.data"));
    EXPECT_FALSE(cgp::writeDataSetFile(text("x"), folder));
    // A full disk: the open works, the writes do not.
    if (access("/dev/full", W_OK) == 0) {
        DataSet big(DataSetKind::Array);
        for (int i = 0; i < 10000; ++i) big->array.emplace_back("element");
        EXPECT_FALSE(cgp::writeDataSetFile(big, "/dev/full"));
        EXPECT_FALSE(cgp::writeDataSetFile(text("x"), "/dev/full"));
    }
}

}  // namespace
