#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

#include "filter/filter_settings.h"
#include "filter/scan_result.h"

namespace cgp {

// The longest part of a body line that is tested; the rest of a longer line is skipped.
constexpr std::size_t maxTestedBodyLine = 4096;

// Reads one line up to a line feed (consumed, not stored; a carriage return is kept) or the
// end of the stream (which sets eofbit; a read that meets the end at once yields an empty
// line). At most limit characters are stored; the rest of a longer line is read past
// without storing it, or, when skipRest is false, left unread after its first character
// beyond the limit. Returns true when the line was longer than limit. The line's storage
// is reused, so a warm buffer is never reallocated.
bool readLine(std::istream& in, std::string& line, std::size_t limit = std::string::npos,
              bool skipRest = true);

// The filter's scan of one message. Holds only buffers that are reused from one message to
// the next, so scanning allocates nothing per line. One scanner per thread.
class MessageScanner {
public:
    // Scans the message read from in, which stands at its first header line (after any
    // envelope): every header line, up to the first empty one, is tested whole against the
    // header and full rules; then at most rules.maxBodyLines() + 1 (and at least one) body
    // lines, each cut to maxTestedBodyLine characters, against the body and full rules.
    // Nothing is read past the last line needed, nor past the tested part of a long last
    // line (but the one character that shows it is long).
    //
    // Returns AddHeader with one "X-Regex-Match: <name>" line per distinct matching rule
    // name in ascending byte order, then the long-line notice when a body line was cut,
    // then "X-ExtScanner: Tolmagrid's Vorpelin" unless noScannerHeader.
    //
    // A rule whose matching fails inside the regex library counts as not matching that
    // line; the failure is logged under requestNumber and the scan goes on.
    ScanResult scan(std::istream& in, const FilterSettings& rules, bool noScannerHeader,
                    unsigned int requestNumber);

private:
    void test(const std::vector<FilterSettings::Rule>& rules, unsigned int requestNumber);

    std::string line;
    std::vector<char> matched;  // by FilterSettings::Rule::nameIndex
};

}  // namespace cgp
