#pragma once

// A large, real rule set for the benchmarks: the header, body and full regular-expression
// rules of Debian's spamassassin package, written as a rules file. The package is not a
// build or test dependency; a benchmark that wants it says how to install it.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <boost/regex.hpp>

namespace bench {

inline const char* const spamAssassinFolder = "/usr/share/spamassassin";

namespace detail {

// The package's replace tags: rules named in "replace_rules" are written with tags such as
// "<V><I><A>" that an installation expands before it compiles them, and those expanded rules
// (some of them tens of kilobytes long) are what a real rule set holds.
struct ReplaceTags {
    std::map<std::string, std::string> tags, pre, inter, post;
    std::set<std::string> rules;

    bool take(const std::string& line) {
        static const boost::regex definition("^\\s*replace_(tag|pre|inter|post)\\s+(\\S+)\\s+(.*?)\\s*$");
        static const boost::regex listed("^\\s*replace_rules\\s+(.*?)\\s*$");
        boost::smatch parts;
        if (boost::regex_match(line, parts, definition)) {
            std::string kind = parts.str(1);
            auto& table = kind == "tag" ? tags : kind == "pre" ? pre : kind == "inter" ? inter : post;
            table[parts.str(2)] = parts.str(3);
            return true;
        }
        if (boost::regex_match(line, parts, listed)) {
            std::string names = parts.str(1) + " ";
            for (std::size_t at = 0, space; (space = names.find_first_of(" \t", at)) != std::string::npos; at = space + 1)
                if (space > at) rules.insert(names.substr(at, space - at));
            return true;
        }
        return false;
    }

    // A tag's value with the tags inside it expanded in turn.
    std::string value(const std::string& name, int depth = 0) const {
        std::string text = tags.at(name);
        if (depth > 10) return text;
        static const boost::regex inner("<([A-Za-z0-9_]+)>");
        std::string out;
        auto last = text.cbegin();
        for (boost::sregex_iterator it(text.begin(), text.end(), inner), end; it != end; ++it) {
            if (!tags.count(it->str(1))) continue;
            out.append(last, (*it)[0].first);
            out += value(it->str(1), depth + 1);
            last = (*it)[0].second;
        }
        out.append(last, text.cend());
        return out;
    }

    // The pattern as the package expands it: "<pre X>", "<inter X>" and "<post X>" choose
    // what goes before each tag, between two adjacent tags and after each tag; every tag is
    // then replaced by its value.
    std::string expand(std::string pattern) const {
        static const boost::regex chooser("<(pre|inter|post) ([A-Za-z0-9_]+)>");
        std::string before, between, after;
        boost::smatch parts;
        while (boost::regex_search(pattern, parts, chooser)) {
            const auto& table = parts.str(1) == "pre" ? pre : parts.str(1) == "inter" ? inter : post;
            auto found = table.find(parts.str(2));
            std::string text = found == table.end() ? std::string() : found->second;
            (parts.str(1) == "pre" ? before : parts.str(1) == "inter" ? between : after) = text;
            pattern.erase(static_cast<std::size_t>(parts[0].first - pattern.cbegin()), static_cast<std::size_t>(parts[0].length()));
        }
        static const boost::regex tag("<([A-Za-z0-9_]+)>");
        std::string out;
        auto last = pattern.cbegin();
        bool previousWasTag = false;
        for (boost::sregex_iterator it(pattern.begin(), pattern.end(), tag), end; it != end; ++it) {
            if (!tags.count(it->str(1))) continue;
            bool adjacent = previousWasTag && (*it)[0].first == last;
            out.append(last, (*it)[0].first);
            if (adjacent) out += between;
            out += before + value(it->str(1)) + after;
            last = (*it)[0].second;
            previousWasTag = true;
        }
        out.append(last, pattern.cend());
        return out;
    }
};

}  // namespace detail

// The rules file text with at most limit rules, taken evenly from the whole set, and
// MAXBODYLINES maxBodyLines; rules is set to how many it holds, 0 when the package is
// not installed. Replace tags are expanded in the rules that ask for it. The options are
// written as the package gives them, and the filter reads only i of them, as it would in an
// installation that took these rules; patterns that Boost refuses are left out. A header
// rule tests the whole header line with the pattern of the header's value.
inline std::string spamAssassinRules(std::size_t limit, int maxBodyLines, std::size_t& rules) {
    rules = 0;
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(spamAssassinFolder, error))
        if (entry.path().extension() == ".cf") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());

    const boost::regex ruleLine("^\\s*(header|body|rawbody|full)\\s+(\\S+)\\s+(?:\\S+\\s*=~\\s*)?/(.*)/([a-z]*)\\s*(#.*)?$");
    struct Found {
        int section;
        std::string name, pattern, flags;
    };
    std::vector<Found> found;
    detail::ReplaceTags replace;
    for (const std::string& file : files) {
        std::ifstream in(file);
        std::string line;
        while (std::getline(in, line)) {
            if (replace.take(line)) continue;
            boost::smatch parts;
            if (!boost::regex_match(line, parts, ruleLine)) continue;
            std::string kind = parts.str(1), flags = parts.str(4);
            if (kind == "header" && line.find("=~") == std::string::npos) continue;
            int section = kind == "header" ? 0 : kind == "full" ? 2 : 1;
            found.push_back(Found{section, parts.str(2), parts.str(3), flags});
        }
    }
    std::vector<std::pair<int, std::string>> taken;  // section, rule line
    for (Found& rule : found) {
        if (replace.rules.count(rule.name)) rule.pattern = replace.expand(rule.pattern);
        try {
            boost::regex(rule.pattern, boost::regex::perl | (rule.flags.find('i') == std::string::npos ? 0 : boost::regex::icase));
        } catch (const std::exception&) {
            continue;
        }
        taken.emplace_back(rule.section, "  " + rule.name + "  /" + rule.pattern + "/" + rule.flags + "\n");
    }
    std::string text = "CONFIG\n  MAXBODYLINES: " + std::to_string(maxBodyLines) + "\n";
    const char* names[3] = {"HEADERS\n", "BODY\n", "FULL\n"};
    for (int s = 0; s < 3; ++s) {
        text += names[s];
        for (std::size_t i = 0; i < taken.size(); ++i) {
            // Rule i is taken when the count of taken rules (i * limit / size) steps up.
            bool chosen = limit >= taken.size() || (i * limit) % taken.size() < limit;
            if (taken[i].first == s && chosen) {
                text += taken[i].second;
                ++rules;
            }
        }
    }
    return text;
}

}  // namespace bench
