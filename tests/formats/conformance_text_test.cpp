// Dataset text checked against the documented format: what the reader makes of each form,
// what the writer prints in both layouts, files and their error lines.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "formats/dataset.h"
#include "formats/internal/dataset_pool.h"
#include "formats/dataset_reader.h"
#include "formats/dataset_writer.h"
#include "formats/internal/parse_context.h"
#include "formats/parser.h"
#include "tests/formats/conformance_util.h"

using namespace std::string_literals;
using cgp::DataSet;
using cgp::DataSetKind;
using conformance::A;
using conformance::B;
using testsupport::CaptureStdout;
using conformance::D;
using conformance::E;
using conformance::S;
using conformance::show;

namespace {

struct ReadCase {
    std::string text;
    bool parses;
    DataSet expected;  // for a text that does not parse: Empty
};

std::string printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 32 && c < 127 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

void checkReads(const std::vector<ReadCase>& cases) {
    for (const ReadCase& c : cases) {
        EXPECT_EQ(c.parses, cgp::cgparserParseString(c.text, cgp::DataSetMode)) << printable(c.text);
        DataSet got = cgp::parseDataSetText(c.text);
        ASSERT_FALSE(got.isNull()) << printable(c.text);
        EXPECT_TRUE(got->equals(c.expected)) << printable(c.text) << " gave " << show(got);
        if (!c.parses) {
            EXPECT_TRUE(got->isEmpty()) << printable(c.text);
        }
    }
}

const DataSet kFail;  // the expected value of a text that fails: Empty

}  // namespace

TEST(ConformanceTestReader, WordsAndSpecialWords) {
    checkReads({
        {"", true, E()},
        {" \t\r\n ", true, E()},
        {"abc", true, S("abc")},
        {"  abc\n", true, S("abc")},
        {"a-b.c@d_e9", true, S("a-b.c@d_e9")},
        {"-5", true, S("-5")},
        {"\xC3\xA9t\xC3\xA9", true, S("\xC3\xA9t\xC3\xA9")},
        {"\xE4\xB8\xAD", true, S("\xE4\xB8\xAD")},
        {"\xF0\x9F\x98\x80", false, kFail},
        {"\xC3", false, kFail},
        {"a+b", false, kFail},
        {"a b", false, kFail},
        {"#NULL#", true, S("#NULL#")},
        {"#nUlL#", true, S("#nUlL#")},
        {"#T01-01-2000_12:00:00", true, S("#T01-01-2000_12:00:00")},
        {"#(abc)", true, S("#(abc)")},
        {"#((a)", true, S("#((a)")},
        {"#(a,b)", true, S("#(a,b)")},
        {"a\"b\"", false, kFail},
        {"#(a b)", true, S("#(a b)")},
        {"#()", false, kFail},
        {"#(a", false, kFail},
        {"#123", true, S("123")},
        {"#-5", true, S("-5")},
        {"#", false, kFail},
        {"#-", false, kFail},
        {"#abc", false, kFail},
        {"#12a", false, kFail},
        {"#I[1.2.3.4]", true, S("#I[1.2.3.4]")},
        {"#I[1.2.3.4]:25", true, S("#I[1.2.3.4]:25")},
        {"#I[d.d]:d", true, S("#I[d.d]:d")},
        {"#I[::1]", true, S("#I[::1]")},
        {"#I[a]", false, kFail},
        {"#I[10.0.0.1]:x", false, kFail},
        {"(#I[127.0.0.1]:8010,x)", true, A({S("#I[127.0.0.1]:8010"), S("x")})},
    });
}

