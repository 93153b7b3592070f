#include "formats/dataset_pool.h"

#include <string>
#include <vector>

#include "filter/quoting.h"
#include "foundation/base64.h"

namespace cgp {

namespace {

// The values not yet put anywhere are owned here, by plain pointer: they have no handle
// yet, so moving one into its container takes no ring mutex.
struct Pool {
    std::vector<data_set*> values;
    std::size_t result = static_cast<std::size_t>(-1);
};

// Never destroyed, like the other process-wide locks.
Pool& pool() {
    static Pool* values = new Pool;
    return *values;
}

std::size_t add(DataSetKind kind) {
    std::vector<data_set*>& values = pool().values;
    // Room first, so that a node once made cannot leak.
    if (values.size() == values.capacity()) values.reserve(values.empty() ? 64 : 2 * values.size());
    values.push_back(new data_set(kind));
    return values.size() - 1;
}

data_set& at(std::size_t index) { return *pool().values[index]; }

// Most texts hold no escape; they skip the unescaping copy.
std::string unescaped(std::string_view text) {
    if (text.find('\\') == std::string_view::npos) return std::string(text);
    return unescapeString(std::string(text));
}

bool isBase64Byte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
           c == '=';
}

}  // namespace

tmg::MutexInterface& dataSetPoolMutex() {
    static tmg::MutexInterface* mutex = new tmg::MutexInterface;
    return *mutex;
}

void clearDataSetPool() {
    std::vector<data_set*>& values = pool().values;
    for (data_set* value : values) delete value;
    values.clear();
    pool().result = static_cast<std::size_t>(-1);
}

DataSet takeDataSetPoolValue(std::size_t index) {
    std::vector<data_set*>& values = pool().values;
    if (index >= values.size()) return DataSet();
    DataSet taken(values[index]);
    values[index] = nullptr;
    return taken;
}

void setDataSetPoolResult(std::size_t index) { pool().result = index; }

std::size_t dataSetPoolResult() { return pool().result; }

std::size_t newStringValue(std::string_view text) {
    std::string value = unescaped(text);
    std::size_t index = add(DataSetKind::String);
    at(index).stringValue = std::move(value);
    return index;
}

std::size_t appendQuotedText(std::size_t index, std::string_view text) {
    at(index).stringValue += unescaped(text);
    return index;
}

void appendKeyText(std::string& key, std::string_view text) {
    if (key.empty())
        key = unescaped(text);
    else
        key += unescaped(text);
}

std::size_t newArray() { return add(DataSetKind::Array); }

std::size_t newArrayWithItem(std::size_t item) { return appendArrayItem(newArray(), item); }

std::size_t appendArrayItem(std::size_t array, std::size_t item) {
    data_set*& moving = pool().values[item];
    at(array).array.emplace_back(moving);  // a handle of its own: a ring of one
    moving = nullptr;
    return array;
}

std::size_t newDictionary() { return add(DataSetKind::Dictionary); }

std::size_t insertDictionaryItem(std::size_t dictionary, const std::string& key, std::size_t value) {
    data_set*& moving = pool().values[value];
    DataSetDictionary& entries = at(dictionary).dictionary;
    if (DataSet* existing = entries.find(key))
        *existing = DataSet(moving);
    else
        entries.emplaceNew(key, moving);
    moving = nullptr;
    return dictionary;
}

std::size_t decodeDataBlock(std::string_view text) {
    std::string alphabet;
    alphabet.reserve(text.size());
    for (unsigned char c : text) {
        if (isBase64Byte(c)) alphabet += static_cast<char>(c);
    }
    alphabet.resize(alphabet.size() - alphabet.size() % 4);
    std::string bytes = tmg::base64Decode(alphabet);
    std::size_t index = add(DataSetKind::Data);
    at(index).stringValue = std::move(bytes);
    return index;
}

}  // namespace cgp
