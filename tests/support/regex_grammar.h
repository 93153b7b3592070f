#pragma once

// Random Boost.Regex patterns and lines for differential tests: the unit tests draw from a
// seeded generator, the fuzz target from its input bytes. The patterns spell the Perl
// syntax the prefilter reads (literals, escapes in hex and octal, classes with POSIX
// names, groups of every kind, inline flags, lookarounds, back-references, comments,
// \Q..\E, quantifiers of every form after every kind of atom, also after comments and an
// empty \Q\E, and now and then an alternation longer than the engine takes) with a few of
// the forms it leaves to Boost. Each pattern comes with a text it likely matches; lines are
// built from those texts, whole or damaged, so that matches and near misses are frequent.
// It never puts a comment group right after a possessive quantifier, a shape whose compile
// Boost 1.74 never ends; callers that compile its patterns keep the filter's own check
// (cgp::compileNeverEnds) as the backstop.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class RegexGrammar {
public:
    // choose(n) returns a number in [0, n).
    explicit RegexGrammar(std::function<unsigned(unsigned)> chooser) : choose(std::move(chooser)) {}

    std::string pattern() {
        groupTexts.clear();
        opened = 0;
        Piece piece;
        // A chooser of zeros (a fuzz input's end) or of one repeated byte takes the short
        // forms: a long alternation takes the engine seconds.
        unsigned start = choose(128);
        if (start == 127 && choose(4) == 1) {
            piece = longAlternation();
        } else {
            static const char* const leading[] = {"(?i)", "(?-i)", "(?s)", "(?-s)", "(?m)", "(?i)(?s)", "(?is)"};
            if (start > 0 && start < 24) piece.text = leading[choose(sizeof leading / sizeof *leading)];
            piece.add(alternation(0));
            // \Q to the pattern's end, now and then.
            if (choose(20) == 0) piece.add(Piece{"\\Qa|b", "a|b"});
        }
        remember(piece.sample);
        return piece.text;
    }

    // A line of texts the patterns so far likely match, whole or damaged, with bytes that
    // trip readers of Boost's syntax between them.
    std::string line() {
        static const char* const noise[] = {"a", "b", "A", "0", " ", "\r", "\f", "\t", "" /* a NUL byte */,
                                            "\xe9", "\xc9", "-", "[", "{", "}", "x", "bar", "@", "^", "E",
                                            "\\", "_", "(?#)"};
        std::string text;
        for (unsigned n = 1 + choose(4); n > 0; --n) {
            unsigned k = choose(3);
            if (k == 0 || fragments.empty()) {
                unsigned pick = choose(sizeof noise / sizeof *noise);
                if (pick == 8) text.push_back('\0');
                else text += noise[pick];
                continue;
            }
            std::string fragment = fragments[choose(static_cast<unsigned>(fragments.size()))];
            if (k == 2 && !fragment.empty()) damage(fragment);
            text += fragment;
        }
        return text;
    }

