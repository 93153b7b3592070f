// Feeds arbitrary bytes to the rules-file reader as the text of a rules file, then scans a
// fixed message with whatever rules it kept. Neither may crash; the names must come out
// sorted, unique and indexed, and every answer must end with the scanner line. Every short
// line must split as the rule-line expression matches it in Boost, and a second read of the
// same text must keep the generation and every compiled expression.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <sstream>
#include <string>

#include <boost/regex.hpp>

#include "filter/filter_settings.h"
#include "filter/message_scan.h"
#include "filter/rule_line.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// The reader reports on standard output; the noise is not wanted here.
[[maybe_unused]] const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;

const std::string message =
    "Subject: Buy now, FREE money\r\nFrom: x@[192.0.2.1]\n\nDear friend,\naaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab\n\n";

void checkRuleLines(const std::string& text) {
    static const boost::regex grammar("^(.*[^ \\t])[ \\t]+/(.*[^\\\\])/(.*)$");
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.size() > 256) continue;  // Boost backtracks through long ones
        boost::smatch groups;
        RuleLine parts;
        bool matched = false;
        try {
            matched = boost::regex_match(line, groups, grammar);
        } catch (const std::exception&) {
            continue;  // Boost gave up; the split has no answer to compare with
        }
        check(splitRuleLine(line, parts) == matched);
        if (matched) check(parts.name == groups.str(1) && parts.pattern == groups.str(2) && parts.options == groups.str(3));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkRuleLines(text);
    FilterSettings settings;
    std::istringstream in(text);
    settings.read(in);
    const FilterSettings first = settings;
    std::istringstream again(text);
    settings.read(again);
    check(settings.generation() == first.generation());
    for (auto list : {&FilterSettings::headerRules, &FilterSettings::bodyRules, &FilterSettings::fullRules}) {
        check((settings.*list)().size() == (first.*list)().size());
        for (std::size_t k = 0; k < (settings.*list)().size(); ++k)
            check((settings.*list)()[k].pattern.begin() == (first.*list)()[k].pattern.begin());
    }

    const auto& names = settings.names();
    for (std::size_t i = 1; i < names.size(); ++i) check(names[i - 1] < names[i]);
    for (const auto* list : {&settings.headerRules(), &settings.bodyRules(), &settings.fullRules()})
        for (const auto& rule : *list) check(rule.nameIndex < names.size() && names[rule.nameIndex] == rule.name);

    std::istringstream mail(message);
    cgp::MessageScanner scanner;
    cgp::ScanResult result = scanner.scan(mail, settings, false, 1);
    check(result.action == cgp::AddHeader && !result.lines.empty());
    check(result.lines.back() == "X-ExtScanner: Tolmagrid's Vorpelin");
    check(result.lines.size() <= names.size() + 1);
    return 0;
}