TEST(ConformanceTestReader, DateWordEnds) {
    checkReads({
        {"(#T01-01-2000_12:00:00,b)", true, A({S("#T01-01-2000_12:00:00"), S("b")})},
        {"(#T2000)", true, A({S("#T2000")})},
        {"{d=#T2000;}", true, D({{"d", S("#T2000")}})},
        {"{d=#T2000}", true, D({{"d", S("#T2000")}})},
        {"(#T2000 , b)", true, A({S("#T2000"), S("b")})},
        {"(#T2000\t,b)", true, A({S("#T2000"), S("b")})},
        {"#T2000\r\n", true, S("#T2000")},
        {"{d=#T2000 e=f}", true, D({{"d", S("#T2000")}, {"e", S("f")}})},
        {"{d=#T1=2;}", true, D({{"d", S("#T1=2")}})},
        {"{#T1 = x;}", true, D({{"#T1", S("x")}})},
        {"(#T)", true, A({S("#T")})},
        {"(#T1\"x\")", false, kFail},
    });
}

TEST(ConformanceTestReader, QuotedStrings) {
    checkReads({
        {"\"\"", true, S("")},
        {"\"a b\"", true, S("a b")},
        {"\"ab\" \"cd\"", true, S("abcd")},
        {"\"ab\"\"cd\"", true, S("abcd")},
        {"\"a\\tb\"", true, S("a\tb")},
        {"\"x\" \"a\\tb\"", true, S("xa\tb")},
        {"\"x\" \"y\" \"\\e\"", true, S("xy\n")},
        {"\"a\\eb\"", true, S("a\nb")},
        {"\"a\\\"b\"", true, S("a\"b")},
        {"\"a\\\\b\"", true, S("a\\b")},
        {"\"a\\0b\"", true, S("a\0b"s)},
        {"\"a\\nb\"", true, S("a\\nb")},
        {"\"a\\rb\"", true, S("a\\rb")},
        {"\"a\\Eb\"", true, S("a\\Eb")},
        {"\"a\\123b\"", true, S("a\\123b")},
        {"\"a\\dddb\"", true, S("a\\dddb")},
        {"\"a\\DDDb\"", true, S("a\\DDDb")},
        {"\"a\\12b\"", false, kFail},
        {"\"a\\xb\"", false, kFail},
        {"\"a\nb\"", true, S("a\nb")},
        {"\"\xC3\xA9 @;=,(){}[]\"", true, S("\xC3\xA9 @;=,(){}[]")},
        {"\"abc", false, kFail},
        {"\"a\0b\""s, true, S("a\0b"s)},
        {"(a, b)\0junk"s, false, kFail},
        {"\"a\\\"", false, kFail},
    });
}

TEST(ConformanceTestReader, ArraysAndTopLevelLists) {
    checkReads({
        {"()", true, A({})},
        {"( )", true, A({})},
        {"(a)", true, A({S("a")})},
        {"((a))", true, A({A({S("a")})})},
        {"(a;,b)", true, A({S("a"), S("b")})},
        {"(a;)", true, A({S("a")})},
        {"(a, \"b c\", (d), {e=f;}, [AA==])", true, A({S("a"), S("b c"), A({S("d")}), D({{"e", S("f")}}), B("\0"s)})},
        {"(a,)", false, kFail},
        {"(,a)", false, kFail},
        {"(a b)", false, kFail},
        {"(a", false, kFail},
        {"a)", false, kFail},
        {"(a;;)", false, kFail},
        {"a;", true, S("a")},
        {"a;;", false, kFail},
        {"a, b", true, A({S("a"), S("b")})},
        {"a,b,(c)", true, A({S("a"), S("b"), A({S("c")})})},
        {"(a),(b)", true, A({A({S("a")}), A({S("b")})})},
        {",a", false, kFail},
        {"; a", false, kFail},
        {"a=b", false, kFail},
        {"/* x */ a", false, kFail},
    });
}