private:
    struct Piece {
        std::string text, sample;
        void add(const Piece& next) {
            text += next.text;
            sample += next.sample;
        }
    };

    static bool isBlank(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x85' ||
               c == '\xa0';
    }

    void remember(const std::string& sample) {
        if (fragments.size() < 64) fragments.push_back(sample);
        else fragments[choose(64)] = sample;
    }

    // A near miss: one byte dropped, doubled, changed in case or replaced.
    void damage(std::string& text) {
        std::size_t at = choose(static_cast<unsigned>(text.size()));
        char& c = text[at];
        switch (choose(4)) {
            case 0: text.erase(at, 1); break;
            case 1: text.insert(at, 1, c); break;
            case 2:
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
                else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
                break;
            default: c = "q1 \r"[choose(4)]; break;
        }
    }

    Piece alternation(int depth) {
        Piece first = sequence(depth);
        Piece out = first;
        // Bounded whatever the chooser says, so that a chooser of nothing but zeros ends.
        for (int branches = 1; branches < 4 && depth < 2 && choose(5) == 0; ++branches) {
            Piece branch = sequence(depth);
            out.text += "|" + branch.text;
            if (choose(2)) out.sample = branch.sample;
        }
        return out;
    }

    Piece sequence(int depth) {
        Piece out;
        bool possessive = false;  // the last item ended in a possessive quantifier
        bool repeatable = false;  // the last item is an atom Boost repeats
        for (unsigned n = 1 + choose(depth ? 3 : 5); n > 0; --n) {
            if (!possessive && !out.text.empty() && choose(4) == 0) {
                // Nothing to Boost: a quantifier after it repeats the item before (which
                // Boost refuses to do again, but for a surprise after a possessive one).
                out.text += nothing();
                if (repeatable ? choose(2) == 0 : choose(40) == 0) {
                    std::string mark;
                    unsigned repeats = 1;
                    out.text += quantifier(mark, &repeats);
                    out.text += mark;
                    if (repeats == 0) out.sample.resize(lastSampleStart);
                    possessive = mark == "+";
                    repeatable = false;
                    continue;
                }
            }
            lastSampleStart = out.sample.size();
            Piece item = quantified(depth, possessive, repeatable);
            out.add(item);
        }
        return out;
    }

    std::string nothing() {
        static const char* const comments[] = {"(?#)", "(?#x)", "(?#a b)", "(?#*)", "(?#(?#)", "(?#\\)"};
        std::string text;
        for (unsigned n = 1 + (choose(4) == 0); n > 0; --n)
            text += choose(4) ? comments[choose(sizeof comments / sizeof *comments)] : "\\Q\\E";
        return text;
    }

    // A quantifier and its mark ("", "?" lazy or "+" possessive); min and max, when asked,
    // the number of repeats a sample takes.
    std::string quantifier(std::string& mark, unsigned* repeats = nullptr) {
        unsigned low = 0, high = 0;
        std::string text;
        switch (choose(10)) {
            case 0: text = "*", low = 0, high = 2; break;
            case 1: text = "+", low = 1, high = 2; break;
            case 2: text = "?", low = 0, high = 1; break;
            case 3: low = high = choose(3), text = "{" + std::to_string(low) + "}"; break;
            case 4: low = choose(2), high = low + choose(3), text = "{" + std::to_string(low) + "," + std::to_string(high) + "}"; break;
            case 5: low = choose(3), high = low + 1, text = "{" + std::to_string(low) + ",}"; break;
            case 6: text = "{0}", low = high = 0; break;
            case 7: text = "{1,}", low = 1, high = 2; break;
            default: low = 1 + choose(3), high = low + choose(2), text = "{" + std::to_string(low) + "," + std::to_string(high) + "}"; break;
        }
        unsigned m = choose(5);
        mark = m == 0 ? "?" : m == 1 ? "+" : "";
        if (repeats) *repeats = low + choose(high - low + 1);
        return text;
    }

    Piece quantified(int depth, bool& possessive, bool& repeatable) {
        bool zeroWidth = false;
        Piece item = atom(depth, zeroWidth);
        possessive = false;
        repeatable = !zeroWidth;
        // Boost repeats lookarounds but refuses to repeat other assertions: now and then,
        // to see it refused.
        if (zeroWidth ? choose(item.text[0] == '(' ? 6 : 100) != 0 : choose(2) == 0) return item;
        repeatable = false;
        std::string mark;
        unsigned repeats = 1;
        std::string text = quantifier(mark, &repeats);
        Piece out{item.text + text + mark, ""};
        for (unsigned i = 0; i < repeats; ++i) out.sample += item.sample;
        possessive = mark == "+";
        return out;
    }

    Piece atom(int depth, bool& zeroWidth) {
        static const Piece simple[] = {
            {"a", "a"}, {"b", "b"}, {"c", "c"}, {"A", "A"}, {"B", "B"}, {"x", "x"}, {"0", "0"}, {" ", " "},
            {"-", "-"}, {"_", "_"}, {"@", "@"}, {"#", "#"}, {"]", "]"}, {"}", "}"}, {"E", "E"},
            {"\xe9", "\xe9"}, {"\xc9", "\xc9"}, {"\\.", "."}, {"\\[", "["}, {"\\{", "{"}, {"\\}", "}"},
            {"\\*", "*"}, {"\\\\", "\\"}, {".", "q"}, {"\\d", "4"}, {"\\D", "d"}, {"\\w", "w"}, {"\\W", "!"},
            {"\\s", " "}, {"\\S", "S"}, {"\\h", "\t"}, {"\\v", "\r"}, {"\\l", "l"}, {"\\u", "U"},
            {"\\r", "\r"}, {"\\f", "\f"}, {"\\t", "\t"}, {"\\e", "\x1b"}, {"\\x41", "A"}, {"\\xe9", "\xe9"},
            {"\\x4", "\x04"}, {"\\x{62}", "b"}, {"\\x{7A}", "z"}, {"\\0101", "A"}, {"\\0142", "b"},
            {"\\015", "\r"}, {"[a-c]", "b"}, {"[^a]", "z"}, {"[@-C]", "B"}, {"[[:alpha:]]", "k"},
            {"[[:upper:]_]", "_"}, {"[[:digit:][:space:]]", "7"}, {"[[:punct:]]", "!"},
            {"[^[:alnum:]]", "-"}, {"[[:xdigit:]]", "f"}, {"[]a]", "]"}, {"[^]b]", "c"}, {"[\\]x]", "x"},
            {"[a\\-c]", "-"}, {"[\\x00-\\x1f]", "\x01"}, {"[\\r\\f]", "\f"}, {"[^\\s]", "n"},
            {"[\\d.]", "."}, {"bar", "bar"}, {"\\X", "a"}, {"\\R", "\r"}, {"\\Qa.b\\E", "a.b"},
            {"\\Q*\\E", "*"}, {"\\Qx|y\\E", "x|y"}, {"\\Q\\\\E", "\\"}, {"\\Q(?#)\\E", "(?#)"},
        };
        static const char* const assertions[] = {"^", "$", "\\b", "\\B", "\\<", "\\>", "\\A", "\\z", "\\Z",
                                                 "\\`", "\\'", "\\G", "\\K"};
        unsigned k = choose(depth < 2 ? 16 : 1);
        switch (k) {
            case 1:
            case 2:
            case 3: {
                unsigned number = ++opened;
                Piece inner = alternation(depth + 1);
                closed(number, inner.sample);
                return Piece{"(" + inner.text + ")", inner.sample};
            }
            case 4: {
                static const char* const named[] = {"(?<n", "(?'q"};
                unsigned which = choose(2);
                unsigned number = ++opened;
                Piece inner = alternation(depth + 1);
                closed(number, inner.sample);
                return Piece{named[which] + std::to_string(number) + (which == 1 ? "'" : ">") + inner.text + ")",
                             inner.sample};
            }
            case 5: return wrap("(?:", alternation(depth + 1));
            case 6: return wrap("(?>", alternation(depth + 1));
            case 7: {
                static const char* const scoped[] = {"(?i:", "(?-i:", "(?s:", "(?-s:", "(?m:", "(?i-s:", "(?si:"};
                return wrap(scoped[choose(sizeof scoped / sizeof *scoped)], alternation(depth + 1));
            }
            case 8: {
                zeroWidth = true;
                static const char* const ahead[] = {"(?=", "(?!"};
                std::string inner = choose(4) ? "" : (choose(2) ? "(?i)" : "(?-i)");
                return Piece{ahead[choose(2)] + inner + alternation(depth + 1).text + ")", ""};
            }
            case 9: {
                // Behind: fixed length, as Boost requires.
                zeroWidth = true;
                static const char* const behind[] = {"(?<=", "(?<!"};
                std::string inner;
                for (unsigned n = 1 + choose(2); n > 0; --n) inner += simple[choose(20)].text;
                return Piece{behind[choose(2)] + inner + ")", ""};
            }
            case 10:
                zeroWidth = true;
                return Piece{assertions[choose(sizeof assertions / sizeof *assertions)], ""};
            case 11:
                if (!groupTexts.empty()) {
                    const auto& group = groupTexts[choose(static_cast<unsigned>(groupTexts.size()))];
                    return Piece{"\\" + std::to_string(group.first), group.second};
                }
                break;
            case 12: {
                // Left to Boost by the reader: now and then, to see it refused.
                static const Piece other[] = {{"(?i)", ""}, {"\\p{alpha}", "Q"}, {"\\E", "E"}, {"\\cA", "\x01"},
                                              {"(?x: a)", "a"}, {"a{ 1}b", "ab"}, {"\\01234", "\x53" "4"}};
                if (choose(3) == 0) return other[choose(sizeof other / sizeof *other)];
                break;
            }
            default:
                break;
        }
        return simple[choose(sizeof simple / sizeof *simple)];
    }

    static Piece wrap(const char* open, const Piece& inner) { return Piece{open + inner.text + ")", inner.sample}; }

    void closed(unsigned number, const std::string& sample) {
        if (number < 10) groupTexts.emplace_back(number, sample);
    }

    // Words past the engine's expression limit in a choice, in one of the shapes of long
    // rules seen in practice. Spelled from a seed, so that the fuzz target's bytes go far.
    Piece longAlternation() {
        std::uint32_t state = 1 + choose(1u << 16);
        auto next = [&]() {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            return state;
        };
        std::size_t count = 200 + next() % 2300;  // about 9 bytes a word: past 2 KB, often past 16 KB
        std::string words, sample;
        std::size_t pick = next() % count;
        for (std::size_t i = 0; i < count; ++i) {
            std::string word;
            for (unsigned j = 4 + next() % 6; j > 0; --j) word += static_cast<char>('a' + next() % 26);
            if (i == pick) sample = word;
            words += (i ? "|" : "") + word;
        }
        switch (choose(3)) {
            case 0: return Piece{"(?:^|\\s)(?:" + words + ")\\b", " " + sample + " "};
            case 1: return Piece{"(?i)x(?:" + words + ")(?#end)+y", "x" + sample + "y"};
            default: return Piece{"(" + words + "){2}", sample + sample};
        }
    }

    std::function<unsigned(unsigned)> choose;
    // Capture groups that have closed, by number, with their samples: back-references to
    // them are ones Boost accepts.
    std::vector<std::pair<unsigned, std::string>> groupTexts;
    unsigned opened = 0;
    std::size_t lastSampleStart = 0;  // where the last item's sample starts in its sequence's
    std::vector<std::string> fragments;  // samples of the patterns made so far
};

}  // namespace testsupport
