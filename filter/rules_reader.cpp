// Reading the text of a rules file into a FilterSettings.

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <exception>
#include <string_view>

#include "filter/filter_settings.h"
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

// A rule line without its indent: the name, blanks, and the pattern between slashes
// followed by the options. Greedy, so the name and the pattern are as long as they can be.
const boost::regex& ruleLine() {
    static const boost::regex* expression = new boost::regex("^(.*[^ \\t])[ \\t]+/(.*[^\\\\])/(.*)$");
    return *expression;
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

void FilterSettings::read(std::istream& in) {
    clear();
    Section section = NoSection;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        std::size_t indent = firstNonBlank(line);
        if (indent == line.size() || line[indent] == ';') continue;

        if (indent == 0) {
            section = sectionOf(line);
            if (section == NoSection) reportInvalidSection(line);
            continue;
        }
        if (section == Config) {
            if (tmg::startsWithNoCase(std::string_view(line).substr(indent), "MAXBODYLINES"))
                bodyLineLimit = readInteger(getValue(line));
            continue;
        }
        if (line.find('/') == std::string::npos) continue;
        line.erase(0, indent);

        boost::smatch parts;
        bool isRule = false;
        try {
            isRule = boost::regex_match(line, parts, ruleLine());
        } catch (const std::exception&) {
            // The library gave up on a pathological line; it is no rule.
        }
        if (!isRule) {
            reportInvalidRegex(lineNumber);
            continue;
        }
        std::vector<Rule>* list = section == Headers ? &headers
                                  : section == Body  ? &body
                                  : section == Full  ? &full
                                                     : nullptr;
        if (!list) continue;

        Rule rule;
        rule.name = escapeName(parts.str(1));
        boost::regex::flag_type syntax = boost::regex::perl;
        if (parts.str(3).find('i') != std::string::npos) syntax |= boost::regex::icase;
        try {
            rule.pattern.assign(parts[2].first, parts[2].second, syntax);
        } catch (const std::exception&) {
            reportInvalidRegex(lineNumber);
            continue;
        }
        list->push_back(std::move(rule));
    }
    indexNames();
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
