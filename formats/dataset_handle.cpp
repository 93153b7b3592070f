#include "formats/dataset.h"

#include "foundation/exception.h"
#include "formats/internal/dataset_number.h"

namespace cgp {

namespace {

const std::string kInvalidType = "Invalid Dataset Type";

// Splits at the first ".": the head before it, the rest after it (empty without a ".").
void splitPath(std::string_view path, std::string_view& head, std::string_view& rest) {
    std::size_t dot = path.find('.');
    head = path.substr(0, dot);
    rest = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
}

// The slot of one path component in an Array or Dictionary node, or null on a miss.
// Throws for any other node.
const DataSet* lookUpComponent(const data_set* node, std::string_view head) {
    if (node != nullptr && node->kind == DataSetKind::Array) {
        long long position;
        readLeadingInteger(head, position);
        if (position < 0 || static_cast<unsigned long long>(position) >= node->array.size()) return nullptr;
        return &node->array[static_cast<std::size_t>(position)];
    }
    if (node != nullptr && node->kind == DataSetKind::Dictionary) return node->dictionary.find(head);
    throw tmg::Exception(kInvalidType, 0);
}

// The rest of a lookup that has found `slot` with `rest` still to go. Walks node pointers
// and copies a handle only for the answer.
DataSet walk(const DataSet* slot, std::string_view rest) {
    std::string_view head;
    for (;;) {
        if (slot == nullptr) return DataSet(DataSetKind::Empty);
        if (rest.empty() || slot->kind() == DataSetKind::Empty) {
            if (slot->get() == nullptr) return DataSet(DataSetKind::Empty);
            return *slot;
        }
        splitPath(rest, head, rest);
        slot = lookUpComponent(slot->get(), head);
    }
}

// The kind of a node created for a component, given what follows it.
DataSetKind kindBefore(std::string_view rest, DataSetKind lastKind) {
    if (rest.empty()) return lastKind;
    std::string_view next = rest.substr(0, rest.find('.'));
    long long number;
    readLeadingInteger(next, number);
    return (!next.empty() && next[0] == '0') || number != 0 ? DataSetKind::Array : DataSetKind::Dictionary;
}

}  // namespace

DataSet::DataSet(DataSetKind kind) : thread_safe_ptr(new data_set(kind)) {}

DataSet::DataSet(DataSetKind kind, const DataSet& link) : thread_safe_ptr(new data_set(kind, link)) {}

DataSet::DataSet(const std::string& text) : DataSet(DataSetKind::String) { get()->stringValue = text; }

DataSet::DataSet(const char* text) : DataSet(DataSetKind::String) {
    if (text != nullptr) get()->stringValue = text;
}

DataSet::DataSet(bool value) : DataSet(DataSetKind::String) { get()->setBool(value); }

DataSet::DataSet(data_set* node) noexcept : thread_safe_ptr(node) {}

DataSet::DataSet(data_set* node, Deleter deleter) noexcept : thread_safe_ptr(node, deleter) {}

DataSet::~DataSet() = default;

DataSet& DataSet::operator=(const DataSet& other) noexcept {
    thread_safe_ptr::operator=(other);
    return *this;
}

DataSet& DataSet::operator=(DataSet&& other) noexcept {
    thread_safe_ptr::operator=(std::move(other));
    return *this;
}

DataSet DataSet::clone() const {
    const data_set* source = get();
    DataSet copy(source == nullptr ? DataSetKind::Empty : source->kind);
    if (source != nullptr) {
        data_set& target = *copy.get();
        target.stringValue = source->stringValue;
        // One hold of the ring mutex for all the element copies, which then only re-enter it.
        tmg::MutexLock lock(&sharedMutex());
        target.array = source->array;
        target.dictionary = source->dictionary;
    }
    return copy;
}

DataSet DataSet::get(const std::string& path) const {
    std::string_view head, rest;
    splitPath(path, head, rest);
    return walk(lookUpComponent(get(), head), rest);
}

DataSet DataSet::find(const std::string& path, DataSetKind kind, bool create) {
    if (!create) return get(path);
    std::string_view head, rest;
    splitPath(path, head, rest);
    data_set* node = get();
    lookUpComponent(node, head);  // throws for a node that holds no components
    DataSet* slot;
    if (node->kind == DataSetKind::Array) {
        long long position;
        readLeadingInteger(head, position);
        if (position < 0 || static_cast<unsigned long long>(position) > node->array.size())
            return DataSet(DataSetKind::Empty);
        if (static_cast<std::size_t>(position) == node->array.size())
            node->array.emplace_back(kindBefore(rest, kind));
        slot = &node->array[static_cast<std::size_t>(position)];
    } else {
        slot = node->dictionary.find(head);
        if (slot == nullptr) slot = &node->dictionary.emplaceNew(std::string(head), kindBefore(rest, kind));
    }
    return walk(slot, rest);
}

}  // namespace cgp
