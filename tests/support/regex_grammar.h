#pragma once

// Random Boost.Regex patterns and lines for differential tests: the unit tests draw from a
// seeded generator, the fuzz target from its input bytes. The pieces are the ones that
// trip a reader of Boost's syntax: line separators, icase ranges, high bytes, assertions,
// lookarounds, back-references, inline flags, lazy and possessive repeats.

#include <functional>
#include <string>

namespace testsupport {

class RegexGrammar {
public:
    // choose(n) returns a number in [0, n).
    explicit RegexGrammar(std::function<unsigned(unsigned)> chooser) : choose(std::move(chooser)) {}

    std::string pattern() {
        groups = 0;
        std::string text;
        if (choose(6) == 0) text += choose(2) ? "(?i)" : "(?-s)";
        text += alternation(0);
        return text;
    }

    // Bytes that pieces of pattern() match, so that lines often match.
    std::string line() {
        static const char* const pieces[] = {"a", "b", "c", "A", "B", "C", "0", "1", " ", "\r", "\f", "\t",
                                             "" /* a NUL byte */, "\xe9", "\xc9", "-", "[", "{", "}",
                                             "x", "ab", "abc", "bar", "foo", "\r\r", "_", "@", "^"};
        std::string text;
        for (unsigned n = choose(12); n > 0; --n) {
            unsigned k = choose(sizeof pieces / sizeof *pieces);
            if (k == 12) text.push_back('\0');
            else text += pieces[k];
        }
        return text;
    }

private:
    std::string alternation(int depth) {
        std::string text = sequence(depth);
        // Bounded whatever the chooser says, so that a chooser of nothing but zeros ends.
        for (int branches = 1; branches < 4 && depth < 2 && choose(5) == 0; ++branches) text += "|" + sequence(depth);
        return text;
    }

    std::string sequence(int depth) {
        std::string text;
        for (unsigned n = 1 + choose(depth ? 3 : 5); n > 0; --n) text += quantified(depth);
        return text;
    }

    std::string quantified(int depth) {
        bool zeroWidth = false;
        std::string text = atom(depth, zeroWidth);
        // Boost refuses to repeat an assertion.
        if (zeroWidth) return text;
        switch (choose(10)) {
            case 0: text += "*"; break;
            case 1: text += "+"; break;
            case 2: text += "?"; break;
            case 3: text += "{" + std::to_string(choose(3)) + "}"; break;
            case 4: text += "{" + std::to_string(choose(2)) + "," + std::to_string(2 + choose(2)) + "}"; break;
            case 5: text += "{1,}"; break;
            default: return text;
        }
        if (choose(4) == 0) text += choose(2) ? "?" : "+";
        return text;
    }

    std::string atom(int depth, bool& zeroWidth) {
        static const char* const simple[] = {
            "a", "b", "c", "A", "B", "x", "0", " ", "-", "_", "@", "\xe9", "\xc9", "\\.", "\\[", "\\{", "\\}",
            ".", "\\d", "\\w", "\\W", "\\s", "\\S", "\\h", "\\v", "\\l", "\\u", "\\r", "\\f", "\\t", "\\n",
            "\\x41", "\\xe9", "\\x00", "\\x{62}", "[a-c]", "[^a]", "[@-C]", "[[:alpha:]]", "[[:upper:]_]",
            "[]a]", "[^]b]", "[\\]x]", "[a\\-c]", "[\\x00-\\x1f]", "[\\r\\f]", "[^\\s]", "]", "}", "bar",
            "\\X", "\\R",
        };
        static const char* const assertions[] = {"^", "$", "\\b", "\\B", "\\<", "\\>", "\\A", "\\z", "\\Z",
                                                 "\\`", "\\'", "\\G", "(?<=a)", "(?<!\\s)"};
        unsigned k = choose(depth < 2 ? 12 : 1);
        if (k > 0 && k < 4) {
            std::string inner = alternation(depth + 1);
            ++groups;
            return "(" + inner + ")";
        }
        switch (k) {
            case 4: return "(?:" + alternation(depth + 1) + ")";
            case 5:
                zeroWidth = true;
                return (choose(2) ? "(?=" : "(?!") + alternation(depth + 1) + ")";
            case 6:
                zeroWidth = true;
                return assertions[choose(sizeof assertions / sizeof *assertions)];
            case 7: return "(?i:" + alternation(depth + 1) + ")";
            case 8: return (choose(2) ? "(?-i:" : choose(2) ? "(?s:" : "(?-s:") + alternation(depth + 1) + ")";
            case 9: return "(?>" + alternation(depth + 1) + ")";
            case 10:
                if (groups > 0) return "\\" + std::to_string(1 + choose(groups < 9 ? groups : 9));
                break;
            default:
                break;
        }
        return simple[choose(sizeof simple / sizeof *simple)];
    }

    std::function<unsigned(unsigned)> choose;
    // Capture groups count once closed, so that back-references mostly name groups Boost
    // accepts.
    unsigned groups = 0;
};

}  // namespace testsupport
