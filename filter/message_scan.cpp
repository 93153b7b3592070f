#include "filter/message_scan.h"

#include <time.h>

#include <algorithm>
#include <exception>
#include <ios>
#include <map>
#include <utility>

#include "foundation/log_line.h"
#include "foundation/read_line.h"

namespace cgp {

namespace {

const char* const matchPrefix = "X-Regex-Match: ";
const char* const longLineNotice =
    "X-Regex-Match: A very long line has been found, only the first 4096 characters have been scanned";
const char* const scannerLine = "X-ExtScanner: Tolmagrid's Vorpelin";

constexpr std::size_t readPastChunk = 64 * 1024;

// The coarse clock costs a few nanoseconds to read, which matters when it is read before
// every test; its resolution of a few milliseconds does not.
std::int64_t monotonicNanoseconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::string describe(std::chrono::milliseconds budget) {
    if (budget.count() % 1000 == 0) return std::to_string(budget.count() / 1000) + " seconds";
    return std::to_string(budget.count()) + " milliseconds";
}

}  // namespace

MessageScanner::MessageScanner() : readPast(readPastChunk) { line.reserve(maxTestedLine); }

ScanResult MessageScanner::scan(std::istream& in, const FilterSettings& rules, bool noScannerHeader,
                                unsigned int number, const RulesPrefilter* prefilter) {
    prefilterInUse = nullptr;
    // A prefilter numbers the rules it was built from; any other rules would be misread.
    if (prefilter && prefilter->generation == rules.generation() &&
        prefilter->headerLines->ruleCount() == rules.headerRules().size() + rules.fullRules().size() &&
        prefilter->bodyLines->ruleCount() == rules.bodyRules().size() + rules.fullRules().size()) {
        // Preparing costs more than a scan of a short message, so it is done once per
        // prefilter; the serial tells a new prefilter at a freed one's address apart.
        if (prefilter->serial != preparedSerial) {
            preparedSerial = 0;
            if (prefilter->headerLines->prepare(headerScratch) && prefilter->bodyLines->prepare(bodyScratch)) {
                findTwins(rules.headerRules(), rules.fullRules(), headerTwins);
                findTwins(rules.bodyRules(), rules.fullRules(), bodyTwins);
                preparedSerial = prefilter->serial;
            }
        }
        if (preparedSerial == prefilter->serial) prefilterInUse = prefilter;
    }
    matched.assign(rules.names().size(), 0);
    longLine = false;
    timeUp = false;
    requestNumber = number;
    deadline = monotonicNanoseconds() + std::chrono::nanoseconds(timeBudget).count();

    // The stream's own functions would swallow a failing read into badbit; with badbit in
    // the mask they pass it on, so every failure is told the same way.
    const std::ios::iostate mask = in.exceptions();
    try {
        in.exceptions(mask | std::ios::badbit);
        headerPass(in, rules);
        bodyPass(in, rules);
    } catch (const std::exception& e) {
        tmg::logline(requestNumber) << "Message file could not be read: " << e.what()
                                    << ": the rest of the message was not tested";
    }
    in.exceptions(in.bad() ? mask & ~std::ios::badbit : mask);

    ScanResult result;
    result.action = AddHeader;
    const std::vector<std::string>& names = rules.names();
    for (std::size_t i = 0; i < names.size(); ++i)
        if (matched[i]) result.lines.push_back(matchPrefix + names[i]);
    if (longLine) result.lines.push_back(longLineNotice);
    if (!noScannerHeader) result.lines.push_back(scannerLine);
    return result;
}

void MessageScanner::headerPass(std::istream& in, const FilterSettings& rules) {
    std::size_t before = 0;  // bytes of the header lines read so far
    bool overLogged = false;
    while (in.good() && !outOfTime()) {
        bool cut = false;
        // The empty line ends the header; so does the end of the file, which leaves the
        // stream no longer good, so that there is no body pass.
        std::size_t length = readTestedLine(in, true, cut);
        if (length == 0) return;
        if (before < headerBudgetBytes) {
            if (cut) longLine = true;
            testLine(rules.headerRules(), rules.fullRules(),
                     prefilterInUse ? prefilterInUse->headerLines.get() : nullptr, headerScratch, headerTwins);
        } else if (!overLogged) {
            overLogged = true;
            tmg::logline(requestNumber) << "Header over " << headerBudgetBytes
                                        << " bytes: the rest of the header was not tested";
        }
        before += length + 1;
    }
}

void MessageScanner::bodyPass(std::istream& in, const FilterSettings& rules) {
    // Wide enough that a limit of INT_MAX cannot overflow it.
    long long count = 0;
    while (in.good() && !outOfTime()) {
        // The rest of the last tested line is never needed.
        bool last = count >= rules.maxBodyLines();
        bool cut = false;
        readTestedLine(in, !last, cut);
        if (cut) longLine = true;
        testLine(rules.bodyRules(), rules.fullRules(), prefilterInUse ? prefilterInUse->bodyLines.get() : nullptr,
                 bodyScratch, bodyTwins);
        if (++count > rules.maxBodyLines()) break;
    }
}

std::size_t MessageScanner::readTestedLine(std::istream& in, bool skipRest, bool& cut) {
    cut = tmg::readLine(in, line, maxTestedLine, false);
    if (!cut) return line.size();
    // The character that showed the line to be long has been read.
    std::size_t length = line.size() + 1;
    if (skipRest) length += skipRestOfLine(in);
    return length;
}

std::size_t MessageScanner::skipRestOfLine(std::istream& in) {
    std::size_t skipped = 0;
    for (;;) {
        in.getline(readPast.data(), static_cast<std::streamsize>(readPast.size()));
        std::size_t got = static_cast<std::size_t>(in.gcount());
        if (in.eof() || in.bad()) return skipped + got;
        if (!in.fail()) return skipped + got - 1;  // the line feed was taken too
        // A full chunk and no line feed yet.
        in.clear();
        skipped += got;
        if (outOfTime()) return skipped;
    }
}

void MessageScanner::testLine(const std::vector<FilterSettings::Rule>& first,
                              const std::vector<FilterSettings::Rule>& full, const RegexPrefilter* prefilter,
                              RegexPrefilter::Scratch& scratch, Twins& twins) {
    if (!prefilter) {
        for (const auto* rules : {&first, &full})
            for (const FilterSettings::Rule& rule : *rules)
                if (!test(rule)) return;
        return;
    }
    // A failed engine pass names every rule. The candidates come in rule order, so the
    // rules meet the line in the same order as without the prefilter.
    prefilter->scan(line.data(), line.data() + line.size(), scratch);
    if (++twins.stamp == 0) {
        std::fill(twins.lineStamp.begin(), twins.lineStamp.end(), 0);
        twins.stamp = 1;
    }
    for (std::uint32_t i : prefilter->candidates(scratch))
        if (!test(i < first.size() ? first[i] : full[i - first.size()], &twins, i)) return;
}

bool MessageScanner::test(const FilterSettings::Rule& rule, Twins* twins, std::uint32_t index) {
    // Once a name has matched the answer cannot change, so its rules rest.
    if (matched[rule.nameIndex]) return true;
    if (outOfTime()) return false;
    std::uint32_t twin = twins ? twins->first[index] : 0;
    bool hit = false, failed = false;
    if (twins && twins->lineStamp[twin] == twins->stamp) {
        hit = twins->answer[twin] != 0;
    } else {
        hit = lineMatches(rule, failed);
        // A failure is not passed on: each rule it meets logs its own.
        if (twins && !failed) {
            twins->lineStamp[twin] = twins->stamp;
            twins->answer[twin] = hit;
        }
    }
    if (hit) matched[rule.nameIndex] = 1;
    return true;
}

bool MessageScanner::lineMatches(const FilterSettings::Rule& rule, bool& failed) {
    try {
        return boost::regex_search(line.data(), line.data() + line.size(), rule.pattern);
    } catch (const std::exception& e) {
        tmg::logline(requestNumber) << "Rule " << rule.name << " could not be matched: " << e.what();
        failed = true;
        return false;
    }
}

void MessageScanner::findTwins(const std::vector<FilterSettings::Rule>& first,
                               const std::vector<FilterSettings::Rule>& full, Twins& twins) {
    std::map<std::pair<std::string, boost::regex::flag_type>, std::uint32_t> seen;
    twins.first.clear();
    for (const auto* rules : {&first, &full})
        for (const FilterSettings::Rule& rule : *rules) {
            auto index = static_cast<std::uint32_t>(twins.first.size());
            twins.first.push_back(seen.emplace(std::make_pair(rule.pattern.str(), rule.pattern.flags()), index).first->second);
        }
    twins.lineStamp.assign(twins.first.size(), 0);
    twins.answer.assign(twins.first.size(), 0);
    twins.stamp = 0;
}

bool MessageScanner::outOfTime() {
    if (timeUp) return true;
    if (monotonicNanoseconds() < deadline) return false;
    timeUp = true;
    tmg::logline(requestNumber) << "Scan stopped after " << describe(timeBudget)
                                << ": the rest of the message was not tested";
    return true;
}

}  // namespace cgp
