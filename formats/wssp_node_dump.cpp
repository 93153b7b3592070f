#include "formats/wssp_node_dump.h"

#include <cstdio>

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

void dump(std::string& out, const WSSPNode* node) {
    if (!node) {
        out += "null";
        return;
    }
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
    if (node->children.empty()) return;
    out += '(';
    for (std::size_t i = 0; i < node->children.size(); ++i) {
        if (i) out += ", ";
        dump(out, node->children[i]);
    }
    out += ')';
}

}  // namespace

std::string dumpWSSPTree(const WSSPNode* node) {
    std::string out;
    dump(out, node);
    return out;
}

}  // namespace cgp
