#include "filter/prefilter_pattern.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include <boost/regex.hpp>

namespace cgp::prefilter {

bool ByteSetOracle::bytesOf(const std::string& prefix, const std::string& piece, bool ignoreCase, ByteSet& set) {
    std::string key = prefix;
    key += ignoreCase ? "\1i\1" : "\1-\1";
    key += piece;
    auto found = known.find(key);
    if (found != known.end()) {
        set = found->second.set;
        return found->second.valid;
    }
    Entry entry{false, ByteSet()};
    try {
        boost::regex::flag_type syntax = boost::regex::perl;
        if (ignoreCase) syntax |= boost::regex::icase;
        boost::regex expression(prefix + piece, syntax);
        if (!boost::regex_match(std::string(), expression)) {
            char text[1];
            for (int byte = 0; byte < 256; ++byte) {
                text[0] = static_cast<char>(byte);
                if (boost::regex_match(text, text + 1, expression)) entry.set.set(byte);
            }
            entry.valid = entry.set.any();
        }
    } catch (const std::exception&) {
        entry.valid = false;
    }
    known.emplace(std::move(key), entry);
    set = entry.set;
    return entry.valid;
}

const ByteSet& ByteSetOracle::lineSeparators(bool start) {
    if (!separatorsKnown) {
        separatorsKnown = true;
        try {
            const boost::regex startsLine("^x", boost::regex::perl), endsLine("x$", boost::regex::perl);
            for (int byte = 0; byte < 256; ++byte) {
                const char before[2] = {static_cast<char>(byte), 'x'};
                if (boost::regex_search(before + 1, before + 2, startsLine, boost::match_default | boost::match_prev_avail))
                    startSeparators.set(byte);
                const char after[2] = {'x', static_cast<char>(byte)};
                boost::cmatch found;
                if (boost::regex_search(after + 0, after + 2, found, endsLine) && found[0].first == after)
                    endSeparators.set(byte);
            }
        } catch (const std::exception&) {
            // Every byte, then: only a wider prefilter.
            startSeparators.set();
            endSeparators.set();
        }
    }
    return start ? startSeparators : endSeparators;
}

namespace {

// Inline flags in force: -1 leaves the choice to how the rule was compiled.
struct Flags {
    int ignoreCase = -1;
    int dotAll = -1;

    std::string prefix() const {
        std::string text;
        if (ignoreCase == 1) text += "(?i)";
        if (ignoreCase == 0) text += "(?-i)";
        if (dotAll == 1) text += "(?s)";
        if (dotAll == 0) text += "(?-s)";
        return text;
    }
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Escapes that stand for one byte, as classes or as characters.
bool isByteEscape(char c) { return std::strchr("dDwWsShHvVlLuUnrtfea", c) != nullptr; }
// Escapes that match the empty text.
bool isAssertionEscape(char c) { return std::strchr("bBAzZG<>`'K", c) != nullptr; }

class Reader {
public:
    Reader(const std::string& text, bool icase, ByteSetOracle& byteSets)
        : pattern(text), ignoreCase(icase), oracle(byteSets) {}

    bool read(PatternNode& tree) {
        if (!leadingFlags()) return false;
        if (!alternation(tree, flags)) return false;
        return position == pattern.size();
    }

    std::size_t captures = 0;

private:
    bool atEnd() const { return position >= pattern.size(); }
    char peek(std::size_t ahead = 0) const {
        return position + ahead < pattern.size() ? pattern[position + ahead] : '\0';
    }
    bool startsWith(const char* text) const { return pattern.compare(position, std::strlen(text), text) == 0; }

    // "(?i)" and the like at the very start apply to the whole pattern. Anywhere else the
    // scope of a bare flag group is subtle enough to leave such rules to Boost.
    bool leadingFlags() {
        while (startsWith("(?")) {
            std::size_t end = position + 2;
            Flags changed = flags;
            if (!flagLetters(end, changed) || end >= pattern.size() || pattern[end] != ')') return true;
            flags = changed;
            position = end + 1;
        }
        return true;
    }

