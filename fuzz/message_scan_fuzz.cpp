// Feeds arbitrary bytes to the message scan as a queue file: envelope, header lines and
// body, under a small set of rules of the kinds spam rules use (one of them prone to
// runaway backtracking). The scan must not crash, must answer, and the added lines must be
// distinct rule names in ascending order, the long-line notice, then the scanner line.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

const FilterSettings& rules() {
    static FilterSettings* settings = [] {
        auto* s = new FilterSettings;
        std::istringstream in(
            "CONFIG\n  MAXBODYLINES: 3\n"
            "HEADERS\n  Subject /^Subject:.*\\b(free|money|offer)\\b/i\n  Numeric /@\\[?[0-9]+\\.[0-9]+/\n"
            "BODY\n  Buy /buy (it )?now/i\n  Shout /[A-Z]{8,}/\n  Runaway /(a+)+$/\n"
            "FULL\n  Dollar /\\$[0-9]{3,}/\n  Empty /^$/\n  Cr /\\r$/\n");
        s->read(in);
        return s;
    }();
    return *settings;
}

const std::string notice =
    "X-Regex-Match: A very long line has been found, only the first 4096 characters have been scanned";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    cgp::ExtFilter::skipEnvelope(in);
    cgp::MessageScanner scanner;
    cgp::ScanResult result = scanner.scan(in, rules(), false, 7);

    check(result.action == cgp::AddHeader);
    check(!result.lines.empty() && result.lines.back() == "X-ExtScanner: Tolmagrid's Vorpelin");
    std::size_t names = result.lines.size() - 1;
    if (names > 0 && result.lines[names - 1] == notice) --names;
    check(names <= rules().names().size());
    for (std::size_t i = 0; i < names; ++i) {
        check(result.lines[i].compare(0, 15, "X-Regex-Match: ") == 0);
        if (i > 0) check(result.lines[i - 1] < result.lines[i]);
    }
    return 0;
}
