// Whole-run transcripts of the built filter: request lines in, the exact standard output,
// standard error and exit status out. Every case states what the mail server sees.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <boost/regex.hpp>
#include <gtest/gtest.h>

#include "filter/quoting.h"
#include "foundation/log_line.h"
#include "foundation/output_line.h"
#include "tests/filter/filter_process.h"

namespace {

using namespace std::string_literals;
using filter_test::FilterFolder;
using filter_test::FilterProcess;
using filter_test::Transcript;

const std::string banner = "* Tolmagrid's Vorpelin filter v1.1.1 running...\n";
const std::string ready = "* Ready to receive INTF command.\n";
const std::string fatalStart = "* Unable to read settings, fatal error, quitting.\n";
const std::string cannotOpen = "Settings Parser: Unable to open file\n";
const std::string signature = "X-ExtScanner: Tolmagrid's Vorpelin";
const std::string longNotice =
    "X-Regex-Match: A very long line has been found, only the first 4096 characters have been scanned";
const std::string quitAnswer = "OK \"Filter is shut down and waiting for standard output to be closed\"\n";
const std::string quitRefusal =
    "REJECTED \"QUIT command received, filter is shut down. Please restart the filter.\"\n";
const std::string seqRefusal = "REJECTED \"Error: seqID should be a number\"\n";

// Every "{dir}" in text becomes the folder's path with its closing "/".
std::string inFolder(std::string text, const FilterFolder& folder) {
    const std::string mark = "{dir}", dir = folder.folder() + "/";
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + dir.size()))
        text.replace(at, mark.size(), dir);
    return text;
}

std::string match(const std::string& name) { return "X-Regex-Match: " + name; }

std::string logPrefix(const std::string& number) { return number == "0" ? "* " : "* [" + number + "] "; }

// The log line and answer of a scanned message; lines are given in their quoted form.
std::string added(const std::string& number, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\\e") + line;
    return logPrefix(number) + "Adding Header(s) to message\n" + number + " ADDHEADER \"" + text + "\"\n";
}
std::string accepted(const std::string& number) {
    return logPrefix(number) + "Accepting message\n" + number + " OK\n";
}
std::string scanned(const std::string& number) { return added(number, {signature}); }
std::string notFound(const std::string& number, const std::string& quotedPath) {
    return number + " OK \"Error: File Not Found " + quotedPath + "\"\n";
}

// The folder of the protocol tables: rules that match nothing in "msg", the message under
// a few names, a subfolder and a FIFO.
void protocolFixture(const FilterFolder& folder) {
    folder.writeRules("HEADERS\n  Never /^never$/\n");
    for (const char* name : {"msg", "my msg", "msg\r"}) folder.write(name, "Subject: plain\n\nbody\n");
    mkdir(folder.path("sub").c_str(), 0755);
    mkfifo(folder.path("fifo").c_str(), 0644);
    std::filesystem::create_symlink(folder.path("msg"), folder.path("link"));
    std::filesystem::create_directory_symlink(folder.path("sub"), folder.path("folderlink"));
}

void expectRun(const Transcript& run, const std::string& out, const std::string& err, int status) {
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, err);
    EXPECT_EQ(run.status, status);
}

// ---------------------------------------------------------------------------------------
// The command loop: malformed lines, INTF, KEY, QUIT, crash, sequence numbers, parameters.

struct ProtocolCase {
    const char* name;
    std::string input;
    std::string out;  // after the two start-up lines
    int status;
};