    // Reads [ims]*(-[ims]*)? from at; false on any other letter ("x" changes the syntax).
    bool flagLetters(std::size_t& at, Flags& changed) const {
        bool on = true;
        std::size_t start = at;
        while (at < pattern.size()) {
            char c = pattern[at];
            if (c == '-' && on) on = false;
            else if (c == 'i') changed.ignoreCase = on;
            else if (c == 's') changed.dotAll = on;
            else if (c == 'm') {
                // Only anchors depend on it, and anchors require nothing.
            } else break;
            ++at;
        }
        return at > start;
    }

    bool alternation(PatternNode& node, Flags scope) {
        PatternNode first;
        if (!sequence(first, scope)) return false;
        if (peek() != '|') {
            node = std::move(first);
            return true;
        }
        node = PatternNode();
        node.kind = PatternNode::Choice;
        node.children.push_back(std::move(first));
        while (!atEnd() && peek() == '|') {
            ++position;
            PatternNode branch;
            if (!sequence(branch, scope)) return false;
            node.children.push_back(std::move(branch));
        }
        return true;
    }

    // Comments and an empty \Q\E leave nothing in Boost's compiled program, so a quantifier
    // after them repeats whatever came last: the atom before them, as a quantifier right
    // after it would. Where that is no atom of this sequence (a flag group, a group's
    // start, "|") or is itself repeated (an error, or after a possessive quantifier some
    // earlier part of the pattern), the reading is given up.
    bool sequence(PatternNode& node, Flags scope) {
        node = PatternNode();
        node.kind = PatternNode::Sequence;
        bool lastZeroWidth = false, lastRepeated = false;
        while (!atEnd() && peek() != '|' && peek() != ')') {
            if (skipNothing()) {
                if (!startsQuantifier()) continue;
                if (node.children.empty() || lastRepeated) return false;
                if (!quantifiers(node.children.back(), lastZeroWidth)) return false;
                lastRepeated = true;
                continue;
            }
            PatternNode item;
            bool zeroWidth = false;
            if (startsWith("\\Q")) {
                // Its bytes are atoms one after the other; a quantifier repeats the last.
                std::vector<PatternNode> literals;
                if (!quoted(literals, scope)) return false;
                if (literals.empty()) continue;
                item = std::move(literals.back());
                literals.pop_back();
                for (PatternNode& literal : literals) node.children.push_back(std::move(literal));
            } else if (!atom(item, scope, zeroWidth)) {
                return false;
            }
            std::size_t before = position;
            if (!quantifiers(item, zeroWidth)) return false;
            lastRepeated = position != before;
            lastZeroWidth = zeroWidth;
            node.children.push_back(std::move(item));
        }
        return true;
    }

    bool startsQuantifier() const {
        char c = peek();
        return !atEnd() && (c == '*' || c == '+' || c == '?' || c == '{');
    }

    // Skips comment groups and empty \Q\E; true when it skipped any.
    bool skipNothing() {
        std::size_t start = position;
        for (;;) {
            if (startsWith("(?#")) {
                // Boost ends a comment at the first ")"; one left open runs to the pattern's
                // end, which is left to Boost.
                std::size_t close = pattern.find(')', position);
                if (close == std::string::npos) break;
                position = close + 1;
            } else if (startsWith("\\Q\\E")) {
                position += 4;
            } else {
                break;
            }
        }
        return position != start;
    }

    // \Q..\E as Boost reads it: every byte up to the first "\E", or to the pattern's end, is
    // a literal, backslashes included.
    bool quoted(std::vector<PatternNode>& literals, const Flags& scope) {
        std::size_t at = position + 2, start = at, end;
        for (;;) {
            while (at < pattern.size() && pattern[at] != '\\') ++at;
            if (at == pattern.size()) {
                end = at;
                break;
            }
            if (++at == pattern.size()) return false;
            if (pattern[at] == 'E') {
                end = at - 1;
                ++at;
                break;
            }
        }
        position = at;
        for (std::size_t i = start; i < end; ++i) {
            literals.emplace_back();
            if (!bytes(literals.back(), "\\Q" + std::string(1, pattern[i]) + "\\E", scope)) return false;
        }
        return true;
    }

