#include "filter/regex_compile_hang.h"

#include <cstddef>
#include <vector>

namespace cgp {

namespace {

// What Boost's traits call space in the C locale, and what ends an x-mode comment.
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isSeparator(char c) { return c == '\n' || c == '\r' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Walks a Perl-syntax pattern the way Boost's parser steps through it, far enough to know
// where a possessive quantifier stands and what follows it.
class Walk {
public:
    Walk(std::string_view text, bool extended) : p(text), x(extended) {}

    bool endless() {
        while (i < p.size()) {
            char c = p[i];
            if (x && isSpace(c)) {
                ++i;
            } else if (x && c == '#') {
                while (i < p.size() && !isSeparator(p[i++])) {
                }
            } else if (c == '\\') {
                escape();
            } else if (c == '[') {
                skipClass();
            } else if (c == '(') {
                if (openParen()) continue;
            } else if (c == ')') {
                ++i;
                if (!scopes.empty()) {
                    x = scopes.back();
                    scopes.pop_back();
                }
            } else if (c == '*' || c == '+' || c == '?') {
                ++i;
                if (afterQuantifier()) return true;
            } else if (c == '{') {
                if (repeatRange()) {
                    if (afterQuantifier()) return true;
                } else {
                    ++i;  // a literal brace
                }
            } else {
                ++i;
            }
        }
        return false;
    }

private:
    bool at(std::size_t k, char c) const { return k < p.size() && p[k] == c; }

    void skipTo(char close) {
        while (i < p.size() && p[i] != close) ++i;
        if (i < p.size()) ++i;
    }

    // i stands on a backslash.
    void escape() {
        ++i;
        if (i >= p.size()) return;
        char c = p[i++];
        switch (c) {
        case 'Q': {
            std::size_t end = p.find("\\E", i);
            i = end == std::string_view::npos ? p.size() : end + 2;
            break;
        }
        case 'c':  // a control character: it takes the next one, whatever it is
            if (i < p.size()) ++i;
            break;
        case 'x':
            if (at(i, '{')) skipTo('}');
            else
                for (int n = 0; n < 2 && i < p.size() && isHexDigit(p[i]); ++n) ++i;
            break;
        case 'p':
        case 'P':
        case 'N':
            if (at(i, '{')) skipTo('}');
            else if (c != 'N' && i < p.size()) ++i;
            break;
        case 'g':
        case 'k':
            if (at(i, '{')) skipTo('}');
            else if (at(i, '<')) skipTo('>');
            else if (at(i, '\'')) {
                ++i;
                skipTo('\'');
            }
            break;
        default:
            break;
        }
    }

    // i stands on "[".
    void skipClass() {
        ++i;
        std::size_t first = i;
        if (at(i, '^')) first = ++i;
        while (i < p.size()) {
            char c = p[i];
            if (c == ']' && i != first) {
                ++i;
                return;
            }
            if (c == '\\') {
                i += 2;
            } else if (c == '[' && i + 1 < p.size() && (p[i + 1] == ':' || p[i + 1] == '.' || p[i + 1] == '=')) {
                const char close[3] = {p[i + 1], ']', 0};
                std::size_t end = p.find(close, i + 2);
                i = end == std::string_view::npos ? i + 1 : end + 2;
            } else {
                ++i;
            }
        }
    }

    // i stands on "(". Returns true when it has moved past all it read.
    bool openParen() {
        ++i;
        if (at(i, '*')) {  // a verb such as (*FAIL): an atom
            skipTo(')');
            return true;
        }
        if (!at(i, '?')) {
            scopes.push_back(x);
            return true;
        }
        ++i;
        if (at(i, '#')) {  // a comment: nothing, so what follows repeats what came before
            skipTo(')');
            return true;
        }
        if (at(i, '<') && !at(i + 1, '=') && !at(i + 1, '!')) {
            skipTo('>');
        } else if (at(i, '\'')) {
            ++i;
            skipTo('\'');
        } else if (at(i, 'P') && at(i + 1, '<')) {
            skipTo('>');
        } else if (at(i, '&') || (at(i, 'P') && (at(i + 1, '=') || at(i + 1, '>')))) {
            skipTo(')');  // a recursion or a back-reference by name: an atom
            return true;
        } else if (options()) {
            return true;
        }
        scopes.push_back(x);
        return true;
    }

    // i stands after "(?": reads (?imsx-imsx) and (?imsx-imsx: as Boost does. False, with i
    // unmoved, when it is neither.
    bool options() {
        std::size_t k = i;
        bool extended = x;
        while (k < p.size() && (p[k] == 'i' || p[k] == 'm' || p[k] == 's' || p[k] == 'x')) {
            if (p[k] == 'x') extended = true;
            ++k;
        }
        if (at(k, '-')) {
            ++k;
            while (k < p.size() && (p[k] == 'i' || p[k] == 'm' || p[k] == 's' || p[k] == 'x')) {
                if (p[k] == 'x') extended = false;
                ++k;
            }
        }
        if (at(k, ')')) {
            // In force until the group around it closes.
            x = extended;
            i = k + 1;
            return true;
        }
        if (at(k, ':')) {
            scopes.push_back(x);
            x = extended;
            i = k + 1;
            return true;
        }
        return false;
    }

    // Boost's reading of a number in a repeat: blanks, a sign, digits; false when no digit.
    bool number(std::size_t& k) const {
        while (k < p.size() && isSpace(p[k])) ++k;
        std::size_t digits = k;
        if (at(digits, '+') || at(digits, '-')) ++digits;
        if (digits >= p.size() || !isDigit(p[digits])) return false;
        while (digits < p.size() && isDigit(p[digits])) ++digits;
        k = digits;
        return true;
    }

    // i stands on "{": moves past a repeat range {n}, {n,} or {n,m} and returns true, or
    // returns false for a brace that Boost takes as a literal.
    bool repeatRange() {
        std::size_t k = i + 1;
        if (!number(k)) return false;
        while (k < p.size() && isSpace(p[k])) ++k;
        if (at(k, ',')) {
            ++k;
            while (k < p.size() && isSpace(p[k])) ++k;
            if (k >= p.size()) return false;
            number(k);
        }
        while (k < p.size() && isSpace(p[k])) ++k;
        if (!at(k, '}')) return false;
        i = k + 1;
        return true;
    }

    // i stands after a quantifier: moves past its lazy and possessive marks, and returns
    // true when it is possessive and Boost's check of what follows would never end.
    bool afterQuantifier() {
        if (x)
            while (i < p.size() && isSpace(p[i])) ++i;
        if (at(i, '?')) ++i;
        if (!at(i, '+')) return false;
        ++i;
        // Boost's loop: a comment sets "go on", any other character but * + ? { ( leaves it
        // as it was, so after a comment nothing ever moves on.
        std::size_t k = i;
        bool sawComment = false;
        for (;;) {
            if (x)
                while (k < p.size() && isSpace(p[k])) ++k;
            if (k >= p.size()) return false;
            char c = p[k];
            if (c == '*' || c == '+' || c == '?' || c == '{') return false;  // an error
            if (c == '(') {
                if (!(k + 2 < p.size() && p[k + 1] == '?' && p[k + 2] == '#')) return false;
                while (k < p.size() && p[k++] != ')') {
                }
                sawComment = true;
                continue;
            }
            return sawComment;
        }
    }

    std::string_view p;
    std::size_t i = 0;
    bool x;
    // The x flag in force outside each open group.
    std::vector<bool> scopes;
};

}  // namespace

bool compileNeverEnds(std::string_view pattern, boost::regex::flag_type flags) {
    if ((flags & boost::regex::main_option_type) != 0 || (flags & boost::regex::no_perl_ex) != 0) return false;
    return Walk(pattern, (flags & boost::regex::mod_x) != 0).endless();
}

}  // namespace cgp
