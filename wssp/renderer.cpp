#include <ostream>
#include <string>
#include <vector>

#include "wssp/internal/evaluator.h"
#include "wssp/internal/option_menu.h"
#include "wssp/wssp_page.h"

namespace cgp {

namespace wssp_internal {

namespace {

// Output is collected and handed to the stream in pieces of about this size.
constexpr std::size_t kFlushSize = 32 * 1024;

const WSSPNode* childAt(const WSSPNode* node, std::size_t index) {
    return index < node->children.size() ? node->children[index] : nullptr;
}

// Walks a tree with a work list of its own instead of the machine stack, so neither deep
// nesting nor included pages inside included pages can exhaust it.
class Renderer {
public:
    // Writes to the stream (through a buffer of its own) or, with a null stream, appends
    // to target.
    Renderer(WSSPContext& context, std::ostream* out, std::string& target)
        : ctx(context), evaluator(context), stream(out), buffer(target) {}
    ~Renderer() { flush(); }

    void run(const WSSPNode* root);

private:
    struct Task {
        enum Kind : unsigned char { NextItem, NextElement, EndInclude } kind;
        const WSSPNode* node;
        std::size_t index;
    };

    void visit(const WSSPNode* node);
    void visitConditional(const WSSPNode* node);
    void visitLoop(const WSSPNode* node);
    void visitInclude(const WSSPNode* node);
    void nextElement(Task& task);
    void endInclude();
    DataSetDictionary& variables() { return ctx.variables->dictionary; }
    const std::string& keyOf(const std::string& name, const char* suffix) {
        key.assign(name).append(suffix);
        return key;
    }
    void flush() {
        if (stream == nullptr || buffer.empty()) return;
        stream->write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        buffer.clear();
    }

