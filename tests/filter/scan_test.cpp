// The message scan, end to end: which lines meet which rules, and the answer it gives.

#include "filter_process.h"

namespace filter_test {
namespace {

const std::string scanner = "X-ExtScanner: Tolmagrid's Vorpelin";
const std::string longNotice =
    "X-Regex-Match: A very long line has been found, only the first 4096 characters have been scanned";

// Runs one request for a message under the given rules and returns the answer's quoted
// text, unescaped to lines: "" for OK, otherwise the added header lines joined by "\n".
class ScanTest : public testing::Test {
protected:
    std::string scan(const std::string& rules, const std::string& message,
                     const std::vector<std::string>& arguments = {}) {
        FilterFolder folder;
        folder.writeRules(rules);
        folder.write("m.msg", message);
        Transcript run = runFilter(folder, "1 FILE " + folder.path("m.msg") + "\n", arguments);
        EXPECT_EQ(run.err, "");
        const std::string added = startLines + "* [1] Adding Header(s) to message\n1 ADDHEADER \"";
        if (run.out == startLines + "* [1] Accepting message\n1 OK\n") return "";
        if (run.out.compare(0, added.size(), added) != 0 || run.out.size() < added.size() + 2 ||
            run.out.compare(run.out.size() - 2, 2, "\"\n") != 0)
            return "unexpected transcript: " + run.out;
        std::string text = run.out.substr(added.size(), run.out.size() - added.size() - 2);
        std::string lines;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text.compare(i, 2, "\\e") == 0) {
                lines += '\n';
                ++i;
            } else {
                lines += text[i];
            }
        }
        return lines;
    }
};

const std::string sections =
    "HEADERS\n  InHeaders /apple/\nBODY\n  InBody /apple/\nFULL\n  InFull /apple/\n";

TEST_F(ScanTest, SectionsMeetTheirLines) {
    EXPECT_EQ(scan(sections, "Subject: apple\n\npear\n"),
              "X-Regex-Match: InFull\nX-Regex-Match: InHeaders\n" + scanner);
    EXPECT_EQ(scan(sections, "Subject: pear\n\napple\n"), "X-Regex-Match: InBody\nX-Regex-Match: InFull\n" + scanner);
    EXPECT_EQ(scan(sections, "Subject: pear\n\npear\n"), scanner);
    // Without an empty line after the headers there is no body.
    EXPECT_EQ(scan(sections, "Subject: pear\nX-Fruit: apple\n"),
              "X-Regex-Match: InFull\nX-Regex-Match: InHeaders\n" + scanner);
    EXPECT_EQ(scan(sections, "Subject: pear\napple"), "X-Regex-Match: InFull\nX-Regex-Match: InHeaders\n" + scanner);
    // A folded header's continuation line is tested by itself.
    EXPECT_EQ(scan("HEADERS\n  Folded /^Subject:.*apple/\n", "Subject: pear\n apple\n\n"), scanner);
}

TEST_F(ScanTest, EnvelopeIsSkipped) {
    const std::string rules = "HEADERS\n  Envelope /^R W/\n  First /^From:/\n";
    EXPECT_EQ(scan(rules, "P I 10-12-2026 <a@b>\nR W <c@d>\n\nFrom: x\n\nbody\n"), "X-Regex-Match: First\n" + scanner);
    EXPECT_EQ(scan(rules, "From: x\nR W <c@d>\n\nbody\n"), "X-Regex-Match: Envelope\nX-Regex-Match: First\n" + scanner);
    // An envelope without its empty line leaves nothing to scan.
    EXPECT_EQ(scan(rules, "R W <c@d>\nFrom: x\n"), scanner);
}

TEST_F(ScanTest, BodyLineLimit) {
    const std::string rules = "BODY\n  L1 /^L1/\n  L2 /^L2/\n  L3 /^L3/\n  L4 /^L4/\n  Empty /^$/\n";
    const std::string message = "Subject: x\n\nL1\nL2\nL3\nL4\n";
    EXPECT_EQ(scan(rules, message), "X-Regex-Match: L1\n" + scanner);
    EXPECT_EQ(scan("CONFIG\n  MAXBODYLINES: 0\n" + rules, message), "X-Regex-Match: L1\n" + scanner);
    EXPECT_EQ(scan("CONFIG\n  MAXBODYLINES: -5\n" + rules, message), "X-Regex-Match: L1\n" + scanner);
    EXPECT_EQ(scan("CONFIG\n  MAXBODYLINES: 2\n" + rules, message),
              "X-Regex-Match: L1\nX-Regex-Match: L2\nX-Regex-Match: L3\n" + scanner);
    // A file that ends with a line feed gives one more, empty, line.
    EXPECT_EQ(scan("CONFIG\n  MAXBODYLINES: 5\n" + rules, "Subject: x\n\nL1\n"),
              "X-Regex-Match: Empty\nX-Regex-Match: L1\n" + scanner);
    EXPECT_EQ(scan("CONFIG\n  MAXBODYLINES: 5\n" + rules, "Subject: x\n\nL1"), "X-Regex-Match: L1\n" + scanner);
    EXPECT_EQ(scan("CONFIG\n  MAXBODYLINES: 5\n" + rules, "Subject: x\n\n"), "X-Regex-Match: Empty\n" + scanner);
}

