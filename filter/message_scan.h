#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "filter/filter_settings.h"
#include "filter/prefilter_builder.h"
#include "filter/regex_prefilter.h"
#include "filter/scan_result.h"

namespace cgp {

// The longest part of a line that is tested; the rest of a longer line is read past
// without being stored.
constexpr std::size_t maxTestedLine = 4096;

// Header lines are tested only while fewer than this many bytes of header lines (each
// counted whole, with its line feed) came before them.
constexpr std::size_t headerBudgetBytes = 102400;

// A scan whose tests have taken this long stops testing and reading.
constexpr std::chrono::seconds scanTimeBudget{8};

// The filter's scan of one message, bounded in time and memory whatever the message: it
// holds one tested line of at most maxTestedLine bytes and a fixed read-past buffer, both
// reused from one message to the next. One scanner per thread.
class MessageScanner {
    // Rules of one prefilter's numbering that have the same pattern and options answer the
    // same on a line: the first of them is searched, and the others take its answer.
    struct Twins {
        std::vector<std::uint32_t> first;      // by rule: the first rule of its pattern
        std::vector<std::uint32_t> lineStamp;  // by rule: the line its answer is known for
        std::vector<char> answer;              // by rule: that answer
        std::uint32_t stamp = 0;
    };

public:
    MessageScanner();

    // Scans the message read from in, which stands at its first header line (after any
    // envelope): the header lines up to the first empty one, each cut to maxTestedLine,
    // against the header and full rules, as long as the header budget lasts; then at most
    // rules.maxBodyLines() + 1 (and at least one) body lines, each cut to maxTestedLine,
    // against the body and full rules. Nothing is read past the last line needed, nor past
    // the tested part of a long last line (but the one character that shows it is long).
    //
    // Returns AddHeader with one "X-Regex-Match: <name>" line per distinct matching rule
    // name in ascending byte order, then the long-line notice when a line was cut, then
    // "X-ExtScanner: Tolmagrid's Vorpelin" unless noScannerHeader.
    //
    // Limits, each logged once under requestNumber when met:
    // - header lines past the header budget are read past untested, up to the empty line,
    //   and the body is scanned as usual ("Header over 102400 bytes: ...");
    // - once the scan has run for the time budget (checked between two tests and while
    //   long lines are read past), nothing more is tested or read, and the answer holds the
    //   names found so far ("Scan stopped after 8 seconds: ...");
    // - a read that fails with an exception of the stream ends the scan the same way.
    // A rule whose matching fails inside the regex library counts as not matching that
    // line; the failure is logged and the scan goes on.
    //
    // With prefilter (built from these very rules: same generation), a line meets only the
    // rules the prefilter names for it; the answer is the same, only a rule the prefilter
    // leaves out cannot log a failure on that line.
    ScanResult scan(std::istream& in, const FilterSettings& rules, bool noScannerHeader,
                    unsigned int requestNumber, const RulesPrefilter* prefilter = nullptr);

    // For tests only: a shorter time budget than scanTimeBudget, which the filter keeps.
    void setTimeBudgetForTests(std::chrono::milliseconds budget) { timeBudget = budget; }

    // The bytes held for the tested line: maxTestedLine, however long the lines were.
    std::size_t lineCapacity() const { return line.capacity(); }

private:
    void headerPass(std::istream& in, const FilterSettings& rules);
    void bodyPass(std::istream& in, const FilterSettings& rules);
    // Reads the next line into line; returns its whole length, and whether it was cut.
    std::size_t readTestedLine(std::istream& in, bool skipRest, bool& cut);
    std::size_t skipRestOfLine(std::istream& in);
    // Tests the line against the rules of first and then of full (numbered on from first in
    // the prefilter), only the candidates when there is a prefilter.
    void testLine(const std::vector<FilterSettings::Rule>& first, const std::vector<FilterSettings::Rule>& full,
                  const RegexPrefilter* prefilter, RegexPrefilter::Scratch& scratch, Twins& twins);
    // Tests the line against one rule; false once out of time. With twins (the prefiltered
    // scan), the answer of an earlier rule of the same pattern on this line is taken over.
    bool test(const FilterSettings::Rule& rule, Twins* twins = nullptr, std::uint32_t index = 0);
    // The one place where a line meets a rule; failed is set when the library failed.
    bool lineMatches(const FilterSettings::Rule& rule, bool& failed);
    // Finds the rules of the lists (numbered one after the other) that share a pattern.
    static void findTwins(const std::vector<FilterSettings::Rule>& first, const std::vector<FilterSettings::Rule>& full,
                          Twins& twins);
    bool outOfTime();

    std::string line;
    std::vector<char> readPast;
    std::vector<char> matched;  // by FilterSettings::Rule::nameIndex
    const RulesPrefilter* prefilterInUse = nullptr;
    std::uint64_t preparedSerial = 0;  // of the prefilter the scratches were made for
    RegexPrefilter::Scratch headerScratch;
    RegexPrefilter::Scratch bodyScratch;
    Twins headerTwins;
    Twins bodyTwins;
    std::chrono::milliseconds timeBudget = scanTimeBudget;
    std::int64_t deadline = 0;  // on the coarse monotonic clock, in nanoseconds
    bool timeUp = false;
    bool longLine = false;
    unsigned int requestNumber = 0;
};

}  // namespace cgp
