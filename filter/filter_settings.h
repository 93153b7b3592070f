#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
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
// dropped. Problems are reported on standard output as they are met and never stop the
// read: "* Settings Parser: Invalid Section Found (<line>)" and "* Invalid Regex at line <n>".
class FilterSettings {
public:
    struct Rule {
        // The rule's name as written, with every backslash doubled and every double quote
        // preceded by a backslash, ready to stand inside a quoted protocol text.
        std::string name;
        // Compiled once when the file is read; copies of the rule share it.
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
    // the file does, messages included.
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
    // Changes whenever the rules held change (every read and clear), and differs between
    // holders: what was built from the rules of one generation fits no other.
    std::uint64_t generation() const { return generationNumber; }
    // Every distinct rule name of the three lists, in ascending byte order.
    const std::vector<std::string>& names() const { return ruleNames; }

private:
    void indexNames();

    std::vector<Rule> headers;
    std::vector<Rule> body;
    std::vector<Rule> full;
    int bodyLineLimit = 0;
    std::vector<std::string> ruleNames;
    std::string fileName;
    tmg::fs::FileIdentity lastSeen;
    bool everRead = false;
    std::uint64_t generationNumber = 0;
};
