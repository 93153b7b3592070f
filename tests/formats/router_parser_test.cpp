#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/parser.h"
#include "formats/router_row_sink.h"

namespace cgp {
namespace {

// Records rows as "left=right", "<left>=right", and "left=(none)" without a right side.
class RecordingSink : public RouterRowSink {
public:
    void addRouterRow(const std::string& left, bool addressForm, const std::string* right) override {
        std::string row = addressForm ? "<" + left + ">" : left;
        rows.push_back(row + "=" + (right ? *right : "(none)"));
    }
    std::string joined() const {
        std::string out;
        for (const std::string& row : rows) out += (out.empty() ? "" : " | ") + row;
        return out;
    }
    std::vector<std::string> rows;
};

struct Case {
    const char* table;
    bool ok;
    const char* rows;
};

TEST(RouterParserTest, Rows) {
    const Case cases[] = {
        {"", true, ""},
        {"a = b", true, "a=b"},
        {"a = b\n", true, "a=b"},
        {"a = b ; remark\n", true, "a=b"},
        {"a =", true, "a=(none)"},
        {"Mail: a = b", true, "a=b"},
        {"Mail:Relay: a=b\n", true, "a=b"},
        {"<Joe@X.com> = joe@y", true, "<Joe@X.com>=joe@y"},
        {"<joe> = \"Joe Doe\"@pipe", true, "<joe>=\"Joe Doe\"@pipe"},
        {"*.dom = \\*x@y\n", true, "*.dom=\\*x@y"},
        {"\n\n; only a remark\n\r\n  \t\na=b\r\n\r\nc=d\n\n", true, "a=b | c=d"},
        {"a=b\nc=d", true, "a=b | c=d"},
        // Rows before the error stay delivered; the row on the error line does not.
        {"a=b\nc=d\ne f\ng=h", false, "a=b | c=d"},
        {"a=b\nc=d $\n", false, "a=b"},
        {"a b", false, ""},
        {"= b", false, ""},
        {"<a = b", false, ""},
        {"a = b = c", false, ""},
        {"a = \"unclosed", false, ""},
        {"x: a = b c", false, ""},
    };
    for (const Case& c : cases) {
        RecordingSink sink;
        EXPECT_EQ(cgparserParseString(c.table, RouterMode, &sink), c.ok) << c.table;
        EXPECT_EQ(sink.joined(), c.rows) << c.table;
    }
}

// A sink that starts a parse of its own for every row: the inner parse must neither see
// nor disturb the outer one's state (the parser mutex is recursive, the state per parse).
class NestingSink : public RouterRowSink {
public:
    void addRouterRow(const std::string& left, bool, const std::string* right) override {
        RecordingSink inner;
        bool ok = cgparserParseString("x" + left + " = " + (right ? *right : "none") + "\nbad line here", RouterMode, &inner);
        rows.push_back(left + (ok ? " ok " : " failed ") + inner.joined());
    }
    std::vector<std::string> rows;
};

TEST(RouterParserTest, ParsesStartedFromASinkAreIndependent) {
    NestingSink sink;
    EXPECT_TRUE(cgparserParseString("a = b\nMail: c =\n", RouterMode, &sink));
    ASSERT_EQ(sink.rows.size(), 2u);
    EXPECT_EQ(sink.rows[0], "a failed xa=b");
    EXPECT_EQ(sink.rows[1], "c failed xc=none");
}

TEST(RouterParserTest, NoSinkDropsRows) {
    EXPECT_TRUE(cgparserParseString("a=b\n", RouterMode));
    EXPECT_FALSE(cgparserParseString("a b\n", RouterMode));
}

}  // namespace
}  // namespace cgp
