// Reading the text of a rules file into a FilterSettings.

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <string_view>
#include <unordered_map>

#include "filter/filter_settings.h"
#include "filter/bounded_compile.h"
#include "filter/rule_line.h"
#include "foundation/case_fold.h"

namespace {

enum Section { NoSection = 0, Config = 1, Headers = 2, Body = 3, Full = 4 };

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::size_t firstNonBlank(const std::string& line) {
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    return i;
}

// atoi without its undefined overflow: leading white space, an optional sign, the digits;
// 0 when no digit follows, clamped to the range of int.
int readInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// The section a header line opens, by the keyword it starts with.
Section sectionOf(const std::string& line) {
    if (tmg::startsWithNoCase(line, "CONFIG")) return Config;
    if (tmg::startsWithNoCase(line, "HEADERS")) return Headers;
    if (tmg::startsWithNoCase(line, "BODY")) return Body;
    if (tmg::startsWithNoCase(line, "FULL")) return Full;
    return NoSection;
}

// The name made fit to stand inside a quoted protocol text.
std::string escapeName(const std::string& name) {
    std::string escaped;
    escaped.reserve(name.size() + 8);
    for (char c : name) {
        if (c == '\\') escaped += "\\\\";
        else if (c == '"') escaped += "\\\"";
        else escaped.push_back(c);
    }
    return escaped;
}

void reportInvalidSection(const std::string& line) {
    std::printf("* Settings Parser: Invalid Section Found (%s)\n", line.c_str());
    std::fflush(stdout);
}

void reportInvalidRegex(int lineNumber) {
    std::printf("* Invalid Regex at line %d\n", lineNumber);
    std::fflush(stdout);
}

}  // namespace

std::string FilterSettings::getValue(const std::string& line) {
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) return std::string();
    std::size_t begin = colon + 1;
    while (begin < line.size() && isBlank(line[begin])) ++begin;
    std::size_t end = line.size();
    while (end > begin && isBlank(line[end - 1])) --end;
    return line.substr(begin, end - begin);
}

namespace {

// A line of the file as the read met it: a message to print, or a rule to keep.
struct Entry {
    enum Kind { InvalidSection, InvalidRule, Rule };
    Entry(Kind what, int number, std::string line = std::string()) : kind(what), lineNumber(number), text(std::move(line)) {}

    Kind kind;
    int lineNumber;
    std::string text;  // the line of an invalid section
    std::vector<FilterSettings::Rule>* list = nullptr;
    std::string name;
    std::string pattern;
    boost::regex::flag_type flags = boost::regex::perl;
    const boost::regex* kept = nullptr;  // the previous read's compile of the same pattern
    std::size_t compile = 0;             // else its place in the batch
    bool refused = false;                // the previous read could not compile it
};

std::string_view textOf(const boost::regex& expression) {
    return std::string_view(expression.begin(), expression.size());
}

// What identifies a compile: the pattern and the syntax flags.
std::string keyOf(std::string_view pattern, boost::regex::flag_type flags) {
    std::string key = std::to_string(flags) + ":";
    key.append(pattern.data(), pattern.size());
    return key;
}

bool sameRules(const std::vector<FilterSettings::Rule>& a, const std::vector<FilterSettings::Rule>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (a[k].name != b[k].name || a[k].pattern.flags() != b[k].pattern.flags()) return false;
        if (a[k].pattern.begin() != b[k].pattern.begin() && textOf(a[k].pattern) != textOf(b[k].pattern)) return false;
    }
    return true;
}

}  // namespace

void FilterSettings::read(std::istream& in) {
    FilterSettings fresh;
    fresh.readAfter(in, *this);
    adopt(std::move(fresh));
}

void FilterSettings::adopt(FilterSettings&& fresh) {
    headers = std::move(fresh.headers);
    body = std::move(fresh.body);
    full = std::move(fresh.full);
    bodyLineLimit = fresh.bodyLineLimit;
    ruleNames = std::move(fresh.ruleNames);
    refusedPatterns = std::move(fresh.refusedPatterns);
    generationNumber = fresh.generationNumber;
}

