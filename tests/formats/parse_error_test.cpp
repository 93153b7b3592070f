#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "formats/parser.h"
#include "formats/internal/parse_context.h"
#include "formats/internal/parser_fatal.h"
#include "formats/wssp_node.h"
#include "tests/support/capture_stdout.h"
#include "tests/support/temp_folder.h"

using testsupport::processTempFolder;
using testsupport::CaptureStdout;

namespace cgp {
namespace {

std::string writeFile(const std::string& name, const std::string& content) {
    return processTempFolder().write(name, content);
}

// The error line a parse of content written to a file prints, with the path replaced by
// "F"; "ok" when the parse succeeds.
std::string errorLine(const std::string& content, int mode) {
    std::string path = writeFile("parse_error_test.txt", content);
    CaptureStdout capture;
    tmg::MutexLock lock(&cgparserMutex());
    bool ok = cgparserParseFile(path, mode);
    if (ok && mode == PageMode) delete wsspRootOf(cgparserNotedNode());
    std::remove(path.c_str());
    std::string out = capture.text();
    std::size_t at = out.find(path);
    if (at != std::string::npos) out.replace(at, path.size(), "F");
    if (ok) return out.empty() ? "ok" : "ok but printed " + out;
    return out;
}

TEST(ParseErrorTest, LinesNameTokenLineAndColumn) {
    struct Case {
        const char* content;
        int mode;
        const char* line;
    } cases[] = {
        {"a = b\nc $ d\n", RouterMode, "* while parsing \"F\" file: syntax error : near \"$\" (1:3)\n"},
        // Each carriage return and each line feed counts a line.
        {"a=b\r\nc d\r\n", RouterMode, "* while parsing \"F\" file: syntax error : near \"d\" (2:3)\n"},
        {"a=b\n\xEF\xBB\xBF", RouterMode,
         "* while parsing \"F\" file: syntax error : near \"\xEF\xBB\xBF\" (1:3)\n"},
        {"<p>%%x", PageMode, "* while parsing \"F\" file: syntax error : near \"\" (0:6)\n"},
        {"<p>\n%%x y%%", PageMode, "* while parsing \"F\" file: syntax error : near \"y\" (1:5)\n"},
        {"<!--%%IF a\r\n-->\nx<!--%%ENDFOR", PageMode,
         "* while parsing \"F\" file: syntax error : near \"<!--%%ENDFOR\" (3:13)\n"},
        {"a = b\n", RouterMode, "ok"},
    };
    for (const auto& c : cases) EXPECT_EQ(errorLine(c.content, c.mode), c.line) << c.content;
}

TEST(ParseErrorTest, DeepNestingIsMemoryExhausted) {
    const int depth = 20000;
    std::string page = "%%" + std::string(depth, '(') + "a" + std::string(depth, ')') + "%%";
    std::string line = errorLine(page, PageMode);
    EXPECT_EQ(line.rfind("* while parsing \"F\" file: memory exhausted : near \"(\" (0:", 0), 0u) << line;

    std::string calls;
    for (int i = 0; i < depth; ++i) calls += "NOT(";
    EXPECT_NE(errorLine("%%" + calls + "a%%", PageMode).find("memory exhausted"), std::string::npos);

    std::string ifs;
    for (int i = 0; i < depth; ++i) ifs += "<!--%%IF a-->";
    EXPECT_NE(errorLine(ifs, PageMode).find("memory exhausted"), std::string::npos);

    // Nesting well inside the limit parses.
    std::string moderate = "%%" + std::string(1000, '(') + "a" + std::string(1000, ')') + "%%";
    EXPECT_EQ(errorLine(moderate, PageMode), "ok");
}

TEST(ParseErrorTest, UnreadableInputFailsWithoutALine) {
    std::string folder = processTempFolder() / "parse_error_test_folder";
    ::mkdir(folder.c_str(), 0700);
    CaptureStdout capture;
    EXPECT_FALSE(cgparserParseFile(folder, RouterMode));
    EXPECT_FALSE(cgparserParseFile(folder, PageMode));
    EXPECT_FALSE(cgparserParseFile(folder + "/missing", RouterMode));
    EXPECT_EQ(capture.text(), "");
    ::rmdir(folder.c_str());
}

TEST(ParseErrorTest, StringsPrintNothing) {
    CaptureStdout capture;
    EXPECT_FALSE(cgparserParseString("a b", RouterMode));
    EXPECT_FALSE(cgparserParseString("%%x", PageMode));
    EXPECT_EQ(capture.text(), "");
}

TEST(ParseErrorTest, LineFeedsAndReturnsAreEscaped) {
    EXPECT_EQ(formatParseErrorLine("a\nb\rc", "syntax error", "x\r\ny", 3, 4),
              "* while parsing \"a\\nb\\rc\" file: syntax error : near \"x\\r\\ny\" (3:4)\n");
    // Positions past the 32-bit range (a line of several gigabytes) are written whole.
    EXPECT_EQ(formatParseErrorLine("f", "syntax error", "x", 0, 5000000000u),
              "* while parsing \"f\" file: syntax error : near \"x\" (0:5000000000)\n");
    std::string path = writeFile("parse\nerror.txt", "a b");
    CaptureStdout capture;
    EXPECT_FALSE(cgparserParseFile(path, RouterMode));
    std::remove(path.c_str());
    std::string out = capture.text();
    EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
    EXPECT_NE(out.find("parse\\nerror.txt"), std::string::npos) << out;
}

}  // namespace
}  // namespace cgp

namespace cgp {
namespace {

TEST(ParseErrorDeathTest, FatalConditionsEndTheProcessWithStatusTwo) {
    EXPECT_EXIT(cgparserFatal(FatalScanBytes), ::testing::ExitedWithCode(2),
                "^out of dynamic memory in cgparser__scan_bytes\\(\\)\n$");
}

TEST(ParseErrorTest, FatalTexts) {
    const struct {
        FatalText which;
        const char* text;
    } cases[] = {
        {FatalEnsureBufferStack, "out of dynamic memory in cgparser_ensure_buffer_stack()"},
        {FatalGetNextBuffer, "out of dynamic memory in yy_get_next_buffer()"},
        {FatalCreateBuffer, "out of dynamic memory in cgparser__create_buffer()"},
        {FatalScanBuffer, "out of dynamic memory in cgparser__scan_buffer()"},
        {FatalScanBytes, "out of dynamic memory in cgparser__scan_bytes()"},
        {FatalBadBuffer, "bad buffer in cgparser__scan_bytes()"},
        {FatalStackExpand, "out of memory expanding start-condition stack"},
        {FatalStackUnderflow, "start-condition stack underflow"},
        {FatalInputFailed, "input in flex scanner failed"},
        {FatalNoActionFound, "fatal flex scanner internal error--no action found"},
        {FatalEndOfBufferMissed, "fatal flex scanner internal error--end of buffer missed"},
        {FatalInputBufferOverflow, "fatal error - scanner input buffer overflow"},
    };
    for (const auto& c : cases) EXPECT_STREQ(cgparserFatalText(c.which), c.text);
}

}  // namespace
}  // namespace cgp
