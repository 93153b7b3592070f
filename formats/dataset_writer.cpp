#include "formats/dataset_writer.h"

#include <algorithm>
#include <climits>
#include <sstream>
#include <vector>

#include "filter/quoting.h"
#include "foundation/base64.h"
#include "foundation/file_stream.h"

namespace cgp {

namespace {

bool isBareByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
}

bool isBareWord(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isBareByte);
}

void writeWord(std::ostream& out, const std::string& text) {
    // Bare bytes pass escaping unchanged: the common case needs no copy.
    if (isBareWord(text))
        out << text;
    else
        out << quoteDataSetWord(text);
}

void writeBreak(std::ostream& out, int level, bool oneLine) {
    if (oneLine) return;
    out << '\n';
    for (int i = 0; i < level; ++i) out << "  ";
}

// The level of a container's elements; it stops at the largest int rather than overflow.
int inside(int level) { return level == INT_MAX ? level : level + 1; }

DataSetKind kindOf(const data_set* node) { return node == nullptr ? DataSetKind::Empty : node->kind; }

// An array or dictionary being printed: its entries and how far printing has come.
struct OpenNode {
    const data_set* node;
    int level;
    std::size_t next;
    std::vector<const DataSetDictionary::Entry*> entries;  // dictionaries: the printed ones, in order
};

// Writes a scalar value, or the opening of a container, which is then pushed to be continued.
void begin(std::ostream& out, const data_set* node, int level, bool oneLine, std::vector<OpenNode>& open) {
    switch (kindOf(node)) {
        case DataSetKind::Empty:
            return;
        case DataSetKind::String:
            writeWord(out, node->stringValue);
            return;
        case DataSetKind::Data:
            out << '[';
            tmg::base64EncodeTo(node->stringValue, out);
            out << ']';
            return;
        case DataSetKind::Array:
            writeBreak(out, level, oneLine);
            out << '(';
            open.push_back({node, level, 0, {}});
            return;
        case DataSetKind::Dictionary: {
            writeBreak(out, level, oneLine);
            out << '{';
            OpenNode opened{node, level, 0, {}};
            opened.entries.reserve(node->dictionary.size());
            for (const auto& entry : node->dictionary)
                if (!entry.key.empty() && entry.value.kind() != DataSetKind::Empty) opened.entries.push_back(&entry);
            std::sort(opened.entries.begin(), opened.entries.end(),
                      [](const DataSetDictionary::Entry* a, const DataSetDictionary::Entry* b) { return a->key < b->key; });
            open.push_back(std::move(opened));
            return;
        }
    }
}

// Prints without recursion; the tree is not changed meanwhile, so node pointers are safe.
void writeValue(std::ostream& out, const data_set* root, int level, bool oneLine) {
    std::vector<OpenNode> open;
    begin(out, root, level, oneLine, open);
    while (!open.empty()) {
        OpenNode& top = open.back();
        const data_set* node = top.node;
        int at = top.level;
        std::size_t i = top.next++;
        if (node->kind == DataSetKind::Array) {
            if (i == node->array.size()) {
                writeBreak(out, at, oneLine);
                out << ')';
                open.pop_back();
                continue;
            }
            if (i > 0) out << ',';
            writeBreak(out, inside(at), oneLine);
            const data_set* element = node->array[i].get();
            if (kindOf(element) == DataSetKind::Empty)
                out << "#NULL#";  // keeps the text readable: nothing between commas is not
            else
                begin(out, element, inside(at), oneLine, open);  // may invalidate top
        } else {
            if (i > 0) out << ';';
            if (i == top.entries.size()) {
                writeBreak(out, at, oneLine);
                out << '}';
                open.pop_back();
                continue;
            }
            const DataSetDictionary::Entry* entry = top.entries[i];
            writeBreak(out, inside(at), oneLine);
            writeWord(out, entry->key);
            out << " = ";
            begin(out, entry->value.get(), inside(at), oneLine, open);  // may invalidate top
        }
    }
}

}  // namespace

void ChangeLine::operator()(std::ostream& out) const { writeBreak(out, level, oneLine); }

void Level::operator()(std::ostream& out) const { writeValue(out, value.get(), level, oneLine); }

std::string quoteDataSetWord(const std::string& text) {
    std::string escaped = escapeString(text);
    if (isBareWord(escaped)) return escaped;
    return '"' + escaped + '"';
}

std::string DataSet::toString(const DataSet& value, bool pretty) {
    std::ostringstream out;
    Level(0, value, !pretty)(out);
    return out.str();
}

bool writeDataSetFile(const DataSet& value, const std::string& path) {
    tmg::ofstream file(path, std::ios::out | std::ios::trunc);
    if (!file.is_open()) return false;
    Level(0, value, false)(file);
    file.flush();
    bool written = !file.fail();
    file.close();
    return written && !file.fail();
}

}  // namespace cgp