TEST(ConformanceTestReader, Dictionaries) {
    DataSet ab = D({{"a", S("b")}, {"x", S("y")}});
    checkReads({
        {"{}", true, D({})},
        {"{a=b;x=y;}", true, ab},
        {"{a=b x=y}", true, ab},
        {"{ a = b; x = y }", true, ab},
        {"{\n  a = b;\n  x = y;\n}", true, ab},
        {"{a=b,x=y}", false, kFail},
        {"{a=}", false, kFail},
        {"{a=b;;}", false, kFail},
        {"{a}", false, kFail},
        {"{=b}", false, kFail},
        {"{a=b}c", false, kFail},
        {"{a=b", false, kFail},
        {"{a=1;a=2;}", true, D({{"a", S("2")}})},
        {"{\"a b\"=\"c\" \"d\";}", true, D({{"a b", S("cd")}})},
        {"{\"a\" \"b\"=1;}", true, D({{"ab", S("1")}})},
        {"{\"\"=1;}", true, D({{"", S("1")}})},
        {"{#12=x;}", true, D({{"12", S("x")}})},
        {"{k=(1,{x=y;});d=[AAEC];}", true, D({{"k", A({S("1"), D({{"x", S("y")}})})}, {"d", B("\0\1\2"s)}})},
        {"{(a)=b;}", false, kFail},
    });
}

TEST(ConformanceTestReader, DataBlocks) {
    checkReads({
        {"[SGVsbG8=]", true, B("Hello")},
        {"[SGVsbG8]", true, B("Hel")},
        {"[SGVsbG]", true, B("Hel")},
        {"[]", true, B("")},
        {"[SGVs\nbG8=]", true, B("Hello")},
        {"[SGVs\xC3\xA9" "bG8=]", true, B("Hello")},
        {"[YQ==]", true, B("a")},
        {"[YWI=]", true, B("ab")},
        {"[AAEC/w==]", true, B("\0\1\2\xFF"s)},
        {"[+/+/]", true, B("\xFB\xFF\xBF")},
        {"[====]", true, B("")},
        {"[SGVs bG8=]", false, kFail},
        {"[SGVs", false, kFail},
        {"[SG.V]", false, kFail},
    });
}

TEST(ConformanceTestReader, ByteOrderMark) {
    checkReads({
        {"\xEF\xBB\xBF" "abc", true, S("abc")},
        {"\xEF\xBB\xBF", true, E()},
        {" \xEF\xBB\xBF" "abc", false, kFail},
        {"(a,\xEF\xBB\xBF)", false, kFail},
        {"\xEF\xBB\xBF\xEF\xBB\xBF" "a", false, kFail},
    });
}

TEST(ConformanceTestReader, PoolActions) {
    tmg::MutexLock lock(&cgp::dataSetPoolMutex());
    cgp::clearDataSetPool();
    std::size_t key = cgp::newStringValue("k\\\"y");
    EXPECT_TRUE(cgp::dataSetPoolValue(key)->equals(S("k\"y")));
    std::size_t text = cgp::newStringValue("a\\tb");
    EXPECT_EQ(text, cgp::appendQuotedText(text, "\\e!"));
    EXPECT_TRUE(cgp::dataSetPoolValue(text)->equals(S("a\tb\n!")));
    std::size_t array = cgp::newArrayWithItem(text);
    EXPECT_EQ(array, cgp::appendArrayItem(array, key));
    EXPECT_TRUE(cgp::dataSetPoolValue(array)->equals(A({S("a\tb\n!"), S("k\"y")})));
    EXPECT_EQ(cgp::dataSetPoolValue(text).get(), cgp::dataSetPoolValue(array)->array[0].get());
    std::size_t dict = cgp::newDictionaryWithItem(key, text);
    std::size_t other = cgp::newStringValue("2");
    EXPECT_EQ(dict, cgp::insertDictionaryItem(dict, key, other));
    EXPECT_TRUE(cgp::dataSetPoolValue(dict)->equals(D({{"k\"y", S("2")}})));
    EXPECT_TRUE(cgp::dataSetPoolValue(cgp::newArray())->equals(A({})));
    EXPECT_TRUE(cgp::dataSetPoolValue(cgp::newDictionary())->equals(D({})));
    EXPECT_TRUE(cgp::dataSetPoolValue(cgp::decodeDataBlock("SGVs\nbG8="))->equals(B("Hello")));
    DataSet kept = cgp::dataSetPoolValue(array);
    cgp::clearDataSetPool();
    EXPECT_TRUE(cgp::dataSetPoolValue(0).isNull());
    EXPECT_TRUE(kept->equals(A({S("a\tb\n!"), S("k\"y")})));

    // A parse leaves the pool empty.
    EXPECT_TRUE(cgp::parseDataSetText("(a, b)")->equals(A({S("a"), S("b")})));
    EXPECT_TRUE(cgp::dataSetPoolValue(0).isNull());
}