    // At most one quantifier, with an optional lazy or possessive mark, neither of which
    // changes the texts that can match.
    bool quantifiers(PatternNode& item, bool zeroWidth) {
        long min = 0, max = 0;
        char c = peek();
        if (c == '*') {
            min = 0, max = -1, ++position;
        } else if (c == '+') {
            min = 1, max = -1, ++position;
        } else if (c == '?') {
            min = 0, max = 1, ++position;
        } else if (c == '{') {
            if (!braces(min, max)) return false;
        } else {
            return true;
        }
        if (peek() == '?' || peek() == '+') ++position;
        c = peek();
        if (c == '*' || c == '+' || c == '?' || c == '{') return false;
        if (zeroWidth) return true;
        PatternNode repeat;
        repeat.kind = PatternNode::Repeat;
        repeat.min = min;
        repeat.max = max;
        repeat.children.push_back(std::move(item));
        item = std::move(repeat);
        return true;
    }

    // Exactly {n}, {n,} or {n,m}: Boost also reads forms with blanks, and reads other
    // braces as text; both are left to it.
    bool braces(long& min, long& max) {
        std::size_t at = position + 1;
        auto number = [&](long& value) {
            std::size_t start = at;
            value = 0;
            while (at < pattern.size() && isDigit(pattern[at])) {
                if (at - start >= 6) return false;
                value = value * 10 + (pattern[at] - '0');
                ++at;
            }
            return at > start;
        };
        if (!number(min)) return false;
        if (at < pattern.size() && pattern[at] == '}') {
            max = min;
        } else if (at < pattern.size() && pattern[at] == ',') {
            ++at;
            if (at < pattern.size() && pattern[at] == '}') max = -1;
            else if (!number(max) || max < min) return false;
            if (at >= pattern.size() || pattern[at] != '}') return false;
        } else {
            return false;
        }
        position = at + 1;
        return true;
    }

    // An anchor holds the bytes it may stand after (^) or before ($). Stricter anchors (\A,
    // \z) read as these: only a wider prefilter.
    void anchor(PatternNode& node, bool start) {
        node = PatternNode();
        node.kind = start ? PatternNode::LineStart : PatternNode::LineEnd;
        node.set = oracle.lineSeparators(start);
    }

    bool bytes(PatternNode& node, const std::string& piece, const Flags& scope) {
        node = PatternNode();
        node.kind = PatternNode::Bytes;
        return oracle.bytesOf(scope.prefix(), piece, ignoreCase, node.set);
    }

    bool atom(PatternNode& node, const Flags& scope, bool& zeroWidth) {
        char c = peek();
        switch (c) {
            case '(':
                return group(node, scope, zeroWidth);
            case '[':
                return charClass(node, scope);
            case '^':
            case '$':
                ++position;
                anchor(node, c == '^');
                zeroWidth = true;
                return true;
            case '\\':
                return escape(node, scope, zeroWidth);
            case '*':
            case '+':
            case '?':
            case '{':
            case ')':
                return false;
            default:
                ++position;
                return bytes(node, std::string(1, c), scope);
        }
    }