const std::vector<ProtocolCase> protocolCases = {
    {"empty line", "\n", "(null) FAILURE\n", 0},
    {"blanks only", "    \n", "(null) FAILURE\n", 0},
    {"carriage return only", "\r\n", "(null) FAILURE\n", 0},
    {"number only", "5\n", "5 FAILURE\n", 0},
    {"number and carriage return", "5 \r\n", "5 FAILURE\n", 0},
    {"tab is no delimiter", "1\tINTF\n", "1\tINTF FAILURE\n", 0},
    {"intf asks version 2", "007 INTF 2\n", "007 INTF 3\n", 0},
    {"intf without version", "1 INTF\n", "1 INTF 3\n", 0},
    {"intf with a word", "1 intf abc\n", "1 INTF 3\n", 0},
    {"intf mixed case, CRLF", "2 Intf 3\r\n", "2 INTF 3\n", 0},
    {"intf with a word as number", "abc INTF\n", "abc INTF 3\n", 0},
    {"leading and inner blanks", "   8    intf\n", "8 INTF 3\n", 0},
    {"key with parameters", "3 KEY anything at all\n", "3 OK\n", 0},
    {"key with a word as number", "x key\n", "x OK\n", 0},
    {"last line without a line feed", "1 INTF", "1 INTF 3\n", 0},
    {"quit, then everything refused",
     "4 QUIT\n5 INTF\n6\n\n   \n7 FILE {dir}msg\n8 KEY\n9 quit\nabc crash\n",
     "* 4: Filter is shutting down...\n4 " + quitAnswer + "5 " + quitRefusal + "6 " + quitRefusal +
         "(null) FAILURE\n(null) FAILURE\n7 " + quitRefusal + "8 " + quitRefusal + "9 " + quitRefusal +
         "abc " + quitRefusal,
     0},
    {"file without parameters", "1 FILE\n", "1 FAILURE \"Missing parameter(s)\"\n", 0},
    {"file with delimiters only after it", "1 FILE   \r\n", "1 FAILURE \"Missing parameter(s)\"\n", 0},
    {"unsupported command", "1 SCAN {dir}msg\n", "1 FAILURE\n", 0},
    {"unsupported command without parameters", "1 SCAN\n", "1 FAILURE \"Missing parameter(s)\"\n", 0},
    {"unsupported command with a word as number", "x SCAN y\n", "x " + seqRefusal, 0},
    {"word as number", "abc FILE {dir}msg\n", "abc " + seqRefusal, 0},
    {"word as number without parameters", "abc FILE\n", "abc " + seqRefusal, 0},
    {"number 0", "0 FILE {dir}msg\n", scanned("0"), 0},
    {"number 00", "00 FILE {dir}msg\n", "00 " + seqRefusal, 0},
    {"minus sign", "-1 FILE {dir}msg\n", "-1 " + seqRefusal, 0},
    {"plus zero", "+0 FILE {dir}msg\n", "+0 " + seqRefusal, 0},
    {"plus sign", "+5 FILE {dir}msg\n", scanned("5"), 0},
    {"two plus signs", "++5 FILE {dir}msg\n", "++5 " + seqRefusal, 0},
    {"leading zeros", "007 FILE {dir}msg\n", scanned("7"), 0},
    {"letters after the digits", "12abc FILE {dir}msg\n", scanned("12"), 0},
    {"tab before the digits", "\t5 FILE {dir}msg\n", scanned("5"), 0},
    {"largest 32-bit number", "4294967295 FILE {dir}msg\n", scanned("4294967295"), 0},
    {"number past 32 bits", "4294967296 FILE {dir}msg\n", "4294967296 " + seqRefusal, 0},
    {"number far past 32 bits", "99999999999999999999 FILE {dir}msg\n", "99999999999999999999 " + seqRefusal, 0},
    {"intf with a number past 32 bits", "99999999999999999999 INTF\n", "99999999999999999999 INTF 3\n", 0},
    {"last request without a line feed", "1 FILE {dir}msg", scanned("1"), 0},
    {"command in any case", "1 file {dir}msg\n2 FiLe {dir}msg\n", scanned("1") + scanned("2"), 0},
    {"requests before and after intf", "1 FILE {dir}msg\n2 INTF 3\n3 FILE {dir}msg\n",
     scanned("1") + "2 INTF 3\n" + scanned("3"), 0},
    {"inner blanks kept in the path", "1 FILE {dir}my msg\n", scanned("1"), 0},
    {"trailing carriage return kept in the path", "1 FILE {dir}msg\r\n", scanned("1"), 0},
    {"trailing blank kept in the path", "1 FILE {dir}msg \n", notFound("1", "{dir}msg "), 0},
    {"blank runs between the words", "1    FILE    {dir}msg\n", scanned("1"), 0},
    {"untagged log lines never collapse", "1 FILE {dir}msg\n1 FILE {dir}msg\n", scanned("1") + scanned("1"), 0},
    {"crash ends the process", "1 crash\n2 INTF\n", "* Fatal error, quitting: unhandled exception request\n", 1},
    {"crash comes before the number check", "x CRASH\n", "* Fatal error, quitting: unhandled exception request\n", 1},
    {"crash after quit is refused", "1 QUIT\n2 crash\n3 INTF\n",
     "* 1: Filter is shutting down...\n1 " + quitAnswer + "2 " + quitRefusal + "3 " + quitRefusal, 0},
};

class ConformanceTestProtocol : public testing::TestWithParam<ProtocolCase> {};

TEST_P(ConformanceTestProtocol, Transcript) {
    FilterFolder folder;
    protocolFixture(folder);
    Transcript run = filter_test::runFilter(folder, inFolder(GetParam().input, folder));
    expectRun(run, banner + ready + inFolder(GetParam().out, folder), "", GetParam().status);
}

// ---------------------------------------------------------------------------------------
// The file request: what counts as a message file, and how the path is quoted back.

struct RequestCase {
    const char* name;
    std::string input;
    std::string out;
};

const std::vector<RequestCase> requestCases = {
    {"missing file", "1 FILE {dir}nope\n", notFound("1", "{dir}nope")},
    {"missing file, number 0", "0 FILE {dir}nope\n", notFound("0", "{dir}nope")},
    {"path quoted", "1 FILE {dir}a\\b\"c\td\re\n", notFound("1", "{dir}a\\\\b\\\"c\\tde")},
    {"path holding a NUL byte", "1 FILE {dir}msg\0tail\n"s, notFound("1", "{dir}msg\\0tail")},
    {"folder", "1 FILE {dir}sub\n", notFound("1", "{dir}sub")},
    {"folder with its slash", "1 FILE {dir}\n", notFound("1", "{dir}")},
    {"FIFO", "1 FILE {dir}fifo\n", notFound("1", "{dir}fifo")},
    {"device", "1 FILE /dev/null\n", notFound("1", "/dev/null")},
    {"link to a message file", "1 FILE {dir}link\n", scanned("1")},
    {"link to a folder", "1 FILE {dir}folderlink\n", notFound("1", "{dir}folderlink")},
    {"very long path", "1 FILE {dir}" + std::string(100000, 'p') + "\n", notFound("1", "{dir}" + std::string(100000, 'p'))},
    {"relative path resolved from the working folder", "1 FILE msg\n", scanned("1")},
};

class ConformanceTestRequest : public testing::TestWithParam<RequestCase> {};

TEST_P(ConformanceTestRequest, Transcript) {
    FilterFolder folder;
    protocolFixture(folder);
    FilterProcess process({folder.program()}, "", folder.folder());
    process.send(inFolder(GetParam().input, folder));
    expectRun(process.finish(), banner + ready + inFolder(GetParam().out, folder), "", 0);
}

