#include "foundation/fs_wildcard.h"

namespace tmg::fs {

namespace {

bool onlyStarsFrom(const std::string& pattern, std::size_t p) {
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace

// Greedy matching with one remembered star: after a mismatch the text after the last
// star is tried again one name character further on. Linear in practice, no recursion.
bool wildcardMatch(const std::string& pattern, const std::string& name) {
    const std::size_t plen = pattern.size();
    const std::size_t nlen = name.size();
    std::size_t p = 0;
    std::size_t n = 0;

    while (n < nlen && !(p < plen && pattern[p] == '*')) {
        if (p >= plen || (pattern[p] != '?' && pattern[p] != name[n])) return false;
        ++p;
        ++n;
    }
    if (n == nlen) return onlyStarsFrom(pattern, p);

    std::size_t starPattern = p;
    std::size_t starName = n;
    while (n < nlen) {
        if (p < plen && pattern[p] == '*') {
            if (++p == plen) return true;
            starPattern = p;
            starName = n + 1;
        } else if (p < plen && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else {
            p = starPattern;
            n = starName++;
        }
    }
    return onlyStarsFrom(pattern, p);
}

}  // namespace tmg::fs
