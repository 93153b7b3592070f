#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "formats/internal/dataset_pool.h"
#include "formats/dataset_reader.h"
#include "formats/dataset_writer.h"
#include "formats/parser.h"
#include "tests/support/capture_stdout.h"
#include "tests/support/temp_folder.h"

using testsupport::processTempFolder;
using testsupport::CaptureStdout;

namespace cgp {
namespace {

// The one-line written form of what the text reads as; "fail" when it does not parse
// (the reader gives Empty for both an empty text and a failure: an empty text is "").
std::string readAs(const std::string& text) {
    DataSet value = parseDataSetText(text);
    if (value.kind() == DataSetKind::Empty) {
        bool blank = text.find_first_not_of(" \t\r\n") == std::string::npos ||
                     text == "\xEF\xBB\xBF";
        return blank ? "" : "fail";
    }
    return DataSet::toString(value, false);
}

struct Case {
    const char* text;
    const char* written;
};

TEST(DataSetReaderTest, TextsAgainstTheirWrittenForm) {
    const Case cases[] = {
        {"", ""},
        {"  \t\r\n ", ""},
        {"abc", "abc"},
        {"(abc)", "(abc)"},
        {"((a))", "((a))"},
        {"()", "()"},
        {"{}", "{}"},
        {"(a;,b)", "(a,b)"},
        {"(a,b", "fail"},
        {"{a=b;x=y;}", "{a = b;x = y;}"},
        {"{a=b x=y}", "{a = b;x = y;}"},
        {" { a = b; x = y } ", "{a = b;x = y;}"},
        {"{a=b,x=y}", "fail"},
        {"{a=}", "fail"},
        {"{a=b;;}", "fail"},
        {"{a=1;a=2;}", "{a = 2;}"},
        // A key of joined quoted pieces is the same key as its one-piece form.
        {"{\"a\\tb\" \"c\" = 1; \"a\\tbc\" = 2;}", "{\"a\\tbc\" = 2;}"},
        {"{a = {b = (1, {c = 2;});}; a = x;}", "{a = x;}"},
        {"{a = {b = (1, {c = 2;});}; d = ", "fail"},
        {"({a = (1, 2)}, {b = c", "fail"},
        {"{\"k y\" = (1, {n = #NULL#;}); z = [SGVsbG8=];}", "{\"k y\" = (1,{n = \"#NULL#\";});z = [SGVsbG8=];}"},
        {"\"ab\" \"cd\"", "abcd"},
        {"\"a\\tb\"", "\"a\\tb\""},
        // Every piece of a joined string is unescaped, not only the first.
        {"\"a\\tb\" \"c\\td\"", "\"a\\tbc\\td\""},
        {"\"line\\efeed\"", "\"line\\efeed\""},
        {"\"a\\xb\"", "fail"},
        {"#NULL#", "\"#NULL#\""},
        {"#nUlL#", "\"#nUlL#\""},
        {"#T01-01-2000_12:00:00", "\"#T01-01-2000_12:00:00\""},
        {"#(abc)", "\"#(abc)\""},
        {"#123", "123"},
        {"#-5", "\"-5\""},
        // Dates inside arrays and before "}" end at the bracket.
        {"(#T01-01-2000,#T02-02-2000)", "(\"#T01-01-2000\",\"#T02-02-2000\")"},
        {"{d=#T01-01-2000_00:00:00}", "{d = \"#T01-01-2000_00:00:00\";}"},
        {"(#I[10.0.0.1]:25, #I[::1])", "(\"#I[10.0.0.1]:25\",\"#I[::1]\")"},
        {"[SGVsbG8=]", "[SGVsbG8=]"},
        {"[SGVs\nbG8=]", "[SGVsbG8=]"},
        {"[SGVsbG8]", "[SGVs]"},
        {"[]", "[]"},
        {"[SGVs bG8=]", "fail"},
        {"\xEF\xBB\xBF" "abc", "abc"},
        {"a\xEF\xBB\xBF", "fail"},
        {"a b", "fail"},
        {"a, b", "(a,b)"},
        {"a;", "a"},
        {"caf\xC3\xA9", "\"caf\xC3\xA9\""},
        {"{a = (b, c); b = {c = d;};}", "{a = (b,c);b = {c = d;};}"},
        {"{=b}", "fail"},
        {")", "fail"},
    };
    for (const Case& c : cases) EXPECT_EQ(readAs(c.text), c.written) << c.text;
}

TEST(DataSetReaderTest, DataBlocksDecode) {
    DataSet hello = parseDataSetText("[SGVsbG8=]");
    ASSERT_EQ(hello.kind(), DataSetKind::Data);
    EXPECT_EQ(hello->stringValue, "Hello");
    EXPECT_EQ(parseDataSetText("[SGVsbG8]")->stringValue, "Hel");
    DataSet empty = parseDataSetText("[]");
    EXPECT_EQ(empty.kind(), DataSetKind::Data);
    EXPECT_EQ(empty->stringValue, "");
}

TEST(DataSetReaderTest, AnEmptyDataNodeReadsBack) {
    DataSet tree(DataSetKind::Dictionary);
    tree->dictionary.set("blob", DataSet(DataSetKind::Data));
    for (bool pretty : {false, true}) {
        DataSet again = parseDataSetText(DataSet::toString(tree, pretty));
        EXPECT_TRUE(again->equals(tree)) << DataSet::toString(tree, pretty);
    }
}

TEST(DataSetReaderTest, ResultCarriesTheLink) {
    DataSet link(DataSetKind::Dictionary);
    DataSet value = parseDataSet("{a=b}", link);
    EXPECT_EQ(value->linkSet.get(), link.get());
    DataSet failed = parseDataSet("{a=", link);
    EXPECT_EQ(failed.kind(), DataSetKind::Empty);
    EXPECT_EQ(failed->linkSet.get(), link.get());
}

TEST(DataSetReaderTest, ParseStringLeavesTheValueInThePool) {
    EXPECT_TRUE(cgparserParseString("{a=b}", DataSetMode));
    EXPECT_FALSE(cgparserParseString("{a=b", DataSetMode));
    EXPECT_TRUE(cgparserParseString("", DataSetMode));
}

// A moved value leaves its position empty; one the pool has shared moves with its ring.
TEST(DataSetReaderTest, PoolMovesLeaveTheirPositionsEmpty) {
    tmg::MutexLock lock(&dataSetPoolMutex());
    clearDataSetPool();
    std::size_t list = newArray();
    std::size_t plain = newStringValue("a");
    std::size_t seen = newStringValue("b");
    DataSet outside = dataSetPoolValue(seen);
    EXPECT_EQ(moveArrayItem(list, plain), list);
    EXPECT_EQ(moveArrayItem(list, seen), list);
    EXPECT_TRUE(dataSetPoolValue(plain).isNull());
    EXPECT_TRUE(dataSetPoolValue(seen).isNull());
    std::size_t dict = newDictionary();
    std::string key;
    appendKeyText(key, "k\\");
    appendKeyText(key, "y");
    EXPECT_EQ(moveDictionaryItem(dict, key, list), dict);
    EXPECT_EQ(moveDictionaryItem(dict, "z", newStringValue("1")), dict);
    EXPECT_EQ(moveDictionaryItem(dict, "z", newStringValue("2")), dict);
    DataSet result = takeDataSetPoolValue(dict);
    EXPECT_TRUE(takeDataSetPoolValue(dict).isNull());
    clearDataSetPool();
    EXPECT_EQ(DataSet::toString(result, false), "{\"k\\\\y\" = (a,b);z = 2;}");
    EXPECT_EQ(result.get("k\\y.1").get(), outside.get());
    EXPECT_FALSE(outside.isUnique());
}

std::string writeFile(const std::string& name, const std::string& content) {
    return processTempFolder().write(name, content);
}

TEST(DataSetReaderTest, LoadsFilesAndReportsTheirErrors) {
    std::string good = writeFile("dataset_reader_good.settings", "\xEF\xBB\xBF{\r\n  a = b;\r\n  c = (1, 2);\r\n}\r\n");
    CaptureStdout capture;
    EXPECT_EQ(DataSet::toString(loadDataSetFile(good), false), "{a = b;c = (1,2);}");
    EXPECT_EQ(capture.text(), "");

    std::string bad = writeFile("dataset_reader_bad.settings", "{\n  a = b;\n  c = \x01;\n}\n");
    EXPECT_EQ(loadDataSetFile(bad).kind(), DataSetKind::Empty);
    EXPECT_EQ(capture.text(), "* while parsing \"" + bad + "\" file: syntax error : near \"\x01\" (2:7)\n");

    std::string crlf = writeFile("dataset_reader_crlf.settings", "{\r\na = b\r\nc = ;\r\n}");
    EXPECT_EQ(loadDataSetFile(crlf).kind(), DataSetKind::Empty);
    std::string atEnd = writeFile("dataset_reader_end.settings", "{a = (b, c");
    EXPECT_EQ(loadDataSetFile(atEnd).kind(), DataSetKind::Empty);
    std::string block = writeFile("dataset_reader_block.settings", "a [SGVs\nbG8=]");
    EXPECT_EQ(loadDataSetFile(block).kind(), DataSetKind::Empty);
    std::string deep = writeFile("dataset_reader_deep.settings", std::string(30000, '(') + std::string(30000, ')'));
    EXPECT_EQ(loadDataSetFile(deep).kind(), DataSetKind::Empty);
    EXPECT_EQ(capture.text(), "* while parsing \"" + bad + "\" file: syntax error : near \"\x01\" (2:7)\n" +
                                  "* while parsing \"" + crlf + "\" file: syntax error : near \";\" (4:5)\n" +
                                  "* while parsing \"" + atEnd + "\" file: syntax error : near \"\" (0:10)\n" +
                                  "* while parsing \"" + block + "\" file: syntax error : near \"[SGVs\\nbG8=]\" (0:13)\n" +
                                  "* while parsing \"" + deep + "\" file: memory exhausted : near \"(\" (0:2001)\n");
    for (const std::string& path : {good, bad, crlf, atEnd, block, deep}) std::remove(path.c_str());
}

TEST(DataSetReaderTest, FoldersAndMissingFilesGiveEmptyWithoutALine) {
    std::string folder = processTempFolder() / "dataset_reader_folder";
    ::mkdir(folder.c_str(), 0700);
    CaptureStdout capture;
    EXPECT_EQ(loadDataSetFile(folder).kind(), DataSetKind::Empty);
    EXPECT_EQ(loadDataSetFile(folder + "/missing").kind(), DataSetKind::Empty);
    // The parser itself also refuses a folder instead of ending the process.
    EXPECT_FALSE(cgparserParseFile(folder, DataSetMode));
    EXPECT_EQ(capture.text(), "");
    ::rmdir(folder.c_str());
}

TEST(DataSetReaderTest, UnreadableFileIsReportedLikeAMissingOne) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    std::string path = writeFile("dataset_reader_unreadable.settings", "{a=b;}");
    ::chmod(path.c_str(), 0);
    CaptureStdout capture;
    dataSetReaderTrace = true;
    DataSet value = loadDataSetFile(path);
    dataSetReaderTrace = false;
    std::remove(path.c_str());
    EXPECT_EQ(value.kind(), DataSetKind::Empty);
    EXPECT_EQ(capture.text(), "* Dataset: Loading from file " + path + "\n* Dataset: File " + path +
                                  " not found or can't be read\n");
}

TEST(DataSetReaderTest, TraceSwitchWritesLogLines) {
    CaptureStdout capture;
    dataSetReaderTrace = true;
    parseDataSetText("{a=");
    loadDataSetFile("/nonexistent/x.settings");
    dataSetReaderTrace = false;
    EXPECT_EQ(capture.text(),
              "* Dataset: string can't be parsed\n"
              "* Dataset: Loading from file /nonexistent/x.settings\n"
              "* Dataset: File /nonexistent/x.settings not found or can't be read\n");
}

}  // namespace
}  // namespace cgp