    WSSPContext& ctx;
    Evaluator evaluator;
    std::ostream* stream;
    std::string& buffer;
    std::vector<Task> tasks;
    // Loop lists and saved include arguments, innermost last.
    std::vector<DataSet> held;
    std::string key;
};

void Renderer::run(const WSSPNode* root) {
    visit(root);
    while (!tasks.empty()) {
        Task& task = tasks.back();
        switch (task.kind) {
            case Task::NextItem: {
                const std::vector<WSSPNode*>& items = task.node->children;
                if (task.index >= items.size()) {
                    tasks.pop_back();
                    break;
                }
                const WSSPNode* item = items[task.index++];
                // The last item needs no way back to its Sequence: a long chain of
                // last items keeps the work list short.
                if (task.index == items.size()) tasks.pop_back();
                visit(item);
                break;
            }
            case Task::NextElement:
                nextElement(task);
                break;
            case Task::EndInclude:
                tasks.pop_back();
                endInclude();
                break;
        }
        if (buffer.size() >= kFlushSize) flush();
    }
}

void Renderer::visit(const WSSPNode* node) {
    if (node == nullptr) return;
    switch (node->kind) {
        case WSSPNodeKind::Empty:
            return;
        case WSSPNodeKind::Text:
            buffer += node->text;
            return;
        case WSSPNodeKind::Integer:
            buffer += WSSPPage::toText(node->number);
            return;
        case WSSPNodeKind::Variable:
            if (const DataSet* found = findIn(ctx.data, node->text)) {
                if (found->get() != nullptr) buffer += (*found)->stringValue;
            }
            return;
        case WSSPNodeKind::Output: {
            Value value = evaluator.evaluate(childAt(node, 1));
            evaluator.appendEncoded(node, value, buffer);
            return;
        }
        case WSSPNodeKind::Call:
            // The Call's own value: "(NOT(flag))" passes "YES" or "NO", not the flag.
            buffer += evaluator.evaluate(node).text();
            return;
        case WSSPNodeKind::LoopElement: {
            const std::string& name = keyOf(node->text, "[]");
            if (const DataSet* bound = variables().find(name)) {
                if (bound->get() != nullptr) buffer += (*bound)->stringValue;
            } else {
                variables().emplaceNew(name, DataSetKind::Empty);
            }
            return;
        }
        case WSSPNodeKind::Menu:
            appendMenu(node, evaluator, buffer);
            return;
        case WSSPNodeKind::Conditional:
            visitConditional(node);
            return;
        case WSSPNodeKind::Loop:
            visitLoop(node);
            return;
        case WSSPNodeKind::Sequence:
            if (!node->children.empty()) tasks.push_back(Task{Task::NextItem, node, 0});
            return;
        case WSSPNodeKind::Include:
            visitInclude(node);
            return;
    }
}

void Renderer::visitConditional(const WSSPNode* node) {
    const std::vector<WSSPNode*>& parts = node->children;
    std::size_t i = 0;
    for (; i + 1 < parts.size(); i += 2) {
        if (evaluator.evaluate(parts[i]).toBool()) {
            visit(parts[i + 1]);
            return;
        }
    }
    if (i < parts.size()) visit(parts[i]);
}

void Renderer::visitLoop(const WSSPNode* node) {
    Value list = evaluator.evaluate(childAt(node, 0));
    const data_set* elements = list.kind() == DataSetKind::Array ? list.containers() : nullptr;
    if (elements == nullptr || elements->array.empty()) {
        visit(childAt(node, 2));
        return;
    }
    // The body may rebind what the list came from: hold the list itself. Then the loop's
    // own position node, rewritten for each element (see nextElement).
    held.push_back(list.toDataSet());
    held.emplace_back(DataSetKind::String);
    tasks.push_back(Task{Task::NextElement, node, 0});
}

void Renderer::nextElement(Task& task) {
    const WSSPNode* loop = task.node;
    const DataSet& position = held.back();
    const DataSetArray& elements = held[held.size() - 2]->array;
    if (task.index < elements.size()) {
        std::size_t at = task.index++;
        variables().set(keyOf(loop->text, "[]"), elements[at]);
        // Only this render reads the position binding, and only as text: while it still
        // holds the loop's own node, the node is rewritten instead of rebound, which spares
        // the shared handle lock that rendering threads would otherwise queue on.
        position->stringValue = WSSPPage::toText(static_cast<std::int64_t>(at));
        DataSet* bound = variables().find(keyOf(loop->text, "[index]"));
        if (bound == nullptr || bound->get() != position.get()) variables().set(key, position);
        visit(childAt(loop, 1));
        return;
    }
    variables().erase(keyOf(loop->text, "[]"));
    variables().erase(keyOf(loop->text, "[index]"));
    held.pop_back();
    held.pop_back();
    tasks.pop_back();
}

void Renderer::visitInclude(const WSSPNode* node) {
    WSSPIncludeHandler* handler = WSSPPage::includeHandler();
    if (handler == nullptr) {
        buffer += "[INTERNAL ERROR, INCLUDE HANDLER NOT SET]";
        return;
    }
    // A page that includes itself, directly or around a circle, stops here.
    if (ctx.includeDepth >= WSSPPage::kMaxIncludeDepth) {
        buffer += "[ERROR, INCLUDED FILE '" + node->text + "' NESTED TOO DEEPLY]";
        return;
    }
    // Includes side by side multiply within the depth limit: the whole render has a budget.
    if (ctx.includesRendered >= WSSPPage::kMaxIncludesPerRender) {
        buffer += "[ERROR, INCLUDED FILE '" + node->text + "' INCLUDED TOO OFTEN]";
        return;
    }
    // What the handler writes of its own comes after what the page wrote so far.
    flush();
    const WSSPNode* page = handler->includedPage(node->text);
    if (page == nullptr) {
        buffer += "[ERROR, INCLUDED FILE '" + node->text + "' NOT FOUND]";
        return;
    }
    DataSet arguments(DataSetKind::Array);
    for (const WSSPNode* argument : node->children) {
        std::string text;
        {
            Renderer own(ctx, nullptr, text);
            own.run(argument);
        }
        arguments->array.emplace_back(text);
    }
    DataSet* slot = variables().find("INCLUDEARG");
    if (slot == nullptr) slot = &variables().emplaceNew("INCLUDEARG", DataSetKind::Empty);
    held.push_back(std::move(*slot));
    *slot = std::move(arguments);
    ++ctx.includeDepth;
    ++ctx.includesRendered;
    tasks.push_back(Task{Task::EndInclude, node, 0});
    visit(page);
}

void Renderer::endInclude() {
    --ctx.includeDepth;
    variables().set("INCLUDEARG", held.back());
    held.pop_back();
}

// Gives the context a variables dictionary when it has none.
void ensureVariables(WSSPContext& context) {
    if (context.variables.kind() != DataSetKind::Dictionary) context.variables = DataSet(DataSetKind::Dictionary);
}

}  // namespace

}  // namespace wssp_internal

void WSSPPage::render(const WSSPNode* root, std::ostream& out, const DataSet& data) {
    if (root == nullptr) return;
    WSSPContext context{data, DataSet(DataSetKind::Dictionary)};
    context.variables->dictionary.emplaceNew("INCLUDEARG", DataSetKind::Array);
    renderNode(root, out, context);
}

void WSSPPage::renderNode(const WSSPNode* node, std::ostream& out, WSSPContext& context) {
    wssp_internal::ensureVariables(context);
    std::string buffer;
    wssp_internal::Renderer renderer(context, &out, buffer);
    renderer.run(node);
}

void WSSPPage::renderMenu(const WSSPNode* node, std::ostream& out, WSSPContext& context) {
    if (node == nullptr) return;
    wssp_internal::ensureVariables(context);
    wssp_internal::Evaluator evaluator(context);
    std::string text;
    wssp_internal::appendMenu(node, evaluator, text);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace cgp
