#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <unordered_set>
#include <vector>

#include <boost/regex.hpp>

#include "foundation/fs_identity.h"

// What the rules file "vorpelin.regex" says: named regular-expression rules for header
// lines, for body lines and for both, and how many body lines to scan. The filter keeps one
// process-wide instance (instance()); start-up loads it and every message scan asks it to
// re-read the file when the file has changed (its modification time to the nanosecond, its
// size, its inode or its device), so edits take effect without a restart. Not thread-safe: the filter reads and re-reads it on one thread.
//
// The file, line by line (lines end at a line feed and are counted from 1):
//   empty, blanks and tabs only, or first non-blank ";"   ignored
//   text in the first column                                a section header: CONFIG,
//                                                           HEADERS, BODY or FULL (any case,
//                                                           anything may follow the keyword)
//   indented under CONFIG: "MAXBODYLINES: <n>"             the body-line limit
//   indented under HEADERS, BODY or FULL:
//     "<name> <blanks> /<pattern>/<options>"               a rule; option i = ignore case
// Every read starts outside any section, so indented lines before the first header are
// dropped. Problems are reported on standard output, in the order of the lines, and never
// stop the read: "* Settings Parser: Invalid Section Found (<line>)" and "* Invalid Regex at
// line <n>" (a line that is no rule, a pattern that does not compile, or one whose compile
// ran past its bound: see compileWithinBounds in filter/bounded_compile.h).
//
// A read compiles only what the rules held before did not: a rule whose pattern and
// options (as they act: i or not) the previous rules held keeps that compiled expression,
// shared, and a pattern that did not compile then is reported again without a compile.
class FilterSettings {
public:
    struct Rule {
        // The rule's name as written, with every backslash doubled and every double quote
        // preceded by a backslash, ready to stand inside a quoted protocol text.
        std::string name;
        // Compiled once, when a read first met the pattern with these options; copies of the
        // rule, and the rules of later reads with the same pattern and options, share it.
        boost::regex pattern;
        // The position of name in names().
        std::size_t nameIndex = 0;
    };

    // The process-wide instance, made on first use.
    static FilterSettings& instance();

    // An empty holder: no rules, maxBodyLines 0, no file. instance() is the one the filter
    // uses; separate holders serve tests and tools.
    FilterSettings();

    // Names the rules file and reads it whatever its identity. Returns false, with
    // "Settings Parser: Unable to open file" on standard error, when it cannot be read: it
    // is missing, does not open, is no regular file (a folder, a FIFO, a device: it is
    // opened without blocking and never waited on) or a read of it fails; the rules held
    // before are then kept.
    bool load(const std::string& path);

    // Reads the file again when its identity (modification time with nanoseconds, size,
    // inode, device) differs from the one seen at the last read. Returns true when the file
    // was read (even when it held no valid rule), false when it was unchanged or could not
    // be read (reported as in load; the rules held before are kept, and the file is not
    // tried again until it changes).
    bool reload();

    // Replaces everything held by what the text of a rules file says, exactly as a read of
    // the file does, messages included (the compiled expressions of the rules held are
    // reused, as by a read of the file).
    void read(std::istream& in);

    // Forgets all rules and sets maxBodyLines to 0.
    void clear();

    // The value of a setting line: the text after the line's first colon, without leading
    // and trailing blanks and tabs; empty when the line has no colon.
    static std::string getValue(const std::string& line);

    const std::vector<Rule>& headerRules() const { return headers; }
    const std::vector<Rule>& bodyRules() const { return body; }
    const std::vector<Rule>& fullRules() const { return full; }
    // The MAXBODYLINES setting, 0 when the file does not set it; a scan reads at most
    // maxBodyLines() + 1 body lines, and at least one.
    int maxBodyLines() const { return bodyLineLimit; }
    // Changes when the rules held change: at a clear, and at a read whose rules differ from
    // those held before in any section, name, pattern, option or order (the MAXBODYLINES
    // setting is no part of it). A read that gives the same rules keeps it. Differs between
    // holders: what was built from the rules of one generation fits only those rules.
    std::uint64_t generation() const { return generationNumber; }
    // Every distinct rule name of the three lists, in ascending byte order.
    const std::vector<std::string>& names() const { return ruleNames; }

private:
    void indexNames();
    // Reads into this fresh holder, reusing what previous compiled.
    void readAfter(std::istream& in, const FilterSettings& previous);
    void adopt(FilterSettings&& fresh);

    std::vector<Rule> headers;
    std::vector<Rule> body;
    std::vector<Rule> full;
    int bodyLineLimit = 0;
    std::vector<std::string> ruleNames;
    // Pattern and options of every rule of the last read that did not compile.
    std::unordered_set<std::string> refusedPatterns;
    std::string fileName;
    tmg::fs::FileIdentity lastSeen;
    bool everRead = false;
    std::uint64_t generationNumber = 0;
};