    bool escape(PatternNode& node, const Flags& scope, bool& zeroWidth) {
        if (position + 1 >= pattern.size()) return false;
        char c = pattern[position + 1];
        if (c >= '1' && c <= '9') {
            position += 2;
            backReference(node, static_cast<std::size_t>(c - '0'), scope);
            return true;
        }
        if (c == 'X' || c == 'R') {
            position += 2;
            node = PatternNode();
            node.kind = PatternNode::AnyText;
            return true;
        }
        if (isAssertionEscape(c)) {
            position += 2;
            node = PatternNode();
            if (c == 'A' || c == '`') anchor(node, true);
            if (c == 'z' || c == 'Z' || c == '\'') anchor(node, false);
            zeroWidth = true;
            return true;
        }
        if (c == 'x') {
            std::size_t at = position + 2;
            if (at < pattern.size() && pattern[at] == '{') {
                std::size_t close = pattern.find('}', at);
                if (close == std::string::npos || close == at + 1 || close - at > 3) return false;
                for (std::size_t i = at + 1; i < close; ++i)
                    if (!isHex(pattern[i])) return false;
                at = close + 1;
            } else {
                std::size_t digits = 0;
                while (digits < 2 && at < pattern.size() && isHex(pattern[at])) ++at, ++digits;
                if (digits == 0) return false;
            }
            std::string piece = pattern.substr(position, at - position);
            position = at;
            return bytes(node, piece, scope);
        }
        if (isByteEscape(c) || (!isLetter(c) && !isDigit(c) && c != '\0')) {
            std::string piece = pattern.substr(position, 2);
            position += 2;
            return bytes(node, piece, scope);
        }
        if (c == '0') {
            // \0 and up to three octal digits; a fourth would leave the reading in doubt.
            std::size_t at = position + 2;
            while (at < position + 5 && at < pattern.size() && pattern[at] >= '0' && pattern[at] <= '7') ++at;
            if (at < pattern.size() && pattern[at] >= '0' && pattern[at] <= '7') return false;
            std::string piece = pattern.substr(position, at - position);
            position = at;
            return bytes(node, piece, scope);
        }
        // \c, \E (a literal E), \p, \N, \g, \k and unknown letters.
        return false;
    }

    // A class is one piece up to the "]" that closes it, as Boost finds it: a "]" right
    // after "[" or "[^" is a member, escapes take the next byte, "[:name:]" is a member.
    bool charClass(PatternNode& node, const Flags& scope) {
        std::size_t at = position + 1;
        if (at < pattern.size() && pattern[at] == '^') ++at;
        if (at < pattern.size() && pattern[at] == ']') ++at;
        for (;;) {
            if (at >= pattern.size()) return false;
            char c = pattern[at];
            if (c == ']') break;
            if (c == '\\') {
                if (at + 1 >= pattern.size()) return false;
                char e = pattern[at + 1];
                if (std::strchr("cQEpPNx0", e)) {
                    if (e != 'x') return false;
                    // \x{...} may hold no "]"; \xHH never does.
                    if (at + 2 < pattern.size() && pattern[at + 2] == '{') {
                        std::size_t close = pattern.find('}', at);
                        if (close == std::string::npos) return false;
                        if (pattern.find(']', at) < close) return false;
                        at = close + 1;
                        continue;
                    }
                }
                at += 2;
                continue;
            }
            if (c == '[') {
                char next = at + 1 < pattern.size() ? pattern[at + 1] : '\0';
                if (next == '.' || next == '=') return false;
                if (next == ':') {
                    std::size_t close = pattern.find(":]", at + 2);
                    if (close == std::string::npos) return false;
                    for (std::size_t i = at + 2; i < close; ++i)
                        if (!isLetter(pattern[i])) return false;
                    at = close + 2;
                    continue;
                }
            }
            ++at;
        }
        std::string piece = pattern.substr(position, at + 1 - position);
        position = at + 1;
        return bytes(node, piece, scope);
    }

    // A back-reference matches a text its group matched, so a copy of the group holds every
    // text it can match (Boost fails one whose group took no part). Where the group is
    // still open, or the reference ignores case and some of the group does not, it may
    // match anything.
    void backReference(PatternNode& node, std::size_t number, const Flags& scope) {
        node = PatternNode();
        node.kind = PatternNode::AnyText;
        if (flagsInDoubt || number > groups.size() || !groups[number - 1].closed) return;
        const Captured& captured = groups[number - 1];
        if (caseless(scope) && !captured.wholeCaseless) return;
        // Copies of copies could grow the reading without bound.
        std::size_t budget = maxCopiedNodes;
        if (!within(captured.node, budget)) return;
        node = captured.node;
        // The group's anchors held where it matched, not where the copy stands.
        dropAnchors(node);
    }

