// Feeds arbitrary bytes to the message scan as a queue file: envelope, header lines and
// body, under rules picked by the first byte from a small set of the kinds spam rules use
// (anchored ones, which a line of carriage returns makes costly, a back-reference, nested
// quantifiers). The scan must not crash, must answer within its time budget (give or take
// one search, which cannot be interrupted), and the added lines must be distinct rule
// names in ascending order, the long-line notice, then the scanner line.
//
// The scanner checks its deadline before each search and cannot interrupt one, so a scan
// may overrun its budget by one search: on a line of maxTestedLine characters a rule such
// as /(a+)+$/ runs until Boost's complexity limit throws, which under the fuzzer's
// instrumentation takes seconds. So the time is the thread's processor time, which a
// core shared with other fuzzers does not inflate, and one search may take up to 8 s.
// With a budget of zero no search starts and nothing is read.
#include <time.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "filter/ext_filter.h"
#include "filter/filter_settings.h"
#include "filter/message_scan.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

[[maybe_unused]] const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;

const char* const ruleLines[8] = {
    "HEADERS\n  Subject /^Subject:.*\\b(free|money|offer)\\b/i\n",
    "HEADERS\n  Anchored /^[ \\t]*(X|Y)-[a-z]+:/\n",
    "BODY\n  Repeat /\\b(\\w{3,})\\W+\\1\\b/\n",
    "BODY\n  Runaway /(a+)+$/\n  Shout /[A-Z]{8,}/\n",
    "FULL\n  Dollar /\\$[0-9]{3,}/\n  Cr /\\r$/\n",
    "FULL\n  Lazy /^.*?(click|here).*?$/i\n",
    "CONFIG\n  MAXBODYLINES: 3\n",
    "CONFIG\n  MAXBODYLINES: 100000\n",
};

const FilterSettings& rulesFor(std::uint8_t pick) {
    static std::unique_ptr<FilterSettings> cache[256];
    if (!cache[pick]) {
        std::string text;
        for (int i = 0; i < 8; ++i)
            if (pick & (1 << i)) text += ruleLines[i];
        std::istringstream in(text);
        cache[pick].reset(new FilterSettings);
        cache[pick]->read(in);
    }
    return *cache[pick];
}

const std::string notice =
    "X-Regex-Match: A very long line has been found, only the first 4096 characters have been scanned";

const std::string scannerLine = "X-ExtScanner: Tolmagrid's Vorpelin";

const auto budget = std::chrono::milliseconds(100);
// The one search that may still run at the deadline, on a line of maxTestedLine characters
// under the fuzzer's instrumentation.
const auto oneSearch = std::chrono::seconds(8);

// The processor time this thread has used.
std::chrono::nanoseconds threadTime() {
    struct timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const FilterSettings& rules = rulesFor(data[0]);
    const std::string message(reinterpret_cast<const char*>(data) + 1, size - 1);
    cgp::MessageScanner scanner;

    // A scan out of time from the start tests nothing and reads nothing.
    std::istringstream untouched(message);
    scanner.setTimeBudgetForTests(std::chrono::milliseconds(0));
    cgp::ScanResult none = scanner.scan(untouched, rules, false, 7);
    check(none.action == cgp::AddHeader && none.lines.size() == 1 && none.lines[0] == scannerLine);
    check(untouched.tellg() == 0);

    std::istringstream in(message);
    cgp::ExtFilter::skipEnvelope(in);
    scanner.setTimeBudgetForTests(budget);
    auto start = threadTime();
    cgp::ScanResult result = scanner.scan(in, rules, false, 7);
    check(threadTime() - start < budget + oneSearch);

    check(scanner.lineCapacity() <= cgp::maxTestedLine);
    check(result.action == cgp::AddHeader);
    check(!result.lines.empty() && result.lines.back() == scannerLine);
    std::size_t names = result.lines.size() - 1;
    if (names > 0 && result.lines[names - 1] == notice) --names;
    check(names <= rules.names().size());
    for (std::size_t i = 0; i < names; ++i) {
        check(result.lines[i].compare(0, 15, "X-Regex-Match: ") == 0);
        if (i > 0) check(result.lines[i - 1] < result.lines[i]);
    }
    return 0;
}
