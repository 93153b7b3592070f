// Output encodings: every code, with the escapes that must not let markup through.
#include <gtest/gtest.h>

#include "foundation/date_time.h"
#include "tests/wssp/wssp_test_util.h"

namespace {

using wssp_test::RenderCase;
using wssp_test::RenderCaseTest;
using wssp_test::renderPage;


INSTANTIATE_TEST_SUITE_P(
    Encodings, RenderCaseTest,
    testing::Values(
        RenderCase{"%%html:t%%", "{t = \"a&lt;\";}", "a&amp;lt;"},
        RenderCase{"%%HTMLUTF8:t%%", "{t = \"<'>\";}", "&lt;&#39;&gt;"},
        RenderCase{"%%HTMLTRUNCATED(n):t%%", "{t = \"<x>\";}", "&lt;x&gt;"},
        RenderCase{"%%HTMLSUBST(a, b):t%%", "{t = \"<&>\";}", "&lt;&amp;&gt;"},
        RenderCase{"%%HTMLSUBSTMAILBOX(a):t%%", "{t = \"'\";}", "&#39;"},
        RenderCase{"%%HTMLSUBSTROUNDSIZE(a):t%%", "{t = \"\\\"\";}", "&quot;"},
        RenderCase{"%%JAVASCRIPT:t%%", "{t = \"</script>\";}", "\\x3C/script>"},
        // The encodings that leave the text as it is.
        RenderCase{"%%MAILBOXRAWNAME:t%%", "{t = \"<a>\";}", "<a>"},
        RenderCase{"%%MAILBOXNAME:t%%", "{t = \"<a>\";}", "<a>"},
        RenderCase{"%%MAILBOXLASTNAME:t%%", "{t = \"<a>\";}", "<a>"},
        RenderCase{"%%URLMAILBOXPARENT:t%%", "{t = \"<a>\";}", "<a>"},
        RenderCase{"%%SIZE:t%%", "{t = 1024;}", "1024"},
        RenderCase{"%%ROUNDSIZE:t%%", "{t = 1024;}", "1024"},
        RenderCase{"%%TIME:t%%", "{t = 60;}", "60"},
        // Dates in UTC (the local ones are tested under several zones elsewhere).
        RenderCase{"%%DATE:t%%", "{t = 0;}", "70/01/01"},
        RenderCase{"%%DATEWEEK:t%%", "{t = 86400;}", "Fri, 70/01/02"},
        RenderCase{"%%DATETIME:t%%", "{t = 0;}", "12:00:00 Thu 01-Jan-70"},
        RenderCase{"%%DATETIME(\"^y-^N-^D ^H^m\"):t%%", "{t = 1000000000;}", "2001-09-09 0146"},
        RenderCase{"%%DATETIMESHORT:t%%", "{t = 0;}", "70/01/01"},
        // A missing date value is the time 0.
        RenderCase{"%%DATE:missing%%", "", "70/01/01"},
        RenderCase{"%%DATE:t%%", "{t = junk;}", "70/01/01"},
        // Loop positions outside a loop: the text of the value.
        RenderCase{"%%INDEX:t%%", "{t = seven;}", "seven"},
        RenderCase{"%%INDEX1:t%%", "{t = seven;}", "seven"},
        RenderCase{"%%INDEX:t%%", "", ""}), wssp_test::caseName);

// One text with every byte some escape cares about, through each escaping encoding.
TEST(EncodingTest, EscapesOfOneAwkwardText) {
    cgp::DataSet data(cgp::DataSetKind::Dictionary);
    data->dictionary.set("t", cgp::DataSet("a&lt;<b>\"q\" 'x' \\ /\n\r"));
    data->dictionary.set("u", cgp::DataSet("a-Z_0.9~ /?&=\n%\xC3\xA9"));
    struct Row {
        const char* page;
        const char* expected;
    };
    for (Row row : {
             // Plain output stays raw.
             Row{"%%t%%", "a&lt;<b>\"q\" 'x' \\ /\n\r"},
             // "&" first, and inserted text is not scanned again.
             Row{"%%HTML:t%%", "a&amp;lt;&lt;b&gt;&quot;q&quot; &#39;x&#39; \\ /\n\r"},
             // Backslash first, then quotes, line ends and "<".
             Row{"%%JAVASCRIPT:t%%", "a&lt;\\x3Cb>\\\"q\\\" \\'x\\' \\\\ /\\n\\r"},
             // Unreserved bytes stay, every other byte is "%" and upper-case hex.
             Row{"%%URL:u%%", "a-Z_0.9~%20%2F%3F%26%3D%0A%25%C3%A9"},
         }) {
        EXPECT_EQ(wssp_test::renderPage(row.page, data), row.expected) << row.page;
    }
}

TEST(EncodingTest, LoopPositionsCountFromZeroAndOne) {
    EXPECT_EQ(renderPage("<!--%%FOREACH r IN rows-->%%INDEX:r%%/%%INDEX1:r%%,<!--%%ENDFOR r-->",
                         "{rows = (a, b, c);}"),
              "0/1,1/2,2/3,");
}

TEST(EncodingTest, DatePictureFromTheVariablesOrTheDefault) {
    std::unique_ptr<cgp::WSSPNode> root = cgp::parsePageText("%%DATETIME(short):t%%|%%DATETIME(long):t%%");
    ASSERT_TRUE(root);
    cgp::WSSPContext context = wssp_test::contextFor(wssp_test::dataOf("{t = 0;}"));
    context.variables->dictionary.set("DatePictures", wssp_test::dataOf("{short = \"^d.^n.\";}"));
    std::ostringstream out;
    cgp::WSSPPage::renderNode(root.get(), out, context);
    EXPECT_EQ(out.str(), "1.1.|12:00:00 Thu 01-Jan-70");
    // Without the dictionary both fall back to the default picture.
    EXPECT_EQ(renderPage("%%DATETIME(short):t%%", "{t = 0;}"), "12:00:00 Thu 01-Jan-70");
}

// The short form chooses the time of day within 20 hours of now, on either side.
TEST(EncodingTest, ShortDateMargins) {
    std::int64_t now = tmg::DateTime::now(false).toTimeT();
    struct Margin {
        std::int64_t offset;
        bool timeOfDay;
    };
    for (Margin m : {Margin{0, true}, Margin{71990, true}, Margin{-71990, true}, Margin{72010, false},
                     Margin{-72010, false}, Margin{86400 * 365, false}}) {
        std::int64_t at = now + m.offset;
        std::string data = "{t = " + std::to_string(at) + ";}";
        std::string expected = cgp::WSSPPage::formatDate(at, m.timeOfDay ? "^H:^m:^s" : "^Y/^N/^D", false);
        EXPECT_EQ(renderPage("%%DATETIMESHORT:t%%", data), expected) << m.offset;
    }
}

// Times are 64-bit: one far past 2038 and one 2^32 seconds from now are not near now.
TEST(EncodingTest, ShortDatesPast2038) {
    std::int64_t now = tmg::DateTime::now(false).toTimeT();
    std::int64_t wrapped = now + (std::int64_t(1) << 32);
    EXPECT_EQ(renderPage("%%DATETIMESHORT:t%%", "{t = " + std::to_string(wrapped) + ";}"),
              cgp::WSSPPage::formatDate(wrapped, "^Y/^N/^D", false));
    EXPECT_EQ(renderPage("%%DATE:t%%|%%DATETIME(\"^y\"):t%%", "{t = 4102444800;}"), "00/01/01|2100");
}

}  // namespace