    static bool within(const PatternNode& node, std::size_t& budget) {
        if (budget == 0) return false;
        --budget;
        for (const PatternNode& child : node.children)
            if (!within(child, budget)) return false;
        return true;
    }

    static void dropAnchors(PatternNode& node) {
        if (node.kind == PatternNode::LineStart || node.kind == PatternNode::LineEnd) node = PatternNode();
        for (PatternNode& child : node.children) dropAnchors(child);
    }

    bool caseless(const Flags& scope) const { return scope.ignoreCase == -1 ? ignoreCase : scope.ignoreCase == 1; }

    bool group(PatternNode& node, const Flags& scope, bool& zeroWidth) {
        // Deeper nesting than real rules use is left to Boost rather than to the stack.
        if (++depth > maxDepth) return false;
        Flags inner = scope;
        bool lookaround = false;
        std::size_t capture = 0;  // its number, when it captures
        if (peek(1) == '*') return false;  // verbs
        if (peek(1) != '?') {
            capture = ++captures;
            position += 1;
        } else if (startsWith("(?:") || startsWith("(?>")) {
            position += 3;
        } else if (startsWith("(?=") || startsWith("(?!")) {
            position += 3;
            lookaround = true;
        } else if (startsWith("(?<=") || startsWith("(?<!")) {
            position += 4;
            lookaround = true;
        } else if (startsWith("(?<") || startsWith("(?P<") || startsWith("(?'")) {
            std::size_t at = position + (pattern[position + 2] == 'P' ? 4 : 3);
            char close = pattern[at - 1] == '\'' ? '\'' : '>';
            std::size_t start = at;
            while (at < pattern.size() && (isLetter(pattern[at]) || isDigit(pattern[at]) || pattern[at] == '_')) ++at;
            if (at == start || at >= pattern.size() || pattern[at] != close || isDigit(pattern[start])) return false;
            capture = ++captures;
            position = at + 1;
        } else {
            // Scoped flags "(?i:...)"; a bare "(?i)" here, conditionals, recursion and the
            // rest are left to Boost.
            std::size_t at = position + 2;
            if (!flagLetters(at, inner) || at >= pattern.size()) return false;
            if (pattern[at] == ')' && lookarounds > 0) {
                // Inside a lookaround, whose texts are dropped, flags change nothing read;
                // Boost keeps them to that group. Groups read after them in it may not be
                // read as Boost reads them, so back-references no longer copy groups.
                position = at + 1;
                flagsInDoubt = true;
                --depth;
                node = PatternNode();
                zeroWidth = true;
                return true;
            }
            if (pattern[at] != ':') return false;
            position = at + 1;
            ++scopedFlags;
        }
        if (capture) groups.resize(capture);
        std::size_t flagsBefore = scopedFlags;
        PatternNode inside;
        if (lookaround) ++lookarounds;
        bool insideRead = alternation(inside, inner);
        if (lookaround) --lookarounds;
        if (!insideRead) return false;
        if (peek() != ')') return false;
        ++position;
        --depth;
        if (capture) {
            Captured& captured = groups[capture - 1];
            captured.node = inside;
            captured.closed = true;
            captured.wholeCaseless = caseless(inner) && scopedFlags == flagsBefore;
        }
        if (lookaround) {
            node = PatternNode();
            zeroWidth = true;
        } else {
            node = std::move(inside);
        }
        return true;
    }

    // A capture group as read so far, for the back-references after it.
    struct Captured {
        PatternNode node;
        bool closed = false;
        bool wholeCaseless = false;  // read ignoring case throughout
    };