TEST(ConformanceTestRequestUnreadable, AnsweredUnableToOpen) {
    if (geteuid() == 0) GTEST_SKIP() << "every file is readable for root";
    FilterFolder folder;
    protocolFixture(folder);
    folder.write("locked", "Subject: x\n\n");
    chmod(folder.path("locked").c_str(), 0);
    Transcript run = filter_test::runFilter(folder, inFolder("1 FILE {dir}locked\n", folder));
    expectRun(run, banner + ready + inFolder("1 OK \"Error: unable to open file {dir}locked\"\n", folder), "", 0);
}

// ---------------------------------------------------------------------------------------
// Start-up: banner, rules file location, the -nosig switch, a missing rules file.

enum class Launch {
    Absolute,      // the folder's program by its full path
    Bare,          // "vorpelin", started in the folder
    OtherFolder,   // first word in a second folder that holds the rules
    Backslash,     // the same, with a backslash as the last separator
    NoRulesThere,  // first word in a folder without rules
};

struct StartCase {
    const char* name;
    Launch launch;
    std::vector<std::string> arguments;
    const char* rules;  // nullptr: none; "/": a folder named like the rules file
    std::string input;
    std::string out;
    std::string err;
    long modified = -1;  // the rules file's modification time, when set
};

const char* const matchingRules = "HEADERS\n  Head /^Subject: head/\n";

const std::vector<StartCase> startCases = {
    {"empty input", Launch::Absolute, {}, matchingRules, "", banner + ready, ""},
    {"rules file dated at the epoch", Launch::Absolute, {}, matchingRules, "1 FILE {dir}msg\n",
     banner + ready + added("1", {match("Head"), signature}), "", 0},
    {"no rules file", Launch::Absolute, {}, nullptr, "1 INTF 3\n1 FILE x\n", banner + fatalStart, cannotOpen},
    {"folder named like the rules file", Launch::Absolute, {}, "/", "1 INTF 3\n", banner + fatalStart, cannotOpen},
    {"rules next to the program", Launch::Absolute, {}, matchingRules, "1 FILE {dir}msg\n",
     banner + ready + added("1", {match("Head"), signature}), ""},
    {"bare program name reads ./", Launch::Bare, {}, matchingRules, "1 FILE msg\n",
     banner + ready + added("1", {match("Head"), signature}), ""},
    {"first word names the folder", Launch::OtherFolder, {}, nullptr, "1 FILE {dir}msg\n",
     banner + ready + added("1", {match("Other"), signature}), ""},
    {"backslash counts as slash", Launch::Backslash, {}, nullptr, "1 FILE {dir}msg\n",
     banner + ready + added("1", {match("Other"), signature}), ""},
    {"first word in a folder without rules", Launch::NoRulesThere, {}, matchingRules, "1 INTF 3\n",
     banner + fatalStart, cannotOpen},
    {"-nosig drops the scanner line", Launch::Absolute, {"-nosig"}, matchingRules, "1 FILE {dir}msg\n",
     banner + ready + added("1", {match("Head")}), ""},
    {"-nosig with no match accepts", Launch::Absolute, {"-nosig"}, matchingRules, "1 FILE {dir}plain\n",
     banner + ready + accepted("1"), ""},
    {"-nosig with a third word", Launch::Absolute, {"-nosig", "more"}, matchingRules, "1 FILE {dir}plain\n",
     banner + ready + accepted("1"), ""},
    {"-NOSIG is not the switch", Launch::Absolute, {"-NOSIG"}, matchingRules, "1 FILE {dir}plain\n",
     banner + ready + scanned("1"), ""},
    {"-nosigx is not the switch", Launch::Absolute, {"-nosigx"}, matchingRules, "1 FILE {dir}plain\n",
     banner + ready + scanned("1"), ""},
    {"-nosig as third word is ignored", Launch::Absolute, {"x", "-nosig"}, matchingRules, "1 FILE {dir}plain\n",
     banner + ready + scanned("1"), ""},
    {"reader messages come between banner and ready", Launch::Absolute, {},
     "Junk\nHEADERS\n  Bad //\n", "", banner + "* Settings Parser: Invalid Section Found (Junk)\n" +
                                       "* Invalid Regex at line 3\n" + ready, ""},
};

class ConformanceTestStartup : public testing::TestWithParam<StartCase> {};

TEST_P(ConformanceTestStartup, Transcript) {
    const StartCase& c = GetParam();
    FilterFolder folder, other;
    if (c.rules && std::string(c.rules) == "/") mkdir(folder.path("vorpelin.regex").c_str(), 0755);
    else if (c.rules) folder.writeRules(c.rules);
    if (c.modified >= 0) folder.setModified("vorpelin.regex", c.modified);
    other.writeRules("HEADERS\n  Other /^Subject: head/\n");
    for (const FilterFolder* f : {&folder, &other}) {
        f->write("msg", "Subject: head\n\nbody\n");
        f->write("plain", "Subject: plain\n\nbody\n");
    }
    std::vector<std::string> argv;
    std::string workingFolder;
    switch (c.launch) {
    case Launch::Absolute: argv = {folder.program()}; break;
    case Launch::Bare: argv = {"vorpelin"}, workingFolder = folder.folder(); break;
    case Launch::OtherFolder: argv = {other.path("anything")}; break;
    case Launch::Backslash: argv = {other.folder() + "\\anything"}; break;
    case Launch::NoRulesThere: argv = {folder.folder() + "/sub/vorpelin"}; break;
    }
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    FilterProcess process(argv, folder.program(), workingFolder);
    const FilterFolder& messages =
        (c.launch == Launch::OtherFolder || c.launch == Launch::Backslash) ? other : folder;
    process.send(inFolder(c.input, messages));
    expectRun(process.finish(), inFolder(c.out, messages), c.err, 0);
}

// ---------------------------------------------------------------------------------------
// The rules file and the scan: one message against one rules file.