TEST(ConformanceTestReader, ResultLink) {
    DataSet link = S("fallback");
    EXPECT_EQ(link.get(), cgp::parseDataSet("{a=b;}", link)->link().get());
    EXPECT_EQ(link.get(), cgp::parseDataSet("(a", link)->link().get());
    EXPECT_EQ(link.get(), cgp::parseDataSet("", link)->link().get());

    DataSet own = cgp::parseDataSetText("abc");
    ASSERT_FALSE(own->link().isNull());
    EXPECT_TRUE(own->link()->isEmpty());

    std::string path = processTempFolder().write("conformance-link.data", "(x)");
    EXPECT_EQ(link.get(), cgp::loadDataSet(path, link)->link().get());
    EXPECT_TRUE(cgp::loadDataSetFile(path)->equals(A({S("x")})));
}

TEST(ConformanceTestReader, ParseIsQuiet) {
    testsupport::CaptureStdout capture;
    cgp::parseDataSetText("(a b");
    cgp::cgparserParseString("(a b", cgp::DataSetMode);
    cgp::cgparserParseString("%%a b%%", cgp::PageMode);
    cgp::cgparserParseString("= b", cgp::RouterMode);
    EXPECT_EQ("", capture.text());
}

TEST(ConformanceTestReader, LoadingFiles) {
    const TempFolder& tmp = processTempFolder();
    std::string good = tmp.write("conformance-good.data", "\xEF\xBB\xBF{\r\n  a = (1, 2);\r\n  b = [SGVsbG8=];\r\n}\r\n");
    std::string folder = tmp / "conformance-folder.data";
    mkdir(folder.c_str(), 0700);

    testsupport::CaptureStdout capture;
    EXPECT_TRUE(cgp::loadDataSetFile(good)->equals(D({{"a", A({S("1"), S("2")})}, {"b", B("Hello")}})));
    EXPECT_TRUE(cgp::loadDataSetFile(tmp / "conformance-missing.data")->isEmpty());
    EXPECT_TRUE(cgp::loadDataSetFile(folder)->isEmpty());
    EXPECT_FALSE(cgp::cgparserParseFile(folder, cgp::DataSetMode));
    EXPECT_FALSE(cgp::cgparserParseFile(tmp / "conformance-missing.data", cgp::DataSetMode));
    EXPECT_EQ("", capture.text());
}

TEST(ConformanceTestReader, TraceSwitch) {
    const TempFolder& tmp = processTempFolder();
    std::string missing = tmp / "conformance-trace-missing.data";
    std::string present = tmp.write("conformance-trace.data", "x");
    std::string folder = tmp / "conformance-trace-folder";
    mkdir(folder.c_str(), 0700);
    EXPECT_FALSE(cgp::dataSetReaderTrace.load());
    testsupport::CaptureStdout capture;
    cgp::dataSetReaderTrace = true;
    cgp::loadDataSetFile(missing);
    cgp::parseDataSetText("(");
    cgp::loadDataSetFile(folder);
    cgp::loadDataSetFile(present);
    cgp::dataSetReaderTrace = false;
    cgp::loadDataSetFile(missing);
    EXPECT_EQ("* Dataset: Loading from file " + missing + "\n" + "* Dataset: File " + missing +
                  " not found or can't be read\n" + "* Dataset: string can't be parsed\n" +
                  "* Dataset: Loading from file " + folder + "\n" + "* Dataset: File " + folder +
                  " not found or can't be read\n" + "* Dataset: Loading from file " + present + "\n",
              capture.text());
}