void FilterSettings::readAfter(std::istream& in, const FilterSettings& previous) {
    // The lines are read first and the patterns compiled after, all at once on a thread
    // that cannot hold the read for long (see compileWithinBounds); the messages are then
    // printed in the order of the lines, as a read that compiled each in turn prints them.
    std::vector<Entry> entries;
    Section section = NoSection;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        std::size_t indent = firstNonBlank(line);
        if (indent == line.size() || line[indent] == ';') continue;

        if (indent == 0) {
            section = sectionOf(line);
            if (section == NoSection) entries.emplace_back(Entry::InvalidSection, lineNumber, line);
            continue;
        }
        if (section == Config) {
            if (tmg::startsWithNoCase(std::string_view(line).substr(indent), "MAXBODYLINES"))
                bodyLineLimit = readInteger(getValue(line));
            continue;
        }
        if (line.find('/') == std::string::npos) continue;
        line.erase(0, indent);

        RuleLine parts;
        if (!splitRuleLine(line, parts)) {
            entries.emplace_back(Entry::InvalidRule, lineNumber);
            continue;
        }
        std::vector<Rule>* list = section == Headers ? &headers
                                  : section == Body  ? &body
                                  : section == Full  ? &full
                                                     : nullptr;
        if (!list) continue;

        Entry rule(Entry::Rule, lineNumber);
        rule.list = list;
        rule.name = escapeName(std::string(parts.name));
        rule.pattern = std::string(parts.pattern);
        if (parts.options.find('i') != std::string_view::npos) rule.flags |= boost::regex::icase;
        entries.push_back(std::move(rule));
    }

    // Patterns compiled by the previous read are taken as they are, and so are those it
    // could not compile; each other one is compiled once.
    std::unordered_multimap<std::string_view, const boost::regex*> compiled;
    for (const auto* list : {&previous.headers, &previous.body, &previous.full})
        for (const Rule& kept : *list) compiled.emplace(textOf(kept.pattern), &kept.pattern);
    std::vector<cgp::BoundedCompile> batch;
    std::unordered_map<std::string, std::size_t> inBatch;
    for (Entry& entry : entries) {
        if (entry.kind != Entry::Rule) continue;
        auto range = compiled.equal_range(entry.pattern);
        for (auto it = range.first; it != range.second && !entry.kept; ++it)
            if (it->second->flags() == entry.flags) entry.kept = it->second;
        if (entry.kept) continue;
        std::string key = keyOf(entry.pattern, entry.flags);
        if (previous.refusedPatterns.count(key)) {
            entry.refused = true;
            continue;
        }
        auto placed = inBatch.emplace(std::move(key), batch.size());
        if (placed.second) {
            batch.emplace_back();
            batch.back().pattern = entry.pattern;
            batch.back().flags = entry.flags;
        }
        entry.compile = placed.first->second;
    }
    cgp::compileWithinBounds(batch);

    for (Entry& entry : entries) {
        if (entry.kind == Entry::InvalidSection) {
            reportInvalidSection(entry.text);
            continue;
        }
        const boost::regex* expression = entry.kept;
        if (entry.kind == Entry::Rule && !expression && !entry.refused &&
            batch[entry.compile].outcome == cgp::BoundedCompile::Compiled)
            expression = &batch[entry.compile].expression;
        if (!expression) {
            if (entry.kind == Entry::Rule) refusedPatterns.insert(keyOf(entry.pattern, entry.flags));
            reportInvalidRegex(entry.lineNumber);
            continue;
        }
        Rule rule;
        rule.name = std::move(entry.name);
        rule.pattern = *expression;
        entry.list->push_back(std::move(rule));
    }
    indexNames();
    if (sameRules(headers, previous.headers) && sameRules(body, previous.body) && sameRules(full, previous.full))
        generationNumber = previous.generationNumber;
}

void FilterSettings::indexNames() {
    ruleNames.clear();
    for (const auto* list : {&headers, &body, &full})
        for (const Rule& rule : *list) ruleNames.push_back(rule.name);
    std::sort(ruleNames.begin(), ruleNames.end());
    ruleNames.erase(std::unique(ruleNames.begin(), ruleNames.end()), ruleNames.end());
    for (auto* list : {&headers, &body, &full})
        for (Rule& rule : *list)
            rule.nameIndex = std::lower_bound(ruleNames.begin(), ruleNames.end(), rule.name) - ruleNames.begin();
}
