#include "filter/message_scan.h"

#include <exception>
#include <limits>

#include "foundation/log_line.h"

namespace cgp {

namespace {

const char* const matchPrefix = "X-Regex-Match: ";
const char* const longLineNotice =
    "X-Regex-Match: A very long line has been found, only the first 4096 characters have been scanned";
const char* const scannerLine = "X-ExtScanner: Tolmagrid's Vorpelin";

}  // namespace

bool readLine(std::istream& in, std::string& line, std::size_t limit, bool skipRest) {
    line.clear();
    std::streambuf* buffer = in.rdbuf();
    if (!buffer) {
        in.setstate(std::ios::badbit);
        return false;
    }
    for (;;) {
        int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            return false;
        }
        if (c == '\n') return false;
        if (line.size() == limit) {
            if (skipRest) in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            return true;
        }
        line.push_back(static_cast<char>(c));
    }
}

ScanResult MessageScanner::scan(std::istream& in, const FilterSettings& rules, bool noScannerHeader,
                                unsigned int requestNumber) {
    matched.assign(rules.names().size(), 0);
    bool longLine = false;

    bool bodyReached = false;
    while (in.good()) {
        readLine(in, line);
        if (line.empty()) {
            bodyReached = true;
            break;
        }
        test(rules.headerRules(), requestNumber);
        test(rules.fullRules(), requestNumber);
    }
    if (bodyReached) {
        // Wide enough that a limit of INT_MAX cannot overflow it.
        long long count = 0;
        while (in.good()) {
            // The rest of the last tested line is never needed.
            bool last = count >= rules.maxBodyLines();
            if (readLine(in, line, maxTestedBodyLine, !last)) longLine = true;
            test(rules.bodyRules(), requestNumber);
            test(rules.fullRules(), requestNumber);
            if (++count > rules.maxBodyLines()) break;
        }
    }

    ScanResult result;
    result.action = AddHeader;
    const std::vector<std::string>& names = rules.names();
    for (std::size_t i = 0; i < names.size(); ++i)
        if (matched[i]) result.lines.push_back(matchPrefix + names[i]);
    if (longLine) result.lines.push_back(longLineNotice);
    if (!noScannerHeader) result.lines.push_back(scannerLine);
    return result;
}

void MessageScanner::test(const std::vector<FilterSettings::Rule>& rules, unsigned int requestNumber) {
    const char* begin = line.data();
    const char* end = begin + line.size();
    for (const FilterSettings::Rule& rule : rules) {
        // Once a name has matched the answer cannot change, so its rules rest.
        if (matched[rule.nameIndex]) continue;
        try {
            if (boost::regex_search(begin, end, rule.pattern)) matched[rule.nameIndex] = 1;
        } catch (const std::exception& e) {
            tmg::logline(requestNumber) << "Rule " << rule.name << " could not be matched: " << e.what();
        }
    }
}

}  // namespace cgp