namespace {

struct ErrorLineCase {
    const char* name;
    int mode;
    std::string text;
    std::string tail;  // the error line after the file name's closing quote
};

}  // namespace

TEST(ConformanceTestReader, ErrorLines) {
    const std::vector<ErrorLineCase> cases = {
        {"next-word", 2, "(a,\n  b c)", " file: syntax error : near \"c\" (1:5)\n"},
        {"end", 2, "(a", " file: syntax error : near \"\" (0:2)\n"},
        {"bad-byte", 2, "{a=+}", " file: syntax error : near \"+\" (0:4)\n"},
        {"crlf", 2, "(a,\r\nb c)", " file: syntax error : near \"c\" (2:3)\n"},
        {"cr", 2, "(a,\rb c)", " file: syntax error : near \"c\" (1:3)\n"},
        {"late-bom", 2, "(a, \xEF\xBB\xBF)", " file: syntax error : near \"\xEF\xBB\xBF\" (0:7)\n"},
        {"router-lf", 1, "<a\n", " file: syntax error : near \"\\n\" (1:0)\n"},
        {"router-cr", 1, "x = y\r<a\r", " file: syntax error : near \"\\r\" (2:0)\n"},
        {"router-word", 1, "a = b c", " file: syntax error : near \"c\" (0:7)\n"},
        {"page", 0, "ab\n%%a b%%", " file: syntax error : near \"b\" (1:5)\n"},
        {"page-percent-at-line-end", 0, "50%\n%%a b%%", " file: syntax error : near \"b\" (1:5)\n"},
        {"page-opener-at-line-end", 0, "a<!--\nb<\n%%a b%%", " file: syntax error : near \"b\" (2:5)\n"},
        {"page-body-crlf", 0, "%%a\r\nb%%", " file: syntax error : near \"b\" (2:1)\n"},
        {"quoted-lexeme", 2, "(a \"b\")", " file: syntax error : near \"\"b\"\" (0:6)\n"},
        {"number-lexeme", 2, "(a #1)", " file: syntax error : near \"#1\" (0:5)\n"},
        {"string-holds-no-line", 2, "(\"a\nb\" c)", " file: syntax error : near \"c\" (0:8)\n"},
        {"block-holds-no-line", 2, "([AA\nAA] c)", " file: syntax error : near \"c\" (0:10)\n"},
        {"after-bom", 2, "\xEF\xBB\xBF(a b)", " file: syntax error : near \"b\" (0:7)\n"},
    };
    for (const ErrorLineCase& c : cases) {
        std::string path = processTempFolder().write(std::string("conformance-error-") + c.name, c.text);
        auto [ok, output] = conformance::parseFileOutput(path, c.mode);
        EXPECT_FALSE(ok) << c.name;
        EXPECT_EQ("* while parsing \"" + path + "\"" + c.tail, output) << c.name;
    }

    std::string bad = processTempFolder().write("conformance-error-via-load", "{a=b c}");
    testsupport::CaptureStdout capture;
    EXPECT_TRUE(cgp::loadDataSetFile(bad)->isEmpty());
    EXPECT_EQ("* while parsing \"" + bad + "\" file: syntax error : near \"}\" (0:7)\n", capture.text());
}

TEST(ConformanceTestReader, ErrorLineEscapesLineBreaksInTheFileName) {
    std::string path = processTempFolder().write("conformance-bad\nname\r", "(a b)");
    auto [ok, output] = conformance::parseFileOutput(path, 2);
    EXPECT_FALSE(ok);
    std::string shown = processTempFolder().path() + "/conformance-bad\\nname\\r";
    EXPECT_EQ("* while parsing \"" + shown + "\" file: syntax error : near \"b\" (0:4)\n", output);
    EXPECT_EQ("* while parsing \"x\\ny\" file: syntax error : near \"a\\rb\" (3:4)\n",
              cgp::formatParseErrorLine("x\ny", "syntax error", "a\rb", 3, 4));
}