    const std::string& pattern;
    bool ignoreCase;
    ByteSetOracle& oracle;
    std::size_t position = 0;
    Flags flags;
    int depth = 0;
    int lookarounds = 0;  // lookarounds open where the reader stands
    std::size_t scopedFlags = 0;  // "(?i:" and the like read so far
    bool flagsInDoubt = false;    // a bare "(?i)" in a lookaround was passed over
    std::vector<Captured> groups;  // by number less one
    static constexpr int maxDepth = 200;
    static constexpr std::size_t maxCopiedNodes = 4096;
};

void appendByte(int b, std::string& out) {
    static const char hex[] = "0123456789abcdef";
    if ((b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z')) {
        out += static_cast<char>(b);
        return;
    }
    out += "\\x";
    out += hex[b >> 4];
    out += hex[b & 15];
}

// Short spellings keep long rules under the engine's length limit: a lone byte as itself,
// the rest as a class of ranges. Folded, for the engine's caseless mode, upper-case letters
// are left to it: the set holds each letter in both cases or neither.
void appendByteClass(ByteSet set, std::string& out, bool folded = false) {
    if (folded)
        for (int b = 'A'; b <= 'Z'; ++b) set.reset(b);
    if (set.count() == 1) {
        for (int b = 0; b < 256; ++b)
            if (set.test(b)) appendByte(b, out);
        return;
    }
    out += '[';
    for (int b = 0; b < 256;) {
        if (!set.test(b)) {
            ++b;
            continue;
        }
        int last = b;
        while (last + 1 < 256 && set.test(last + 1)) ++last;
        appendByte(b, out);
        if (last > b + 1) out += '-';
        if (last > b) appendByte(last, out);
        b = last + 1;
    }
    out += ']';
}

void emit(const PatternNode& node, long limit, std::string& out, bool folded = false) {
    switch (node.kind) {
        case PatternNode::Bytes:
            appendByteClass(node.set, out, folded);
            return;
        case PatternNode::Nothing:
            return;
        case PatternNode::AnyText:
            out += "[\\x00-\\xff]*";
            return;
        case PatternNode::LineStart:
            // The separator is taken into the match: sound only at a match's start, where
            // the reader leaves anchors.
            out += "(?:^";
            if (node.set.any()) {
                out += '|';
                appendByteClass(node.set, out, folded);
            }
            out += ')';
            return;
        case PatternNode::LineEnd:
            out += "(?:";
            if (node.set.any()) {
                appendByteClass(node.set, out, folded);
                out += '|';
            }
            out += "$)";
            return;
        case PatternNode::Sequence:
            for (const PatternNode& child : node.children) emit(child, limit, out, folded);
            return;
        case PatternNode::Choice:
            out += "(?:";
            for (std::size_t i = 0; i < node.children.size(); ++i) {
                if (i) out += '|';
                emit(node.children[i], limit, out, folded);
            }
            out += ')';
            return;
        case PatternNode::Repeat: {
            std::string inner;
            emit(node.children[0], limit, inner, folded);
            if (inner.empty()) return;
            out += "(?:";
            out += inner;
            out += ')';
            long min = std::min(node.min, limit);
            long max = node.max;
            if (max > limit) max = -1;
            if (min == 0 && max == -1) out += '*';
            else if (min == 1 && max == -1) out += '+';
            else if (min == 0 && max == 1) out += '?';
            else if (max == -1) out += "{" + std::to_string(min) + ",}";
            else if (max == min) out += "{" + std::to_string(min) + "}";
            else out += "{" + std::to_string(min) + "," + std::to_string(max) + "}";
            return;
        }
    }
}

}  // namespace

namespace {

// Leaves anchors only where they stand at the start (or end) of every match of the node.
void keepEdgeAnchors(PatternNode& node, bool atStart, bool atEnd) {
    switch (node.kind) {
        case PatternNode::LineStart:
            if (!atStart) node.kind = PatternNode::Nothing;
            return;
        case PatternNode::LineEnd:
            if (!atEnd) node.kind = PatternNode::Nothing;
            return;
        case PatternNode::Sequence:
            for (std::size_t i = 0; i < node.children.size(); ++i)
                keepEdgeAnchors(node.children[i], atStart && i == 0, atEnd && i + 1 == node.children.size());
            return;
        case PatternNode::Choice:
            for (PatternNode& child : node.children) keepEdgeAnchors(child, atStart, atEnd);
            return;
        case PatternNode::Repeat:
            for (PatternNode& child : node.children) keepEdgeAnchors(child, false, false);
            return;
        default:
            return;
    }
}

}  // namespace

bool readPattern(const std::string& pattern, bool ignoreCase, std::size_t markCount, ByteSetOracle& oracle,
                 PatternNode& tree) {
    Reader reader(pattern, ignoreCase, oracle);
    if (!reader.read(tree)) return false;
    keepEdgeAnchors(tree, true, true);
    return reader.captures == markCount;
}

bool matchesEmpty(const PatternNode& node) {
    switch (node.kind) {
        case PatternNode::Bytes:
            return false;
        case PatternNode::Nothing:
        case PatternNode::AnyText:
        case PatternNode::LineStart:
        case PatternNode::LineEnd:
            return true;
        case PatternNode::Sequence:
            return std::all_of(node.children.begin(), node.children.end(), matchesEmpty);
        case PatternNode::Choice:
            return std::any_of(node.children.begin(), node.children.end(), matchesEmpty);
        case PatternNode::Repeat:
            return node.min == 0 || matchesEmpty(node.children[0]);
    }
    return true;
}

std::string emitPattern(const PatternNode& node, long repeatLimit) {
    std::string out;
    emit(node, repeatLimit, out);
    return out;
}

namespace {

bool caseClosed(const PatternNode& node, int depth) {
    if (depth > 400) return false;
    for (int b = 'a'; b <= 'z'; ++b)
        if (node.set.test(b) != node.set.test(b - 'a' + 'A')) return false;
    for (const PatternNode& child : node.children)
        if (!caseClosed(child, depth + 1)) return false;
    return true;
}

}  // namespace

std::string emitFoldedPattern(const PatternNode& node, long repeatLimit) {
    if (!caseClosed(node, 0)) return std::string();
    std::string out = "(?i)";
    emit(node, repeatLimit, out, true);
    return out;
}

namespace {

// Appends to out the pieces of node, each at most limit bytes and none matching the empty
// text; false when that cannot be done. whole is set when every match of node is, from its
// first byte to its last, a match of one piece (the node whole, or whole branches of a
// choice); else a piece may match only inside it, and nothing may be glued to its edges.
bool pieces(const PatternNode& node, std::size_t limit, long repeatLimit, int depth, std::vector<std::string>& out,
            bool& whole) {
    whole = false;
    if (depth > 50 || matchesEmpty(node)) return false;
    std::string spelled = emitPattern(node, repeatLimit);
    if (spelled.size() <= limit) {
        out.push_back(std::move(spelled));
        whole = true;
        return true;
    }
    bool innerWhole = false;
    switch (node.kind) {
        case PatternNode::Choice: {
            // Branches grouped while they fit; a branch too long alone is cut in turn.
            PatternNode group;
            group.kind = PatternNode::Choice;
            std::size_t groupSize = 0;
            auto flush = [&]() {
                if (group.children.empty()) return true;
                std::string text = emitPattern(group, repeatLimit);
                group.children.clear();
                groupSize = 0;
                if (text.size() > limit) return false;
                out.push_back(std::move(text));
                return true;
            };
            bool allWhole = true;
            for (const PatternNode& branch : node.children) {
                std::string text = emitPattern(branch, repeatLimit);
                if (matchesEmpty(branch)) return false;
                if (text.size() + 8 > limit) {
                    if (!flush() || !pieces(branch, limit, repeatLimit, depth + 1, out, innerWhole)) return false;
                    allWhole = allWhole && innerWhole;
                    continue;
                }
                if (groupSize + text.size() + 8 > limit && !flush()) return false;
                groupSize += text.size() + 1;
                group.children.push_back(branch);
            }
            whole = allWhole;
            return flush();
        }
        case PatternNode::Sequence: {
            // Any run of elements, matched inside a match of the whole, is a piece's match.
            // The run that says most within the limit is one piece; when one element is too
            // long alone, its pieces each keep the short elements around it.
            std::vector<std::string> texts;
            std::size_t longest = 0;
            for (const PatternNode& child : node.children) {
                texts.push_back(emitPattern(child, repeatLimit));
                if (texts.back().size() > texts[longest].size()) longest = texts.size() - 1;
            }
            std::size_t count = texts.size();
            if (count == 0) return false;
            if (texts[longest].size() <= limit) {
                // Optional elements fill the limit but require nothing: they count for nothing.
                std::vector<std::size_t> says(count, 0);
                for (std::size_t i = 0; i < count; ++i)
                    if (!matchesEmpty(node.children[i])) says[i] = texts[i].size();
                std::size_t bestFirst = 0, bestEnd = 0, bestSays = 0, size = 0, saying = 0;
                for (std::size_t first = 0, end = 0; first < count; ++first) {
                    while (end < count && size + texts[end].size() <= limit) size += texts[end].size(), saying += says[end++];
                    if (saying > bestSays) bestFirst = first, bestEnd = end, bestSays = saying;
                    size -= texts[first].size();
                    saying -= says[first];
                }
                PatternNode run;
                run.kind = PatternNode::Sequence;
                run.children.assign(node.children.begin() + static_cast<std::ptrdiff_t>(bestFirst),
                                    node.children.begin() + static_cast<std::ptrdiff_t>(bestEnd));
                if (!matchesEmpty(run)) {
                    std::string text;
                    for (std::size_t i = bestFirst; i < bestEnd; ++i) text += texts[i];
                    out.push_back(std::move(text));
                    return true;
                }
            }
            // The longest element that needs a text, with as many neighbours on each side as
            // a quarter of the limit holds.
            longest = count;
            for (std::size_t i = 0; i < count; ++i)
                if (!matchesEmpty(node.children[i]) && (longest == count || texts[i].size() > texts[longest].size()))
                    longest = i;
            if (longest == count) return false;
            std::size_t first = longest, end = longest + 1, around = 0;
            for (bool grew = true; grew;) {
                grew = false;
                if (first > 0 && around + texts[first - 1].size() <= limit / 4) around += texts[--first].size(), grew = true;
                if (end < count && around + texts[end].size() <= limit / 4) around += texts[end++].size(), grew = true;
            }
            std::vector<std::string> inner;
            if (!pieces(node.children[longest], limit - around, repeatLimit, depth + 1, inner, innerWhole)) return false;
            // Neighbours join only pieces that match the element whole: one that matches
            // inside it (a copy of a repeat, a run of a sequence) need not touch them.
            std::string before, after;
            if (innerWhole) {
                for (std::size_t i = first; i < longest; ++i) before += texts[i];
                for (std::size_t i = longest + 1; i < end; ++i) after += texts[i];
            }
            for (std::string& piece : inner) out.push_back(before + piece + after);
            return true;
        }
        case PatternNode::Repeat:
            return node.min >= 1 && pieces(node.children[0], limit, repeatLimit, depth + 1, out, innerWhole);
        default:
            return false;
    }
}

}  // namespace

const PatternNode& coreOf(const PatternNode& node, std::size_t size) {
    const PatternNode* core = &node;
    for (int depth = 0; depth < 50; ++depth) {
        std::size_t bytes = emitPattern(*core).size();
        if (bytes <= size) break;
        const PatternNode* next = nullptr;
        if (core->kind == PatternNode::Repeat && core->min >= 1) {
            next = &core->children[0];
        } else if (core->kind == PatternNode::Sequence) {
            for (const PatternNode& child : core->children) {
                std::size_t childBytes = emitPattern(child).size();
                if (childBytes * 4 >= bytes * 3) next = &child;
            }
        }
        if (!next || matchesEmpty(*next)) break;
        core = next;
    }
    return *core;
}

std::vector<std::string> emitPieces(const PatternNode& node, std::size_t limit, long repeatLimit) {
    std::vector<std::string> out;
    bool whole = false;
    if (!pieces(node, limit, repeatLimit, 0, out, whole)) out.clear();
    return out;
}

}  // namespace cgp::prefilter
