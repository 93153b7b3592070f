#include "formats/internal/wssp_builders.h"

#include <climits>
#include <cstdint>

#include "foundation/case_fold.h"
#include "foundation/log_line.h"

namespace cgp {

namespace {

WSSPNode* made(WSSPNodeKind kind) { return cgparserNoteNode(new WSSPNode(kind)); }

WSSPNode* orEmpty(WSSPNode* node) { return node ? node : made(WSSPNodeKind::Empty); }

// Moves the children of list (a Sequence) to target and deletes list; any other node
// becomes target's child.
void adoptArguments(WSSPNode* target, WSSPNode* list) {
    if (!list) return;
    if (list->kind != WSSPNodeKind::Sequence) {
        target->append(list);
        return;
    }
    for (WSSPNode* child : list->children) target->append(child);
    list->children.clear();
    delete list;
}

}  // namespace

WSSPNode* makeTextNode(const std::string& text) {
    WSSPNode* node = made(WSSPNodeKind::Text);
    node->text = text;
    return node;
}

WSSPNode* makeIntegerNode(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::int64_t value = 0;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT32_MIN) : INT32_MAX;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value >= limit) {
            value = limit;
            break;
        }
    }
    WSSPNode* node = made(WSSPNodeKind::Integer);
    node->number = static_cast<std::int32_t>(negative ? -value : value);
    return node;
}

WSSPNode* makeVariableNode(const std::string& name) {
    WSSPNode* node = made(WSSPNodeKind::Variable);
    node->text = tmg::foldCase(name);
    return node;
}

WSSPNode* makeOutputNode(WSSPNode* expression, WSSPNode* encoding) {
    WSSPNode* node = made(WSSPNodeKind::Output);
    node->append(orEmpty(encoding));
    node->append(orEmpty(expression));
    return node;
}

WSSPNode* makeOperatorNode(int code, WSSPNode* first, WSSPNode* second) {
    WSSPNode* node = made(WSSPNodeKind::Call);
    node->number = code;
    if (first) node->append(first);
    if (second) node->append(second);
    return node;
}

WSSPNode* makeFunctionNode(int code, WSSPNode* arguments) {
    WSSPNode* node = made(WSSPNodeKind::Call);
    node->number = code;
    adoptArguments(node, arguments);
    return node;
}

WSSPNode* makeLoopElementNode(WSSPNode* variable) {
    WSSPNode* node = made(WSSPNodeKind::LoopElement);
    if (variable) {
        node->text = tmg::foldCase(variable->text);
        delete variable;
    }
    return node;
}

WSSPNode* makeMenuNode(int code, WSSPNode* first, WSSPNode* second, WSSPNode* third, WSSPNode* fourth) {
    WSSPNode* node = made(WSSPNodeKind::Menu);
    node->number = code;
    WSSPNode* operands[] = {first, second, third, fourth};
    int present = 4;
    while (present > 0 && !operands[present - 1]) --present;
    for (int i = 0; i < present; ++i) node->append(orEmpty(operands[i]));
    return node;
}

WSSPNode* makeConditionalNode(WSSPNode* condition, WSSPNode* body, WSSPNode* elifPairs, WSSPNode* elseBody) {
    WSSPNode* node = made(WSSPNodeKind::Conditional);
    node->append(orEmpty(condition));
    node->append(orEmpty(body));
    adoptArguments(node, elifPairs);
    node->append(orEmpty(elseBody));
    return node;
}

WSSPNode* makeLoopNode(WSSPNode* openingName, WSSPNode* list, WSSPNode* body, WSSPNode* emptyForName,
                       WSSPNode* emptyBody, WSSPNode* closingName) {
    std::string name = openingName ? tmg::foldCase(openingName->text) : std::string();
    if (emptyForName) {
        std::string emptyName = tmg::foldCase(emptyForName->text);
        std::string endName = closingName ? tmg::foldCase(closingName->text) : std::string();
        if (emptyName != name || endName != name) {
            tmg::logline() << "while parsing a wssp file: syntax error, mismatching scanner names (" << name << ", "
                           << emptyName << ", " << endName << ")";
            for (WSSPNode* n : {openingName, list, body, emptyForName, emptyBody, closingName}) delete n;
            return nullptr;
        }
    }
    WSSPNode* node = made(WSSPNodeKind::Loop);
    node->text = name;
    node->append(orEmpty(list));
    node->append(orEmpty(body));
    node->append(orEmpty(emptyBody));
    delete openingName;
    delete emptyForName;
    delete closingName;
    return node;
}

WSSPNode* appendToSequence(WSSPNode* sequence, WSSPNode* node) {
    if (!sequence) sequence = made(WSSPNodeKind::Sequence);
    if (!node) return sequence;
    if (node->kind == WSSPNodeKind::Text && !sequence->children.empty() &&
        sequence->children.back()->kind == WSSPNodeKind::Text) {
        sequence->children.back()->text += node->text;
        delete node;
        return sequence;
    }
    sequence->append(node);
    return sequence;
}

WSSPNode* makeIncludeNode(const std::string& name, WSSPNode* arguments) {
    WSSPNode* node = made(WSSPNodeKind::Include);
    node->text = name;
    adoptArguments(node, arguments);
    return node;
}

}  // namespace cgp