struct ScanCase {
    const char* name;
    std::string rules;
    std::string message;
    std::vector<std::string> matches;   // quoted answer lines before the scanner line
    std::string readerMessages = "";    // written while the rules file is read at start
    std::vector<std::string> arguments = {};
};

const std::string sections =
    "CONFIG\n  MAXBODYLINES: 2\n"
    "HEADERS\n  Head /^Subject: head/\n"
    "BODY\n  Body /bodyword/\n"
    "FULL\n  Full /fullword/\n";
const std::string longRules = "HEADERS\n  HeadZ /Z$/\nBODY\n  BodyZ /Z/\n  Next /^next$/\nCONFIG\n  MAXBODYLINES: 3\n";
const std::string runOfA = std::string(4096, 'a');

const std::vector<ScanCase> scanCases = {
    // Which rules meet which lines.
    {"header rule on a header line", sections, "Subject: head\n\nnothing\n", {match("Head")}},
    {"header rule never meets the body", sections, "X: y\n\nSubject: head\n", {}},
    {"body rule never meets the headers", sections, "X: bodyword\n\nz\n", {}},
    {"body rule on a body line", sections, "X: y\n\nbodyword\n", {match("Body")}},
    {"full rule in headers and body, named once", sections, "X: fullword\n\nfullword\n", {match("Full")}},
    {"all three, sorted", sections, "Subject: head fullword\n\nbodyword\n", {match("Body"), match("Full"), match("Head")}},
    {"third body line is the last read", sections, "X: y\n\na\nb\nbodyword\n", {match("Body")}},
    {"fourth body line is not read", sections, "X: y\n\na\nb\nc\nbodyword\n", {}},
    {"no empty line, no body pass", sections, "X: y\nbodyword\n", {}},
    {"no empty line, no final line feed", sections, "X: y\nbodyword", {}},
    {"header line after a missing blank line is a header", sections, "X: y\nSubject: head\n", {match("Head")}},
    {"empty file", sections, "", {}},
    // The end of the file gives one more empty body line.
    {"empty line at the end with room", "CONFIG\n  MAXBODYLINES: 5\nBODY\n  Empty /^$/\n", "X: y\n\ntext\n", {match("Empty")}},
    {"empty line at the end just in reach", "CONFIG\n  MAXBODYLINES: 1\nBODY\n  Empty /^$/\n", "X: y\n\ntext\n", {match("Empty")}},
    {"only one body line by default", "BODY\n  Empty /^$/\n", "X: y\n\ntext\n", {}},
    {"empty body line counted and tested", "BODY\n  Empty /^$/\n", "X: y\n\n\ntext\n", {match("Empty")}},
    // Carriage returns stay in the line; folded fields are not joined.
    {"carriage return kept in a header line", "HEADERS\n  Cr /hi\\r$/\n", "Subject: hi\r\n\r\nbody\r\n", {match("Cr")}},
    {"a carriage return line does not end the headers", "HEADERS\n  Late /^body/\nBODY\n  Early /^body/\n",
     "Subject: hi\r\n\r\nbody\r\n", {match("Late")}},
    {"continuation line tested alone", "HEADERS\n  Joined /a b/\n  Cont /^ b c$/\n", "Subject: a\n b c\n\nx\n", {match("Cont")}},
    // Envelope recognition: Head matches only when the first line was skipped as an envelope.
    {"envelope letter blank", sections, "A b\n\nSubject: head\n\nx\n", {match("Head")}},
    {"envelope of several lines", sections, "S <a@b>\nR <c@d>\nO x\n\nSubject: head\n\nx\n", {match("Head")}},
    {"envelope letter tab", sections, "A\tb\n\nSubject: head\n\nx\n", {match("Head")}},
    {"envelope letter vertical tab", sections, "A\vb\n\nSubject: head\n\nx\n", {match("Head")}},
    {"envelope letter carriage return", sections, "A\rb\n\nSubject: head\n\nx\n", {match("Head")}},
    {"envelope upper-half letter C0", sections, "\xC0 b\n\nSubject: head\n\nx\n", {match("Head")}},
    {"envelope upper-half letter 8A", sections, "\x8A b\n\nSubject: head\n\nx\n", {match("Head")}},
    {"envelope upper-half letter FF", sections, "\xFF b\n\nSubject: head\n\nx\n", {match("Head")}},
    {"no envelope: F8 is no letter", sections, "\xF8 b\n\nSubject: head\n\nx\n", {}},
    {"no envelope: 80 is no letter", sections, "\x80 b\n\nSubject: head\n\nx\n", {}},
    {"no envelope: letter in second place", sections, "Ab c\n\nSubject: head\n\nx\n", {}},
    {"no envelope: two characters", sections, "A \n\nSubject: head\n\nx\n", {}},
    {"no envelope: digit first", sections, "1 b\n\nSubject: head\n\nx\n", {}},
    {"no envelope: blank first", sections, " A b\n\nSubject: head\n\nx\n", {}},
    {"no envelope: a header field", sections, "Subject: head\n\nx\n", {match("Head")}},
    {"envelope without an empty line swallows the file", sections, "S a\nR b\nSubject: head fullword\n", {}},
    {"a carriage return line does not end the envelope", sections, "A b\n\r\nSubject: head\n\nx\n", {}},
    {"envelope lines are not tested", "HEADERS\n  Env /envword/\n", "S envword\n\nX: y\n\nz\n", {}},
    // The 4096-character cut.
    {"body line of 4096 tested whole", longRules, "X: y\n\n" + runOfA.substr(1) + "Z\n", {match("BodyZ")}},
    {"body line of 4097 cut", longRules, "X: y\n\n" + runOfA + "Z\n", {longNotice}},
    {"cut at exactly 4096", longRules, "X: y\n\n" + runOfA.substr(1) + "ZZ\n", {match("BodyZ"), longNotice}},
    {"notice once for many long lines", longRules, "X: y\n\n" + runOfA + "b\n" + runOfA + "c\n", {longNotice}},
    {"line after a long line read from its start", longRules, "X: y\n\n" + runOfA + "next\nnext\n",
     {match("Next"), longNotice}},
    {"rest of a long line is not a line", "CONFIG\n  MAXBODYLINES: 1\nBODY\n  Next /^next$/\n",
     "X: y\n\n" + runOfA + "next\nother\n", {longNotice}},
    {"very long line, then the limit", longRules, "X: y\n\n" + std::string(100000, 'b') + "\nc\nd\nZ\n",
     {match("BodyZ"), longNotice}},
    {"header lines are cut at 4096 too", longRules, "X: " + std::string(10000, 'h') + "Z\n\nx\n", {longNotice}},
    {"notice after the rules, nosig", longRules, "X: y\n\n" + runOfA + "b\n", {longNotice}, "", {"-nosig"}},
    // Names: sorted by bytes, each once, escaped for the protocol.
    {"names sorted by bytes", "BODY\n  beta /x/\n  alpha /x/\n  Beta /x/\n  B /x/\n", "X: y\n\nx\n",
     {match("B"), match("Beta"), match("alpha"), match("beta")}},
    {"header name after a body name when it sorts later", "HEADERS\n  Zeta /z/\nBODY\n  Alpha /a/\n", "X: z\n\na\n",
     {match("Alpha"), match("Zeta")}},
    {"one line for a repeated name", "HEADERS\n  Dup /one/\n  Dup /two/\nBODY\n  Dup /three/\n", "X: one two\n\nthree\n",
     {match("Dup")}},
    {"name with quote and backslash", "HEADERS\n  Q\"B\\S /x/\n", "X: x\n\n", {match(R"(Q\\\"B\\\\S)")}},
    {"name with inner blanks", "HEADERS\n  Big  Spam \t /x/\n", "X: x\n\n", {match("Big  Spam")}},
    {"name with a tab", "HEADERS\n  Tab\tName /x/\n", "X: x\n\n", {match("Tab\\tName")}},
    {"NUL byte kept in a message line", "HEADERS\n  Nul /a.b/\nBODY\n  After /z$/\n", "X: a\0b\n\ny\0z\n"s,
     {match("After"), match("Nul")}},
    {"greedy name and pattern", "HEADERS\n  A /x/ B /y/\n", "X: y\n\n", {match("A /x/ B")}},
    {"pattern runs to the last slash", "HEADERS\n  Slash /a/b/\n  Halves /a/b/c\n", "X: a b\n\n", {}},
    {"pattern holding a slash", "HEADERS\n  Slash /a/b/\n", "X: a/b\n\n", {match("Slash")}},
    {"escaped slash in a pattern", "HEADERS\n  Esc /a\\/b/\n", "X: a/b\n\n", {match("Esc")}},
    // Option letters.
    {"case-sensitive without options", "HEADERS\n  Buy /buy now/\n", "X: BUY NOW\n\n", {}},
    {"option i ignores case", "HEADERS\n  Buy /buy now/i\n", "X: BUY NOW\n\n", {match("Buy")}},
    {"option i keeps Perl syntax", "HEADERS\n  Plus /a+b\\d{2}/i\n", "X: AAB12\n\n", {match("Plus")}},
    {"option i anywhere in the options", "HEADERS\n  Buy /buy/x i\n", "X: BUY\n\n", {match("Buy")}},
    {"other option letters change nothing", "HEADERS\n  Buy /buy/gm\n", "X: BUY buy\n\n", {match("Buy")}},
    {"other option letters keep case", "HEADERS\n  Buy /buy/gm\n", "X: BUY\n\n", {}},
    {"Perl syntax without options", "HEADERS\n  Perl /^X: \\w+\\s(a|b)$/\n", "X: word b\n\n", {match("Perl")}},
    // Sections and comments.
    {"comments and blank lines ignored", "; a comment\n\n \t \n\t; indented comment\nHEADERS\n; Head /x/\n  ;Semi /x/\n  H /x/\n",
     "X: x\n\n", {match("H")}},
    {"section keywords in any case", "headers\n  H /h/\nBody\n  B /b/\nfUlL\n  F /f/\n", "X: h f\n\nb\n",
     {match("B"), match("F"), match("H")}},
    {"keyword followed by more letters", "FULLER\n  F /f/\nBODYTEXT\n  B /b/\n", "X: f\n\nb\n", {match("B"), match("F")}},
    {"CONFIGURATION opens CONFIG", "CONFIGURATION\n  MAXBODYLINES: 1\nBODY\n  B /^b$/\n", "X: y\n\na\nb\n", {match("B")}},
    {"rules in CONFIG are ignored silently", "CONFIG\n  C /x/\n  Bad //\n  Worse /(/\n", "X: x\n\nx\n", {}},
    {"rules before the first section dropped", "  Early /x/\n  Odd /(/\nHEADERS\n  Late /x/\n", "X: x\n\n", {match("Late")}},
    {"unknown section drops rules up to the next one", "HEADERS\n  H /x/\nSpam /x/\n  Lost /x/\n  Gone /(/\nBODY\n  B /x/\n",
     "X: x\n\nx\n", {match("B"), match("H")}, "* Settings Parser: Invalid Section Found (Spam /x/)\n"},
    {"section line printed as text", "%s%n %d\nHEADERS\n  P%s /%n/\n", "X: %n\n\n", {match("P%s")},
     "* Settings Parser: Invalid Section Found (%s%n %d)\n"},
    {"unindented setting is an unknown section", "MAXBODYLINES: 5\nBODY\n  B /^b$/\n", "X: y\n\na\nb\n", {},
     "* Settings Parser: Invalid Section Found (MAXBODYLINES: 5)\n"},
    {"indented line without a slash ignored", "HEADERS\n  justtext\n  H /x/\n", "X: x\n\n", {match("H")}},
    {"setting under HEADERS is ignored", "HEADERS\n  MAXBODYLINES: 5\nBODY\n  B /^b$/\n", "X: y\n\na\nb\n", {}},
    {"CRLF rules file", "HEADERS\r\n  H /x/\r\n  I /buy/i\r\n", "X: x BUY\n\n", {match("H"), match("I")}},
    {"empty rules file", "", "X: x\n\nx\n", {}},
    // Lines that are no rules, and patterns that do not compile.
    {"invalid rule forms, counted lines",
     "; line 1\n\nHEADERS\n  Empty //\n  Trail /abc\\/\n  /nameless/\n  Glued/x/\n  Open /(abc/\n  Brace /a{2,1}/\n  Good /x/\n",
     "X: x\n\n", {match("Good")},
     "* Invalid Regex at line 4\n* Invalid Regex at line 5\n* Invalid Regex at line 6\n"
     "* Invalid Regex at line 7\n* Invalid Regex at line 8\n* Invalid Regex at line 9\n"},
    {"bad form outside sections is still reported", "  Bad //\nHEADERS\nJunk\n  Worse //\n", "X: x\n\n", {},
     "* Invalid Regex at line 1\n* Settings Parser: Invalid Section Found (Junk)\n* Invalid Regex at line 4\n"},
};

