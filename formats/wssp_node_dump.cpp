#include "formats/wssp_node_dump.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace cgp {

namespace {

void quoted(std::string& out, const std::string& text) {
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02X", c);
                    out += hex;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

// The node's own part, without its children.
void head(std::string& out, const WSSPNode* node) {
    switch (node->kind) {
        case WSSPNodeKind::Empty: out += "Empty"; break;
        case WSSPNodeKind::Text: out += "Text "; quoted(out, node->text); break;
        case WSSPNodeKind::Integer: out += "Int " + std::to_string(node->number); break;
        case WSSPNodeKind::Variable: out += "Var " + node->text; break;
        case WSSPNodeKind::Output: out += "Output"; break;
        case WSSPNodeKind::Call: out += "Call " + std::to_string(node->number); break;
        case WSSPNodeKind::LoopElement: out += "Elem " + node->text; break;
        case WSSPNodeKind::Menu: out += "Menu " + std::to_string(node->number); break;
        case WSSPNodeKind::Conditional: out += "If"; break;
        case WSSPNodeKind::Loop: out += "Loop " + node->text; break;
        case WSSPNodeKind::Sequence: out += "Seq"; break;
        case WSSPNodeKind::Include: out += "Include "; quoted(out, node->text); break;
        default: out += "Kind" + std::to_string(static_cast<int>(node->kind)); break;
    }
}

// Depth-first with a work list of (node, next child): trees can be as deep as a page's
// longest operator chain.
void dump(std::string& out, const WSSPNode* root) {
    if (!root) {
        out += "null";
        return;
    }
    std::vector<std::pair<const WSSPNode*, std::size_t>> open;
    head(out, root);
    open.emplace_back(root, 0);
    while (!open.empty()) {
        const WSSPNode* node = open.back().first;
        std::size_t next = open.back().second++;
        if (next == node->children.size()) {
            if (next) out += ')';
            open.pop_back();
            continue;
        }
        out += next ? ", " : "(";
        const WSSPNode* child = node->children[next];
        if (!child) {
            out += "null";
            continue;
        }
        head(out, child);
        open.emplace_back(child, 0);
    }
}

}  // namespace

std::string dumpWSSPTree(const WSSPNode* node) {
    std::string out;
    dump(out, node);
    return out;
}

}  // namespace cgp