TEST(ConformanceTestReader, UnknownModes) {
    std::string path = processTempFolder().write("conformance-mode", "abc");
    for (int mode : {-1, 3, 7}) {
        EXPECT_FALSE(cgp::cgparserParseString("abc", mode)) << mode;
        auto [ok, output] = conformance::parseFileOutput(path, mode);
        EXPECT_FALSE(ok) << mode;
        EXPECT_EQ("", output) << mode;
        EXPECT_TRUE(cgp::cgparserTokenize("abc", mode).empty()) << mode;
    }
}

TEST(ConformanceTestReader, NestingLimit) {
    std::string shallow = std::string(1800, '(') + "a" + std::string(1800, ')');
    DataSet got = cgp::parseDataSetText(shallow);
    ASSERT_EQ(DataSetKind::Array, got.kind());
    EXPECT_EQ(shallow, DataSet::toString(got, false));

    std::string deep = std::string(2500, '(') + "a" + std::string(2500, ')');
    EXPECT_FALSE(cgp::cgparserParseString(deep, cgp::DataSetMode));
    EXPECT_TRUE(cgp::parseDataSetText(deep)->isEmpty());
    std::string deepDicts;
    for (int i = 0; i < 2500; ++i) deepDicts += "{a=";
    deepDicts += "x" + std::string(2500, '}');
    EXPECT_FALSE(cgp::cgparserParseString(deepDicts, cgp::DataSetMode));

    std::string path = processTempFolder().write("conformance-deep.data", deep);
    auto [ok, output] = conformance::parseFileOutput(path, 2);
    EXPECT_FALSE(ok);
    EXPECT_EQ(0u, output.find("* while parsing \"" + path + "\" file: memory exhausted : near \"")) << output;
}

// ---------------------------------------------------------------------------------------
// Writer