class ConformanceTestScan : public testing::TestWithParam<ScanCase> {};

TEST_P(ConformanceTestScan, Transcript) {
    const ScanCase& c = GetParam();
    FilterFolder folder;
    folder.writeRules(c.rules);
    folder.write("msg", c.message);
    Transcript run = filter_test::runFilter(folder, inFolder("1 FILE {dir}msg\n", folder), c.arguments);
    std::vector<std::string> lines = c.matches;
    bool withSignature = c.arguments.empty() || c.arguments[0] != "-nosig";
    if (withSignature) lines.push_back(signature);
    std::string answer = lines.empty() ? accepted("1") : added("1", lines);
    expectRun(run, banner + c.readerMessages + ready + answer, "", 0);
}

// ---------------------------------------------------------------------------------------
// MAXBODYLINES: how many body lines each setting line lets the scan read.

struct LimitCase {
    const char* name;
    std::string config;  // the CONFIG section's lines
    int linesRead;       // 0: too many to count
};

const std::vector<LimitCase> limitCases = {
    {"not set", "", 1},
    {"colon blank number", "  MAXBODYLINES: 50\n", 51},
    {"number right after the colon", "  MAXBODYLINES:50\n", 51},
    {"single digit right after the colon", "  MAXBODYLINES:4\n", 5},
    {"lower case with blank runs", "  maxbodylines  :   7   \n", 8},
    {"tabs around the number", "\tMaxBodyLines:\t 3\t \n", 4},
    {"text between key and colon", "  MAXBODYLINES (lines): 2\n", 3},
    {"text after the number", "  MAXBODYLINES: 2 lines\n", 3},
    {"no colon", "  MAXBODYLINES 5\n", 1},
    {"not a number", "  MAXBODYLINES: abc\n", 1},
    {"zero", "  MAXBODYLINES: 0\n", 1},
    {"negative", "  MAXBODYLINES: -3\n", 1},
    {"last setting wins", "  MAXBODYLINES: 9\n  MAXBODYLINES: 2\n", 3},
    {"huge number saturates", "  MAXBODYLINES: 99999999999999999999\n", 0},
};

