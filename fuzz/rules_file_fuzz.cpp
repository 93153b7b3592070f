// Feeds arbitrary bytes to the rules-file reader as the text of a rules file, then scans a
// fixed message with whatever rules it kept. Neither may crash; the names must come out
// sorted, unique and indexed, and every answer must end with the scanner line.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "filter/filter_settings.h"
#include "filter/message_scan.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// The reader reports on standard output; the noise is not wanted here.
[[maybe_unused]] const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;

const std::string message =
    "Subject: Buy now, FREE money\r\nFrom: x@[192.0.2.1]\n\nDear friend,\naaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab\n\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FilterSettings settings;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    settings.read(in);

    const auto& names = settings.names();
    for (std::size_t i = 1; i < names.size(); ++i) check(names[i - 1] < names[i]);
    for (const auto* list : {&settings.headerRules(), &settings.bodyRules(), &settings.fullRules()})
        for (const auto& rule : *list) check(rule.nameIndex < names.size() && names[rule.nameIndex] == rule.name);

    std::istringstream text(message);
    cgp::MessageScanner scanner;
    cgp::ScanResult result = scanner.scan(text, settings, false, 1);
    check(result.action == cgp::AddHeader && !result.lines.empty());
    check(result.lines.back() == "X-ExtScanner: Tolmagrid's Vorpelin");
    check(result.lines.size() <= names.size() + 1);
    return 0;
}
