#include "formats/internal/dataset_pool.h"

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "filter/quoting.h"
#include "foundation/base64.h"

namespace cgp {

namespace {

// One position. A value that the pool has not shared is kept by plain pointer: no handle
// of it exists, so moving it into its container takes no ring mutex. It gets its handle,
// in place, the first time it is shared.
struct Slot {
    data_set* node = nullptr;  // while not shared; null when empty or shared
    bool shared = false;       // the handle below is constructed
    alignas(DataSet) unsigned char storage[sizeof(DataSet)];

    DataSet& handle() { return *std::launder(reinterpret_cast<DataSet*>(storage)); }
    DataSet& share() {
        if (!shared) {
            new (storage) DataSet(node);  // a ring of one
            node = nullptr;
            shared = true;
        }
        return handle();
    }
    void release() {
        if (shared) {
            handle().~DataSet();
            shared = false;
        } else {
            delete node;
            node = nullptr;
        }
    }
};

// Positions live in chunks that never move, so no handle is ever moved by growth.
constexpr std::size_t kChunk = 1024;

struct Pool {
    std::vector<std::unique_ptr<Slot[]>> chunks;
    std::size_t count = 0;
    std::size_t result = static_cast<std::size_t>(-1);

    Slot& operator[](std::size_t index) { return chunks[index / kChunk][index % kChunk]; }
};

// Never destroyed, like the other process-wide locks.
Pool& pool() {
    static Pool* values = new Pool;
    return *values;
}

std::size_t add(DataSetKind kind) {
    Pool& p = pool();
    // Room first, so that a node once made cannot leak.
    if (p.count == p.chunks.size() * kChunk) p.chunks.push_back(std::make_unique<Slot[]>(kChunk));
    p[p.count].node = new data_set(kind);
    return p.count++;
}

// The node at a position, shared or not.
data_set& at(std::size_t index) {
    Slot& slot = pool()[index];
    return slot.shared ? *slot.handle().get() : *slot.node;
}

// A handle of its own for the value at index, which leaves the pool: without the ring
// mutex when the pool never shared it.
DataSet take(std::size_t index) {
    Slot& slot = pool()[index];
    if (!slot.shared) {
        DataSet taken(slot.node);
        slot.node = nullptr;
        return taken;
    }
    return std::move(slot.handle());
}

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
    static tmg::MutexInterface* mutex = new tmg::MutexInterface(tmg::LockRank::DataSetPool);
    return *mutex;
}

void clearDataSetPool() {
    Pool& p = pool();
    for (std::size_t i = 0; i < p.count; ++i) p[i].release();
    p.count = 0;
    p.result = static_cast<std::size_t>(-1);
}

DataSet dataSetPoolValue(std::size_t index) {
    return index < pool().count ? pool()[index].share() : DataSet();
}

DataSet takeDataSetPoolValue(std::size_t index) { return index < pool().count ? take(index) : DataSet(); }

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

std::size_t newArray() { return add(DataSetKind::Array); }

std::size_t newArrayWithItem(std::size_t item) { return appendArrayItem(newArray(), item); }

std::size_t appendArrayItem(std::size_t array, std::size_t item) {
    at(array).array.push_back(pool()[item].share());
    return array;
}

std::size_t newDictionary() { return add(DataSetKind::Dictionary); }

std::size_t newDictionaryWithItem(std::size_t key, std::size_t value) {
    return insertDictionaryItem(newDictionary(), key, value);
}

std::size_t insertDictionaryItem(std::size_t dictionary, std::size_t key, std::size_t value) {
    at(dictionary).dictionary.set(at(key).stringValue, pool()[value].share());
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

void appendKeyText(std::string& key, std::string_view text) {
    if (key.empty())
        key = unescaped(text);
    else
        key += unescaped(text);
}

std::size_t moveArrayItem(std::size_t array, std::size_t item) {
    DataSetArray& elements = at(array).array;
    Slot& slot = pool()[item];
    if (slot.shared) {
        elements.push_back(std::move(slot.handle()));
        return array;
    }
    // Room first, so that the node cannot leak.
    if (elements.size() == elements.capacity()) elements.reserve(elements.empty() ? 4 : 2 * elements.size());
    elements.emplace_back(slot.node);  // the element's handle is made from the node
    slot.node = nullptr;
    return array;
}

std::size_t moveDictionaryItem(std::size_t dictionary, const std::string& key, std::size_t value) {
    DataSetDictionary& entries = at(dictionary).dictionary;
    if (DataSet* existing = entries.find(key)) {
        *existing = take(value);
        return dictionary;
    }
    Slot& slot = pool()[value];
    if (!slot.shared) {
        entries.emplaceNew(key, slot.node);  // the entry's handle is made from the node
        slot.node = nullptr;
    } else {
        entries.emplaceNew(key, std::move(slot.handle()));
    }
    return dictionary;
}

}  // namespace cgp