// A message whose body line `at` (from 1) is the only one that matches.
std::string bodyHitAt(int at) {
    std::string message = "X: y\n\n";
    for (int line = 1; line < at; ++line) message += "filler\n";
    return message + "hit\nfiller\n";
}

class ConformanceTestBodyLimit : public testing::TestWithParam<LimitCase> {};

TEST_P(ConformanceTestBodyLimit, LinesRead) {
    const LimitCase& c = GetParam();
    FilterFolder folder;
    folder.writeRules("CONFIG\n" + c.config + "BODY\n  Hit /^hit$/\n");
    int last = c.linesRead == 0 ? 500 : c.linesRead;
    folder.write("inside", bodyHitAt(last));
    folder.write("outside", bodyHitAt(last + 1));
    std::string input = "1 FILE {dir}inside\n";
    std::string out = added("1", {match("Hit"), signature});
    if (c.linesRead != 0) input += "2 FILE {dir}outside\n", out += scanned("2");
    Transcript run = filter_test::runFilter(folder, inFolder(input, folder));
    expectRun(run, banner + ready + out, "", 0);
}

// ---------------------------------------------------------------------------------------
// A rule that the regex library gives up on counts as not matched, and is logged. The line
// holds a text the rule could match further on, so that the prefilter, once ready, sends it
// to Boost too.

TEST(ConformanceTestScanLibraryError, LoggedAndNotMatched) {
    const std::string pattern = "(x+x+)+y", line = std::string(40, 'x') + " xxy";
    std::string libraryText;
    try {
        boost::regex_search(line, boost::regex(pattern));
    } catch (const std::exception& error) {
        libraryText = error.what();
    }
    ASSERT_FALSE(libraryText.empty()) << "the library no longer gives up on this pattern";
    FilterFolder folder;
    folder.writeRules("BODY\n  Slow /" + pattern + "/\n  Other /x/\nHEADERS\n  Head /x/\n");
    folder.write("msg", "X: x\n\n" + line + "\n");
    Transcript run = filter_test::runFilter(folder, inFolder("3 FILE {dir}msg\n", folder));
    expectRun(run,
              banner + ready + "* [3] Rule Slow could not be matched: " + libraryText + "\n" +
                  added("3", {match("Head"), match("Other"), signature}),
              "", 0);
}

