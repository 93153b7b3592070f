#include "filter/prefilter_odds_internal.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <vector>

namespace cgp::prefilter {

namespace {

constexpr double lineBytes = 60;

// The share of each byte in ordinary mail text.
const std::array<double, 256>& byteShares() {
    static const std::array<double, 256> shares = [] {
        std::array<double, 256> s{};
        s.fill(0.0001);  // controls and the upper half
        // Letters by their frequency in English text: lower case most of it.
        const char* letters = "etaoinshrdlcumwfgypbvkjxqz";
        const double frequency[] = {.127, .091, .082, .075, .070, .067, .063, .061, .060, .043, .040, .028, .028,
                                    .024, .024, .022, .020, .020, .019, .015, .010, .008, .002, .002, .001, .001};
        for (int i = 0; i < 26; ++i) {
            s[static_cast<unsigned char>(letters[i])] = 0.62 * frequency[i];
            s[static_cast<unsigned char>(letters[i] - 'a' + 'A')] = 0.06 * frequency[i];
        }
        for (int c = '0'; c <= '9'; ++c) s[c] = 0.005;
        for (int c = 0x21; c < 0x7f; ++c)
            if (!std::isalnum(c)) s[c] = 0.0037;
        s[' '] = 0.14;
        s['\t'] = 0.005;
        s['\r'] = 0.003;
        return s;
    }();
    return shares;
}

double onLine(double at) { return std::min(1.0, lineBytes * at); }

double at(const PatternNode& node, int depth);

// Any text can stand here: what follows may occur anywhere later on the line.
bool isGap(const PatternNode& node, int depth) {
    if (node.kind == PatternNode::AnyText) return true;
    if (node.kind != PatternNode::Repeat || node.min != 0 || depth > 50) return false;
    return isGap(node.children[0], depth + 1) ||
           ((node.max < 0 || node.max >= 16) && at(node.children[0], depth + 1) >= 0.5);
}

// The chance that a match of the elements starts at a given place: the product of the
// elements up to the first gap, times the chance of each later stretch somewhere on the line.
double sequenceAt(const std::vector<const PatternNode*>& elements, int depth) {
    double first = 1, stretch = 1;
    bool gapped = false, leading = false;
    for (const PatternNode* element : elements) {
        if (isGap(*element, depth)) {
            if (!gapped && first == 1) leading = true;
            if (gapped) first *= onLine(stretch);
            gapped = true;
            stretch = 1;
            continue;
        }
        (gapped ? stretch : first) *= at(*element, depth + 1);
    }
    if (gapped) first *= onLine(stretch);
    // Led by a gap, the match may start anywhere before what it needs: its chance on the
    // line is that of the rest, not the line's length times it.
    return leading ? first / lineBytes : first;
}

// The elements of a sequence, nested sequences opened and short repeats of a node that
// ends in a gap spelled out, so that each copy after the gap counts as placed freely.
void flatten(const PatternNode& node, std::vector<const PatternNode*>& out, int depth) {
    if (node.kind == PatternNode::Sequence) {
        for (const PatternNode& child : node.children) flatten(child, out, depth);
        return;
    }
    if (node.kind == PatternNode::Repeat && node.min >= 1 && node.children[0].kind == PatternNode::Sequence &&
        !node.children[0].children.empty() && isGap(node.children[0].children.back(), depth)) {
        for (long i = 0; i < std::min(node.min, 8L); ++i) flatten(node.children[0], out, depth);
        return;
    }
    out.push_back(&node);
}

double at(const PatternNode& node, int depth) {
    if (depth > 50) return 1;
    switch (node.kind) {
        case PatternNode::Bytes: {
            double sum = 0;
            for (int b = 0; b < 256; ++b)
                if (node.set[b]) sum += byteShares()[b];
            return std::min(1.0, sum);
        }
        case PatternNode::Nothing:
        case PatternNode::AnyText:
            return 1;
        case PatternNode::LineStart:
        case PatternNode::LineEnd:
            return 1 / lineBytes;
        case PatternNode::Sequence: {
            std::vector<const PatternNode*> elements;
            flatten(node, elements, depth);
            return sequenceAt(elements, depth);
        }
        case PatternNode::Choice: {
            double sum = 0;
            for (const PatternNode& child : node.children) sum += at(child, depth + 1);
            return std::min(1.0, sum);
        }
        case PatternNode::Repeat:
            if (node.min == 0) return 1;
            if (node.children[0].kind == PatternNode::Sequence) {
                std::vector<const PatternNode*> elements;
                flatten(node, elements, depth);
                if (elements.size() != 1 || elements[0] != &node) return sequenceAt(elements, depth);
            }
            return std::pow(at(node.children[0], depth + 1), static_cast<double>(std::min(node.min, 64L)));
    }
    return 1;
}

}  // namespace

double shareOfLinesNamed(const PatternNode& node) {
    std::vector<const PatternNode*> elements;
    flatten(node, elements, 0);
    return onLine(sequenceAt(elements, 0));
}

}  // namespace cgp::prefilter
