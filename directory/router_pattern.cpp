// Router patterns: building one from a row's word, and matching a wildcard row.
#include <cstring>

#include "directory/router.h"
#include "foundation/case_fold.h"

namespace cgp {

std::unique_ptr<RouterPattern> makeRouterPattern(const std::string& word, int angle) {
    auto pattern = std::make_unique<RouterPattern>();
    pattern->addressForm = angle != 0;
    std::string text = tmg::foldCase(word);
    if (pattern->addressForm && text.find('@') == std::string::npos) {
        text += '@';
        text += defaultDomain();
    }
    for (std::size_t star = text.find('*'); star != std::string::npos; star = text.find('*', star + 1)) {
        if (star != 0 && text[star - 1] == '\\') continue;
        pattern->wildcard = true;
        pattern->suffix = text.substr(star + 1);
        text.resize(star);
        break;
    }
    pattern->prefix = std::move(text);
    return pattern;
}

std::unique_ptr<RouterPattern> makePipePattern(const std::string& text) {
    std::string inner = text.size() >= 2 ? text.substr(1, text.size() - 2) : text;
    return makeRouterPattern(inner + "@pipe", 0);
}

bool matchRouterPattern(std::string& text, const RouterPattern& left, const RouterPattern& right) {
    const std::size_t n = left.prefix.size();
    if (text.size() < n || !tmg::equalsNoCase(std::string_view(text).substr(0, n), left.prefix)) return false;
    std::size_t middleEnd = text.size();
    if (!left.suffix.empty()) {
        // The first occurrence after the prefix must be the one that ends the text.
        std::size_t found = text.find(left.suffix, n);
        if (found == std::string::npos || found + left.suffix.size() != text.size()) return false;
        middleEnd = found;
    }
    if (!right.wildcard) {
        text = right.prefix;
    } else {
        text = right.prefix + text.substr(n, middleEnd - n) + right.suffix;
    }
    return true;
}

}  // namespace cgp