// ---------------------------------------------------------------------------------------
// Re-reading the rules file when its modification time changes.

struct ReloadStep {
    std::function<void(const FilterFolder&)> change;  // done before the request
    std::string out;                                   // for the request "n FILE {dir}<file>"
    std::string err = "";                              // standard error written meanwhile
    std::string file = "msg";                          // the file the request names
};

struct ReloadCase {
    const char* name;
    std::vector<ReloadStep> steps;
};

const long firstTime = 1000000000;
const std::string firstRules = "HEADERS\n  First /head/\n";
const std::string reloaded = "* Settings changed, reloading.\n";

std::function<void(const FilterFolder&)> rewrite(const std::string& rules, long time) {
    return [rules, time](const FilterFolder& folder) {
        std::error_code ignored;
        std::filesystem::remove_all(folder.path("vorpelin.regex"), ignored);
        folder.writeRules(rules);
        folder.setModified("vorpelin.regex", time);
    };
}
void keep(const FilterFolder&) {}
void removeRules(const FilterFolder& folder) { std::filesystem::remove(folder.path("vorpelin.regex")); }
void folderForRules(const FilterFolder& folder) {
    std::filesystem::remove(folder.path("vorpelin.regex"));
    mkdir(folder.path("vorpelin.regex").c_str(), 0755);
    folder.setModified("vorpelin.regex", firstTime + 50);
}

std::string withFirst(int n) { return added(std::to_string(n), {match("First"), signature}); }
std::string withName(int n, const std::string& name) {
    return added(std::to_string(n), {match(name), signature});
}

const std::vector<ReloadCase> reloadCases = {
    {"an unchanged file keeps the rules read", {{keep, withFirst(1)}, {keep, withFirst(2)}}},
    {"new content with the old time is read again",
     {{keep, withFirst(1)}, {rewrite("HEADERS\n  Second /head/\n", firstTime), reloaded + withName(2, "Second")}}},
    {"new time reads the new rules",
     {{keep, withFirst(1)},
      {rewrite("HEADERS\n  Second /head/\n", firstTime + 100), reloaded + withName(2, "Second")},
      {keep, withName(3, "Second")}}},
    {"only a scan re-reads the rules",
     {{rewrite("HEADERS\n  Second /head/\n", firstTime + 100), notFound("1", "{dir}nope"), "", "nope"},
      {keep, reloaded + withName(2, "Second")}}},
    {"an older time counts as a change",
     {{rewrite("HEADERS\n  Second /head/\n", firstTime - 100), reloaded + withName(1, "Second")}}},
    {"reader messages come before the notice",
     {{rewrite("HEADERS\n  Bad //\nJunk\n  Second /head/\nBODY\n  Second /body/\n", firstTime + 100),
       "* Invalid Regex at line 2\n* Settings Parser: Invalid Section Found (Junk)\n" + reloaded +
           withName(1, "Second")}}},
    {"a re-read starts outside any section",
     {{rewrite("  Early /head/\nBODY\n  Late /body/\n", firstTime + 100), reloaded + withName(1, "Late")}}},
    {"a re-read replaces the body-line limit",
     {{rewrite("CONFIG\n  MAXBODYLINES: 3\nBODY\n  Far /^far$/\n", firstTime + 100), reloaded + withName(1, "Far")},
      {rewrite("BODY\n  Far /^far$/\n", firstTime + 200), reloaded + scanned("2")}}},
    {"an unreadable re-read keeps the old rules and is not retried",
     {{folderForRules, withFirst(1), cannotOpen},
      {keep, withFirst(2)},
      {rewrite("HEADERS\n  Second /head/\n", firstTime + 100), reloaded + withName(3, "Second")}}},
    {"a removed rules file keeps the old rules",
     {{removeRules, withFirst(1), cannotOpen},
      {keep, withFirst(2)},
      {rewrite("HEADERS\n  Second /head/\n", firstTime + 100), reloaded + withName(3, "Second")}}},
};

class ConformanceTestReload : public testing::TestWithParam<ReloadCase> {};

TEST_P(ConformanceTestReload, Transcript) {
    FilterFolder folder;
    folder.writeRules(firstRules);
    folder.setModified("vorpelin.regex", firstTime);
    folder.write("msg", "Subject: head\n\nbody\nfiller\nfiller\nfar\n");
    FilterProcess process({folder.program()});
    EXPECT_EQ(process.readLines(2), banner + ready);
    int number = 0;
    std::string err;
    for (const ReloadStep& step : GetParam().steps) {
        step.change(folder);
        process.send(std::to_string(++number) + inFolder(" FILE {dir}", folder) + step.file + "\n");
        std::string expected = inFolder(step.out, folder);
        int lines = static_cast<int>(std::count(expected.begin(), expected.end(), '\n'));
        EXPECT_EQ(process.readLines(lines), expected) << "request " << number;
        err += step.err;
    }
    Transcript run = process.finish();
    EXPECT_EQ(run.err, err);
    EXPECT_EQ(run.status, 0);
}

// ---------------------------------------------------------------------------------------
// Line objects and quoting, in process.

struct LineWrite {
    enum Kind { Out, Log } kind;
    unsigned id;
    std::string tag;
    std::string text;
};

struct LineCase {
    const char* name;
    std::vector<LineWrite> writes;
    std::string out;
};

