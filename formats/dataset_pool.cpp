#include "formats/dataset_pool.h"

#include <string>
#include <vector>

#include "filter/quoting.h"
#include "foundation/base64.h"

namespace cgp {

namespace {

struct Pool {
    std::vector<DataSet> values;
    std::size_t result = static_cast<std::size_t>(-1);
};

// Never destroyed, like the other process-wide locks.
Pool& pool() {
    static Pool* values = new Pool;
    return *values;
}

std::size_t add(DataSet&& value) {
    std::vector<DataSet>& values = pool().values;
    values.push_back(std::move(value));
    return values.size() - 1;
}

data_set& at(std::size_t index) { return *pool().values[index].get(); }

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
    pool().values.clear();
    pool().result = static_cast<std::size_t>(-1);
}

DataSet dataSetPoolValue(std::size_t index) {
    return index < pool().values.size() ? pool().values[index] : DataSet();
}

void setDataSetPoolResult(std::size_t index) { pool().result = index; }

std::size_t dataSetPoolResult() { return pool().result; }

std::size_t newStringValue(std::string_view text) {
    DataSet value(DataSetKind::String);
    value->stringValue = unescaped(text);
    return add(std::move(value));
}

std::size_t appendQuotedText(std::size_t index, std::string_view text) {
    at(index).stringValue += unescaped(text);
    return index;
}

std::size_t newArray() { return add(DataSet(DataSetKind::Array)); }

std::size_t newArrayWithItem(std::size_t item) { return appendArrayItem(newArray(), item); }

std::size_t appendArrayItem(std::size_t array, std::size_t item) {
    at(array).array.push_back(pool().values[item]);
    return array;
}

std::size_t newDictionary() { return add(DataSet(DataSetKind::Dictionary)); }

std::size_t newDictionaryWithItem(std::size_t key, std::size_t value) {
    return insertDictionaryItem(newDictionary(), key, value);
}

std::size_t insertDictionaryItem(std::size_t dictionary, std::size_t key, std::size_t value) {
    at(dictionary).dictionary.set(at(key).stringValue, pool().values[value]);
    return dictionary;
}

std::size_t decodeDataBlock(std::string_view text) {
    std::string alphabet;
    alphabet.reserve(text.size());
    for (unsigned char c : text) {
        if (isBase64Byte(c)) alphabet += static_cast<char>(c);
    }
    alphabet.resize(alphabet.size() - alphabet.size() % 4);
    DataSet value(DataSetKind::Data);
    value->stringValue = tmg::base64Decode(alphabet);
    return add(std::move(value));
}

}  // namespace cgp
