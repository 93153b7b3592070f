#pragma once

// A large, real rule set for the benchmarks: the header, body and full regular-expression
// rules of Debian's spamassassin package, written as a rules file. The package is not a
// build or test dependency; a benchmark that wants it says how to install it.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <boost/regex.hpp>

namespace bench {

inline const char* const spamAssassinFolder = "/usr/share/spamassassin";

// The rules file text with at most limit rules, taken evenly from the whole set, and
// MAXBODYLINES maxBodyLines; rules is set to how many it holds, 0 when the package is
// not installed. Only the option i is kept: rules with other options, and patterns that
// Boost refuses, are left out. A header rule tests the whole header line with the pattern
// of the header's value.
inline std::string spamAssassinRules(std::size_t limit, int maxBodyLines, std::size_t& rules) {
    rules = 0;
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(spamAssassinFolder, error))
        if (entry.path().extension() == ".cf") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());

    const boost::regex ruleLine("^\\s*(header|body|rawbody|full)\\s+(\\S+)\\s+(?:\\S+\\s*=~\\s*)?/(.*)/([a-z]*)\\s*(#.*)?$");
    std::vector<std::pair<int, std::string>> found;  // section, rule line
    for (const std::string& file : files) {
        std::ifstream in(file);
        std::string line;
        while (std::getline(in, line)) {
            boost::smatch parts;
            if (!boost::regex_match(line, parts, ruleLine)) continue;
            std::string kind = parts.str(1), flags = parts.str(4);
            if (flags.find_first_not_of("i") != std::string::npos) continue;
            if (kind == "header" && line.find("=~") == std::string::npos) continue;
            try {
                boost::regex(parts.str(3), boost::regex::perl | (flags.empty() ? 0 : boost::regex::icase));
            } catch (const std::exception&) {
                continue;
            }
            int section = kind == "header" ? 0 : kind == "full" ? 2 : 1;
            found.emplace_back(section, "  " + parts.str(2) + "  /" + parts.str(3) + "/" + flags + "\n");
        }
    }
    std::string text = "CONFIG\n  MAXBODYLINES: " + std::to_string(maxBodyLines) + "\n";
    const char* names[3] = {"HEADERS\n", "BODY\n", "FULL\n"};
    for (int s = 0; s < 3; ++s) {
        text += names[s];
        for (std::size_t i = 0; i < found.size(); ++i) {
            // Rule i is taken when the count of taken rules (i * limit / size) steps up.
            bool taken = limit >= found.size() || (i * limit) % found.size() < limit;
            if (found[i].first == s && taken) {
                text += found[i].second;
                ++rules;
            }
        }
    }
    return text;
}

}  // namespace bench