// Tags are unique to each case: the repeat table lives as long as the process.
const std::vector<LineCase> lineCases = {
    {"output line loses its line feeds", {{LineWrite::Out, 0, "", "abc\n\n\n"}}, "abc\n"},
    {"empty output line", {{LineWrite::Out, 0, "", ""}}, "\n"},
    {"inner line feeds and carriage returns kept", {{LineWrite::Out, 0, "", "a\nb\r"}}, "a\nb\r\n"},
    {"empty log line", {{LineWrite::Log, 0, "", ""}}, "* \n"},
    {"numbered log line", {{LineWrite::Log, 7, "", "x"}}, "* [7] x\n"},
    {"tagged log line", {{LineWrite::Log, 0, "T1", "x"}}, "* T1: x\n"},
    {"two lines with number and tag", {{LineWrite::Log, 3, "T2", "a\nb\n\n"}}, "* [3] T2: a\n* [3] T2: b\n"},
    {"three repeats then another",
     {{LineWrite::Log, 0, "T3", "same"}, {LineWrite::Log, 1, "T3", "same"}, {LineWrite::Log, 2, "T3", "same"},
      {LineWrite::Log, 4, "T3", "other"}},
     "* T3: same\n* T3: (Last message repeated 3 times)\n* [4] T3: other\n"},
    {"two repeats then another",
     {{LineWrite::Log, 0, "T4", "same"}, {LineWrite::Log, 0, "T4", "same"}, {LineWrite::Log, 0, "T4", "other"}},
     "* T4: same\n* T4: (Last message repeated 2 times)\n* T4: other\n"},
    {"no notice after a single line", {{LineWrite::Log, 0, "T5", "one"}, {LineWrite::Log, 0, "T5", "two"}},
     "* T5: one\n* T5: two\n"},
    {"tags do not disturb each other",
     {{LineWrite::Log, 0, "T6", "a"}, {LineWrite::Log, 0, "T7", "a"}, {LineWrite::Log, 0, "T6", "a"},
      {LineWrite::Log, 0, "T7", "b"}, {LineWrite::Log, 0, "T6", "b"}},
     "* T6: a\n* T7: a\n* T7: b\n* T6: (Last message repeated 2 times)\n* T6: b\n"},
    {"untagged lines all written", {{LineWrite::Log, 0, "", "u"}, {LineWrite::Log, 0, "", "u"}}, "* u\n* u\n"},
    {"repeat compares the text before its line feeds are cut",
     {{LineWrite::Log, 0, "T8", "a"}, {LineWrite::Log, 0, "T8", "a\n"}}, "* T8: a\n* T8: a\n"},
};

class ConformanceTestLines : public testing::TestWithParam<LineCase> {};

TEST_P(ConformanceTestLines, Written) {
    std::ostringstream captured;
    std::streambuf* saved = std::cout.rdbuf(captured.rdbuf());
    for (const LineWrite& write : GetParam().writes) {
        if (write.kind == LineWrite::Out) tmg::outline() << write.text;
        else if (write.tag.empty()) tmg::logline(write.id) << write.text;
        else tmg::logline(write.id, write.tag) << write.text;
    }
    std::cout.rdbuf(saved);
    EXPECT_EQ(captured.str(), GetParam().out);
}

struct QuotingCase {
    std::string plain;
    std::string quoted;
    std::string back;  // what unescaping the quoted form gives
};

const std::vector<QuotingCase> quotingCases = {
    {"\\\n", "\\\\\\e", "\\\n"},
    {"a\r\nb", "a\\eb", "a\nb"},
    {"", "", ""},
    {"t\tq\"", "t\\tq\\\"", "t\tq\""},
    {"n\0z"s, "n\\0z", "n\0z"s},
    {"\x01\xff", "\x01\xff", "\x01\xff"},
};

TEST(ConformanceTestQuoting, EscapeAndBack) {
    for (const QuotingCase& c : quotingCases) {
        EXPECT_EQ(cgp::escapeString(c.plain), c.quoted);
        EXPECT_EQ(cgp::unescapeString(c.quoted), c.back);
    }
    struct { std::string quoted, plain; } unescapes[] = {
        {"\\n\\r", "\\n\\r"}, {"end\\", "end\\"}, {"\\\\e", "\\e"}, {"\\x", "\\x"}};
    for (const auto& c : unescapes) EXPECT_EQ(cgp::unescapeString(c.quoted), c.plain) << c.quoted;
}

template <typename Case>
std::string caseName(const testing::TestParamInfo<Case>& info) {
    std::string name;
    for (char ch : std::string(info.param.name)) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return std::to_string(info.index) + "_" + name;
}

INSTANTIATE_TEST_SUITE_P(Lines, ConformanceTestProtocol, testing::ValuesIn(protocolCases), caseName<ProtocolCase>);
INSTANTIATE_TEST_SUITE_P(Paths, ConformanceTestRequest, testing::ValuesIn(requestCases), caseName<RequestCase>);
INSTANTIATE_TEST_SUITE_P(Runs, ConformanceTestStartup, testing::ValuesIn(startCases), caseName<StartCase>);
INSTANTIATE_TEST_SUITE_P(Messages, ConformanceTestScan, testing::ValuesIn(scanCases), caseName<ScanCase>);
INSTANTIATE_TEST_SUITE_P(Settings, ConformanceTestBodyLimit, testing::ValuesIn(limitCases), caseName<LimitCase>);
INSTANTIATE_TEST_SUITE_P(Changes, ConformanceTestReload, testing::ValuesIn(reloadCases), caseName<ReloadCase>);
INSTANTIATE_TEST_SUITE_P(Writes, ConformanceTestLines, testing::ValuesIn(lineCases), caseName<LineCase>);

}  // namespace
