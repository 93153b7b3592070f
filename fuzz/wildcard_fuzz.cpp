// Differential check of the directory mask matcher against a plain dynamic-programming
// matcher of the same language ("*" any run, "?" one byte, everything else itself).
// The input is pattern, a NUL byte, then the name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/fs_wildcard.h"

namespace {

bool referenceMatch(const std::string& pattern, const std::string& name) {
    // row[j]: the pattern so far matches the first j bytes of name.
    std::vector<char> row(name.size() + 1, 0);
    row[0] = 1;
    for (char p : pattern) {
        std::vector<char> next(name.size() + 1, 0);
        if (p == '*') {
            next[0] = row[0];
            for (std::size_t j = 1; j <= name.size(); ++j) next[j] = row[j] || next[j - 1];
        } else {
            for (std::size_t j = 1; j <= name.size(); ++j) next[j] = row[j - 1] && (p == '?' || p == name[j - 1]);
        }
        row.swap(next);
    }
    return row[name.size()];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 512) return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t split = input.find('\0');
    if (split == std::string::npos) split = input.size();
    const std::string pattern = input.substr(0, split);
    const std::string name = split < input.size() ? input.substr(split + 1) : std::string();
    if (tmg::fs::wildcardMatch(pattern, name) != referenceMatch(pattern, name)) std::abort();
    return 0;
}
