#include "filter/quoting.h"

namespace cgp {

// One pass gives the same result as the six replacements applied in turn: each input
// byte is replaced independently, and no replacement's output is rescanned.
std::string escapeString(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\r': break;
            case '\n': out += "\\e"; break;
            case '\t': out += "\\t"; break;
            case '"': out += "\\\""; break;
            case '\0': out += "\\0"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

std::string unescapeString(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    bool escaped = false;
    for (char c : text) {
        if (!escaped) {
            if (c == '\\') escaped = true;
            else out.push_back(c);
            continue;
        }
        escaped = false;
        switch (c) {
            case '\\': out.push_back('\\'); break;
            case '"': out.push_back('"'); break;
            case '0': out.push_back('\0'); break;
            case 'e': out.push_back('\n'); break;
            case 't': out.push_back('\t'); break;
            default: out.push_back('\\'); out.push_back(c);
        }
    }
    if (escaped) out.push_back('\\');
    return out;
}

}  // namespace cgp