TEST_F(ScanTest, BodyLinesAreCutAt4096) {
    const std::string rules = "CONFIG\n  MAXBODYLINES: 9\nBODY\n  End /Z$/\n  Next /^next/\nHEADERS\n  Long /Z$/\n";
    const std::string exact = std::string(4095, 'x') + "Z";
    const std::string over = std::string(4096, 'x') + "Z";
    EXPECT_EQ(scan(rules, "Subject: x\n\n" + exact + "\nnext\n"), "X-Regex-Match: End\nX-Regex-Match: Next\n" + scanner);
    EXPECT_EQ(scan(rules, "Subject: x\n\n" + over + "\nnext\n"), "X-Regex-Match: Next\n" + longNotice + "\n" + scanner);
    EXPECT_EQ(scan(rules, "Subject: x\n\n" + over + "\n" + over + "\n" + over), longNotice + "\n" + scanner);
    // Header lines are cut the same way.
    EXPECT_EQ(scan(rules, "Subject: " + over + "\n\n"), longNotice + "\n" + scanner);
    EXPECT_EQ(scan(rules, "Subject: " + exact.substr(9) + "\n\n"), "X-Regex-Match: Long\n" + scanner);
    // A notice alone is still added with -nosig.
    EXPECT_EQ(scan(rules, "Subject: x\n\n" + over + "\n", {"-nosig"}), longNotice);
}

TEST_F(ScanTest, NamesAreUniqueAndSortedByBytes) {
    const std::string rules =
        "HEADERS\n  Zeta /^Subject/\n  beta /^Subject/\nBODY\n  Alpha /hit/\n  Zeta /hit/\n"
        "  \xC3\xA9t\xC3\xA9 /hit/\n  _under /hit/\nFULL\n  Alpha /./\n";
    EXPECT_EQ(scan(rules, "Subject: a\n\nhit\n"),
              "X-Regex-Match: Alpha\nX-Regex-Match: Zeta\nX-Regex-Match: _under\nX-Regex-Match: beta\n"
              "X-Regex-Match: \xC3\xA9t\xC3\xA9\n" + scanner);
}

TEST_F(ScanTest, NamesAreEscapedTwice) {
    // Stored escaped for the protocol, then quoted again with the answer: the quote travels
    // as three backslashes and a quote, a backslash as four.
    EXPECT_EQ(scan("BODY\n  Say \"hi\" \\o /hit/\n", "S: x\n\nhit\n"),
              "X-Regex-Match: Say \\\\\\\"hi\\\\\\\" \\\\\\\\o\n" + scanner);
}

TEST_F(ScanTest, CarriageReturnsStayInLines) {
    const std::string rules = "HEADERS\n  CR /x\\r/\n  Second /^Second:/\nBODY\n  InBody /^Second:/\n";
    EXPECT_EQ(scan(rules, "First: x\r\n\r\nSecond: y\r\n\r\n"), "X-Regex-Match: CR\nX-Regex-Match: Second\n" + scanner);
    EXPECT_EQ(scan(rules, "First: x\n\nSecond: y\n"), "X-Regex-Match: InBody\n" + scanner);
}

TEST_F(ScanTest, NoSignatureAndNoMatchIsOk) {
    EXPECT_EQ(scan(sections, "Subject: pear\n\npear\n", {"-nosig"}), "");
    EXPECT_EQ(scan(sections, "Subject: apple\n\npear\n", {"-nosig"}), "X-Regex-Match: InFull\nX-Regex-Match: InHeaders");
}

TEST_F(ScanTest, BytesOfEveryValuePass) {
    std::string message = "Subject: ";
    for (int c = 0; c < 256; ++c)
        if (c != '\n') message += static_cast<char>(c);
    message += "\n\n";
    message += std::string("\0\0body\0", 7) + "\n";
    EXPECT_EQ(scan("HEADERS\n  High /\\xFF/\nBODY\n  Nul /body\\x00/\n", message),
              "X-Regex-Match: High\nX-Regex-Match: Nul\n" + scanner);
}

}  // namespace
}  // namespace filter_test