TEST(ConformanceTestWriter, WordQuoting) {
    struct Case {
        std::string text, word;
    };
    const std::vector<Case> cases = {
        {"abc", "abc"},
        {"a.b", "a.b"},
        {"x_1", "x_1"},
        {"ABCxyz0123456789_.", "ABCxyz0123456789_."},
        {"123", "123"},
        {"", "\"\""},
        {"a b", "\"a b\""},
        {"a-b", "\"a-b\""},
        {"-5", "\"-5\""},
        {"a@b", "\"a@b\""},
        {"\xC3\xA9", "\"\xC3\xA9\""},
        {"a\nb", "\"a\\eb\""},
        {"a\tb", "\"a\\tb\""},
        {"a\"b", "\"a\\\"b\""},
        {"a\\b", "\"a\\\\b\""},
        {"a\0b"s, "\"a\\0b\""},
        {"a\rb", "ab"},
        {"\r", "\"\""},
        {"#NULL#", "\"#NULL#\""},
        {"a;b", "\"a;b\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.word, cgp::quoteDataSetWord(c.text)) << printable(c.text);
        EXPECT_EQ(c.word, DataSet::toString(S(c.text), false)) << printable(c.text);
        EXPECT_EQ(c.word, DataSet::toString(S(c.text), true)) << printable(c.text);
    }
}

TEST(ConformanceTestWriter, Layouts) {
    struct Case {
        const char* what;
        DataSet value;
        std::string oneLine, pretty;
    };
    const std::vector<Case> cases = {
        {"Empty", E(), "", ""},
        {"null handle", DataSet(), "", ""},
        {"String", S("abc"), "abc", "abc"},
        {"Data", B("Hello"), "[SGVsbG8=]", "[SGVsbG8=]"},
        {"empty Data", B(""), "[]", "[]"},
        {"Data of any bytes", B("\0\xFF\x10"s), "[AP8Q]", "[AP8Q]"},
        {"empty Array", A({}), "()", "\n(\n)"},
        {"empty Dictionary", D({}), "{}", "\n{\n}"},
        {"Array of one", A({S("x")}), "(x)", "\n(\n  x\n)"},
        {"Array of two", A({S("a"), S("b")}), "(a,b)", "\n(\n  a,\n  b\n)"},
        {"Dictionary", D({{"x", S("1")}, {"y", A({S("a"), S("b")})}}), "{x = 1;y = (a,b);}",
         "\n{\n  x = 1;\n  y = \n  (\n    a,\n    b\n  );\n}"},
        {"nested Array", A({A({S("x")})}), "((x))", "\n(\n  \n  (\n    x\n  )\n)"},
        {"nested Dictionary", D({{"a", D({{"b", S("1")}})}}), "{a = {b = 1;};}",
         "\n{\n  a = \n  {\n    b = 1;\n  };\n}"},
        {"key order and empty key", D({{"b", S("1")}, {"a", S("1")}, {"", S("1")}}), "{a = 1;b = 1;}",
         "\n{\n  a = 1;\n  b = 1;\n}"},
        {"byte-wise key order", D({{"a", S("1")}, {"B", S("2")}, {"\xC3\xA9", S("3")}, {"_", S("4")}, {"1", S("5")}}),
         "{1 = 5;B = 2;_ = 4;a = 1;\"\xC3\xA9\" = 3;}", "\n{\n  1 = 5;\n  B = 2;\n  _ = 4;\n  a = 1;\n  \"\xC3\xA9\" = 3;\n}"},
        {"quoted keys", D({{"a b", S("")}, {"k", S("x\ny")}}), "{\"a b\" = \"\";k = \"x\\ey\";}",
         "\n{\n  \"a b\" = \"\";\n  k = \"x\\ey\";\n}"},
        {"Empty dictionary value left out", D({{"a", E()}, {"b", S("1")}, {"c", DataSet()}}), "{b = 1;}",
         "\n{\n  b = 1;\n}"},
        {"Empty array element", A({S("a"), E(), S("b")}), "(a,#NULL#,b)", "\n(\n  a,\n  #NULL#,\n  b\n)"},
        {"null array element", A({DataSet()}), "(#NULL#)", "\n(\n  #NULL#\n)"},
        {"mixed", A({S("a"), D({{"k", B("YQ")}}), A({})}), "(a,{k = [WVE=];},())",
         "\n(\n  a,\n  \n  {\n    k = [WVE=];\n  },\n  \n  (\n  )\n)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.oneLine, DataSet::toString(c.value, false)) << c.what;
        EXPECT_EQ(c.pretty, DataSet::toString(c.value, true)) << c.what;
    }
}

TEST(ConformanceTestWriter, PrintableObjects) {
    EXPECT_EQ("\n", cgp::ChangeLine(0, false).toString());
    EXPECT_EQ("\n    ", cgp::ChangeLine(2, false).toString());
    EXPECT_EQ("", cgp::ChangeLine(2, true).toString());
    EXPECT_EQ("\n  (\n    x\n  )", cgp::Level(1, A({S("x")}), false).toString());
    EXPECT_EQ("(x)", cgp::Level(1, A({S("x")}), true).toString());
}

TEST(ConformanceTestWriter, LinksAreNotWritten) {
    DataSet value = D({{"a", S("1")}});
    value->setLink(D({{"b", S("2")}}));
    EXPECT_EQ("{a = 1;}", DataSet::toString(value, false));
}

TEST(ConformanceTestWriter, RoundTrips) {
    std::string allBytes;
    for (int i = 0; i < 256; ++i) allBytes += static_cast<char>(i);
    std::string texts = "\\\n\t\"\0 \xC3\xA9 #T01 ;=,(){}[]"s;
    DataSet tree = D({
        {"plain", S("abc")},
        {"specials", S(texts)},
        {"empty", S("")},
        {"bytes", B(allBytes)},
        {"no bytes", B("")},
        {"list", A({S("a"), A({}), D({}), A({A({S("deep")})}), S("-1")})},
        {"dict", D({{"x y", S("1")}, {"\xC3\xA9", D({{"z", S("#NULL#")}})}})},
        {"\\ \"key\"\n", S("odd key")},
    });
    for (bool pretty : {false, true}) {
        std::string text = DataSet::toString(tree, pretty);
        DataSet back = cgp::parseDataSetText(text);
        EXPECT_TRUE(back->equals(tree)) << pretty << "\n" << text << "\n" << show(back);
    }
    for (const DataSet& single : {S(""), S("a\nb"), B("Hello"), A({}), D({}), A({S("only")})}) {
        for (bool pretty : {false, true}) {
            DataSet back = cgp::parseDataSetText(DataSet::toString(single, pretty));
            EXPECT_TRUE(back->equals(single)) << show(single) << " pretty " << pretty << " gave " << show(back);
        }
    }
    // An Empty array element comes back as the word #NULL#.
    EXPECT_TRUE(cgp::parseDataSetText(DataSet::toString(A({E()}), false))->equals(A({S("#NULL#")})));
}

namespace {

// A small deterministic generator of trees whose every text survives the format: any
// byte but the carriage return (which escaping drops), and no empty keys (left out).
class TreeMaker {
public:
    explicit TreeMaker(unsigned seed) : state(seed) {}
    DataSet make(int depth) {
        switch (depth > 0 ? next() % 5 : next() % 2) {
            case 0: return S(text(false));
            case 1: return B(bytes());
            case 2: {
                DataSet a(DataSetKind::Array);
                for (unsigned n = next() % 4; n > 0; --n) a->array.push_back(make(depth - 1));
                return a;
            }
            default: {
                DataSet d(DataSetKind::Dictionary);
                for (unsigned n = next() % 4; n > 0; --n) d->dictionary.set(text(true), make(depth - 1));
                return d;
            }
        }
    }

private:
    unsigned next() {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7fff;
    }
    std::string text(bool key) {
        static const std::string common = "az09_.-@ #\"\\\t\n;=,(){}[]";
        std::string out;
        for (unsigned n = next() % 6 + (key ? 1 : 0); n > 0; --n) {
            char c = next() % 3 ? common[next() % common.size()] : static_cast<char>(next() % 256);
            out += c == '\r' ? 'r' : c;
        }
        return out;
    }
    std::string bytes() {
        std::string out;
        for (unsigned n = next() % 7; n > 0; --n) out += static_cast<char>(next() % 256);
        return out;
    }
    unsigned state;
};

}  // namespace

TEST(ConformanceTestWriter, ManyTreesRoundTrip) {
    TreeMaker maker(7);
    for (int i = 0; i < 400; ++i) {
        DataSet tree = maker.make(4);
        for (bool pretty : {false, true}) {
            std::string text = DataSet::toString(tree, pretty);
            DataSet back = cgp::parseDataSetText(text);
            ASSERT_TRUE(back->equals(tree)) << i << " pretty " << pretty << ": " << printable(text);
        }
    }
}

TEST(ConformanceTestWriter, Files) {
    const TempFolder& tmp = processTempFolder();
    DataSet value = D({{"a", A({S("x"), B("Hello")})}});
    std::string path = tmp / "conformance-written.data";
    tmp.write("conformance-written.data", "old content that is longer than the new one ...........");
    EXPECT_TRUE(cgp::writeDataSetFile(value, path));
    EXPECT_EQ(DataSet::toString(value, true), readWhole(path));
    EXPECT_TRUE(cgp::loadDataSetFile(path)->equals(value));

    EXPECT_FALSE(cgp::writeDataSetFile(value, tmp / "no-such-folder/file.data"));
    std::string folder = tmp / "conformance-written-folder";
    mkdir(folder.c_str(), 0700);
    EXPECT_FALSE(cgp::writeDataSetFile(value, folder));
    // A write that fails after the open is reported too.
    EXPECT_TRUE(cgp::writeDataSetFile(DataSet(), path));
    EXPECT_EQ("", readWhole(path));
    if (access("/dev/full", W_OK) == 0) {
        EXPECT_FALSE(cgp::writeDataSetFile(value, "/dev/full"));
    }
}
