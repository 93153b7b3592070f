#include "foundation/case_fold.h"

namespace tmg {

std::string foldCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = foldCase(c);
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

int compareNoCase(std::string_view a, std::string_view b) {
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        int d = int(foldCase(static_cast<unsigned char>(a[i]))) - int(foldCase(static_cast<unsigned char>(b[i])));
        if (d != 0) return d;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

}  // namespace tmg
