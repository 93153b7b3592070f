#pragma once

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cgp {

// Hash of a key as the server's tables compute it: over the bytes up to the first zero
// byte, h = 5 * h + byte, each byte read as a signed 8-bit value, in unsigned 64-bit
// arithmetic.
std::uint64_t hashStringKey(std::string_view key) noexcept;

// The first bucket count of the table's prime list (53, 97, 193, 389, ...) that is not
// below the count; the list's last prime when the count is above it.
std::size_t nextBucketCount(std::size_t count) noexcept;

// A chained hash table from byte-string keys to values, with the server's own layout: it
// starts with 193 buckets, a key's bucket is hashStringKey modulo the bucket count, keys
// compare byte for byte (length included), a new key goes to the head of its bucket's
// chain, and an insertion that would make the entry count exceed the bucket count first
// grows the table to nextBucketCount(new count), rehashing every entry. Iteration runs
// bucket by bucket from the first, each chain from its head; that order is observable
// (callers build rows in it), so it must not change. A copy has the same buckets and the
// same order. Nothing is allocated before the first insertion.
//
// Not synchronised: one writer, or any number of readers, at a time. Pointers to values
// stay valid until their entry is erased or the table is cleared or destroyed.
template <class Value>
class StringHashTable {
public:
    struct Entry {
        const std::string key;
        Value value;
        Entry* next;
    };

    template <class E>
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = E;
        using difference_type = std::ptrdiff_t;
        using pointer = E*;
        using reference = E&;

        Iterator() = default;
        E& operator*() const { return *entry; }
        E* operator->() const { return entry; }
        Iterator& operator++() {
            entry = entry->next;
            if (entry == nullptr) settle(bucket + 1);
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const Iterator& other) const { return entry == other.entry; }
        bool operator!=(const Iterator& other) const { return entry != other.entry; }

    private:
        friend class StringHashTable;
        Iterator(Entry* const* table, std::size_t size, std::size_t from)
            : buckets(table), count(size) {
            settle(from);
        }
        void settle(std::size_t from) {
            entry = nullptr;
            for (bucket = from; bucket < count; ++bucket)
                if ((entry = buckets[bucket]) != nullptr) return;
        }
        Entry* const* buckets = nullptr;
        std::size_t count = 0;
        std::size_t bucket = 0;
        E* entry = nullptr;
    };
    using iterator = Iterator<Entry>;
    using const_iterator = Iterator<const Entry>;

    StringHashTable() = default;
    StringHashTable(const StringHashTable& other) { copyFrom(other); }
    StringHashTable& operator=(const StringHashTable& other) {
        if (this != &other) {
            StringHashTable copy(other);
            swap(copy);
        }
        return *this;
    }
    ~StringHashTable() {
        clear();
        freeSlots();
    }

    std::size_t size() const noexcept { return entryCount; }
    bool empty() const noexcept { return entryCount == 0; }
    std::size_t bucketCount() const noexcept { return logicalBuckets; }

    // The value stored under the key, or null when the key is absent.
    Value* find(std::string_view key) noexcept { return lookup(key); }
    const Value* find(std::string_view key) const noexcept { return lookup(key); }
    bool contains(std::string_view key) const noexcept { return lookup(key) != nullptr; }

    // The value under the key; a missing key is inserted with a default value first.
    Value& operator[](const std::string& key) {
        if (Value* found = lookup(key)) return *found;
        return insertNew(key)->value;
    }
    // Inserts a key that is not in the table yet, its value made from the arguments in
    // place. Inserting a key that is present breaks the table.
    template <class... Args>
    Value& emplaceNew(const std::string& key, Args&&... args) {
        return insertNew(key, std::forward<Args>(args)...)->value;
    }
    // Stores the value under the key, replacing the value of an existing key.
    void set(const std::string& key, const Value& value) {
        if (Value* found = lookup(key))
            *found = value;
        else
            insertNew(key, value);
    }
    // Removes the key's entry; false when there was none.
    bool erase(const std::string& key) {
        if (entryCount == 0) return false;
        if (compact()) {
            std::size_t at = compactFind(key, bucketOf(key, logicalBuckets));
            if (at == kMissing) return false;
            Entry* gone = slots[at];
            std::uint32_t* ids = compactIds();
            for (std::size_t i = at + 1; i < entryCount; ++i) {
                slots[i - 1] = slots[i];
                ids[i - 1] = ids[i];
            }
            --entryCount;
            delete gone;
            return true;
        }
        Entry** link = &slots[bucketOf(key, logicalBuckets)];
        for (; *link != nullptr; link = &(*link)->next) {
            if ((*link)->key == key) {
                Entry* gone = *link;
                *link = gone->next;
                --entryCount;
                delete gone;
                return true;
            }
        }
        return false;
    }
    // Removes every entry; the bucket count stays.
    void clear() noexcept {
        clearWith([](Value&) {});
    }
    // Removes every entry, handing each value to the function just before it goes.
    template <class F>
    void clearWith(F&& beforeRemoval) {
        if (entryCount == 0) return;
        if (compact()) {
            // Entries are far apart in memory: ask for the next ones while handling this one.
            for (std::size_t i = 0; i < entryCount && i < kPrefetchAhead; ++i) prefetch(slots[i]);
            for (std::size_t i = 0; i < entryCount; ++i) {
                if (i + kPrefetchAhead < entryCount) prefetch(slots[i + kPrefetchAhead]);
                try {
                    beforeRemoval(slots[i]->value);
                } catch (...) {
                    dropCompactFront(i);
                    throw;
                }
                delete slots[i];
            }
            entryCount = 0;
            return;
        }
        for (std::size_t b = 0; b < logicalBuckets; ++b) {
            Entry*& head = slots[b];
            while (head != nullptr) {
                Entry* gone = head;
                head = gone->next;
                --entryCount;
                beforeRemoval(gone->value);
                delete gone;
            }
        }
    }
    void swap(StringHashTable& other) noexcept {
        std::swap(slots, other.slots);
        std::swap(entryCount, other.entryCount);
        std::swap(logicalBuckets, other.logicalBuckets);
        std::swap(compactCapacity, other.compactCapacity);
    }

    iterator begin() noexcept { return iterator(slots, slotCount(), 0); }
    iterator end() noexcept { return iterator(); }
    const_iterator begin() const noexcept { return const_iterator(slots, slotCount(), 0); }
    const_iterator end() const noexcept { return const_iterator(); }

private:
    // A table of few entries has no bucket array: its entries sit in one array in
    // iteration order (by bucket, and within a bucket newest first), each alone in its
    // chain, with their bucket numbers beside them. Past this many entries it takes the
    // bucket array. Either way the order is the same.
    static constexpr std::size_t kCompactLimit = 64;
    static constexpr std::size_t kMissing = ~std::size_t(0);
    static constexpr std::size_t kPrefetchAhead = 4;

    static void prefetch(const Entry* entry) noexcept {
#if defined(__GNUC__)
        __builtin_prefetch(entry, 1);
        __builtin_prefetch(reinterpret_cast<const char*>(entry) + sizeof(Entry) - 1, 1);
#else
        (void)entry;
#endif
    }

    static std::size_t bucketOf(std::string_view key, std::size_t count) noexcept {
        return static_cast<std::size_t>(hashStringKey(key) % count);
    }

    // Compact until the bucket array is made (slots is null before the first insertion).
    bool compact() const noexcept { return compactCapacity != 0 || slots == nullptr; }
    // The entries' bucket numbers, in the same allocation after the compact slots.
    std::uint32_t* compactIds() const noexcept { return reinterpret_cast<std::uint32_t*>(slots + compactCapacity); }
    // What the iterator walks: the compact entries, or the buckets.
    std::size_t slotCount() const noexcept { return compact() ? entryCount : logicalBuckets; }

    // The first compact position whose bucket is not below the given one: the ids rise.
    std::size_t compactFirstAtOrAfter(std::size_t bucket) const noexcept {
        const std::uint32_t* ids = compactIds();
        std::size_t low = 0, high = entryCount;
        while (low < high) {
            std::size_t middle = (low + high) / 2;
            if (ids[middle] < bucket)
                low = middle + 1;
            else
                high = middle;
        }
        return low;
    }

    // The compact position of the key, or kMissing.
    std::size_t compactFind(std::string_view key, std::size_t bucket) const noexcept {
        const std::uint32_t* ids = compactIds();
        std::size_t i = compactFirstAtOrAfter(bucket);
        for (; i < entryCount && ids[i] == bucket; ++i)
            if (slots[i]->key == key) return i;
        return kMissing;
    }

    Value* lookup(std::string_view key) const noexcept {
        if (entryCount == 0) return nullptr;
        std::size_t bucket = bucketOf(key, logicalBuckets);
        if (compact()) {
            std::size_t at = compactFind(key, bucket);
            return at == kMissing ? nullptr : &slots[at]->value;
        }
        for (Entry* e = slots[bucket]; e != nullptr; e = e->next)
            if (e->key == key) return &e->value;
        return nullptr;
    }

    template <class... Args>
    Entry* insertNew(const std::string& key, Args&&... args) {
        if (compact() && entryCount + 1 > kCompactLimit) spread();
        if (!compact() && entryCount + 1 > logicalBuckets) rehash(nextBucketCount(entryCount + 1));
        std::size_t bucket = bucketOf(key, logicalBuckets);
        if (compact()) {
            if (entryCount == compactCapacity) growCompact();
            Entry* made = new Entry{key, Value(std::forward<Args>(args)...), nullptr};
            // The head of its bucket: before the first entry of this bucket or a later one.
            std::uint32_t* ids = compactIds();
            std::size_t at = compactFirstAtOrAfter(bucket);
            for (std::size_t i = entryCount; i > at; --i) {
                slots[i] = slots[i - 1];
                ids[i] = ids[i - 1];
            }
            slots[at] = made;
            ids[at] = static_cast<std::uint32_t>(bucket);
            ++entryCount;
            return made;
        }
        Entry*& head = slots[bucket];
        head = new Entry{key, Value(std::forward<Args>(args)...), head};
        ++entryCount;
        return head;
    }

    // Forgets the first compact entries, already freed, keeping the others in order.
    void dropCompactFront(std::size_t count) noexcept {
        std::uint32_t* ids = compactIds();
        for (std::size_t i = count; i < entryCount; ++i) {
            slots[i - count] = slots[i];
            ids[i - count] = ids[i];
        }
        entryCount -= count;
    }

    // Room for twice as many compact entries (at most kCompactLimit).
    void growCompact() {
        std::size_t capacity = compactCapacity == 0 ? 4 : std::min<std::size_t>(2 * compactCapacity, kCompactLimit);
        Entry** grown = allocateCompact(capacity);
        std::uint32_t* grownIds = reinterpret_cast<std::uint32_t*>(grown + capacity);
        std::uint32_t* ids = compactIds();
        for (std::size_t i = 0; i < entryCount; ++i) {
            grown[i] = slots[i];
            grownIds[i] = ids[i];
        }
        freeSlots();
        slots = grown;
        compactCapacity = static_cast<std::uint32_t>(capacity);
    }

    static Entry** allocateCompact(std::size_t capacity) {
        return static_cast<Entry**>(::operator new(capacity * (sizeof(Entry*) + sizeof(std::uint32_t))));
    }

    void freeSlots() noexcept {
        if (slots == nullptr) return;
        if (compactCapacity != 0)
            ::operator delete(slots);
        else
            delete[] slots;
        slots = nullptr;
    }

    // Gives the compact entries their buckets. Each is appended to its bucket's chain,
    // which keeps their order.
    void spread() {
        Entry** buckets = new Entry*[logicalBuckets]();
        std::uint32_t* ids = compactIds();
        Entry* tail = nullptr;
        for (std::size_t i = 0; i < entryCount; ++i) {
            Entry* e = slots[i];
            if (i > 0 && ids[i - 1] == ids[i])
                tail->next = e;
            else
                buckets[ids[i]] = e;
            e->next = nullptr;
            tail = e;
        }
        freeSlots();
        slots = buckets;
        compactCapacity = 0;
    }

    // Moves every entry to the head of its new bucket, taking the old buckets in order and
    // each chain from its head.
    void rehash(std::size_t count) {
        Entry** grown = new Entry*[count]();
        for (std::size_t b = 0; b < logicalBuckets; ++b) {
            Entry*& head = slots[b];
            while (head != nullptr) {
                Entry* moving = head;
                head = moving->next;
                Entry*& target = grown[bucketOf(moving->key, count)];
                moving->next = target;
                target = moving;
            }
        }
        delete[] slots;
        slots = grown;
        logicalBuckets = static_cast<std::uint32_t>(count);
    }

    // Keeps each chain's order: the copy of an entry goes after the copy of its predecessor.
    void copyFrom(const StringHashTable& other) {
        logicalBuckets = other.logicalBuckets;
        if (other.entryCount == 0) return;
        try {
            if (other.compact()) {
                slots = allocateCompact(other.compactCapacity);
                compactCapacity = other.compactCapacity;
                std::uint32_t* ids = compactIds();
                const std::uint32_t* otherIds = other.compactIds();
                for (std::size_t i = 0; i < other.entryCount; ++i) {
                    slots[i] = new Entry{other.slots[i]->key, other.slots[i]->value, nullptr};
                    ids[i] = otherIds[i];
                    ++entryCount;
                }
                return;
            }
            slots = new Entry*[logicalBuckets]();
            for (std::size_t b = 0; b < logicalBuckets; ++b) {
                Entry** tail = &slots[b];
                for (const Entry* e = other.slots[b]; e != nullptr; e = e->next) {
                    *tail = new Entry{e->key, e->value, nullptr};
                    tail = &(*tail)->next;
                    ++entryCount;
                }
            }
        } catch (...) {
            clear();
            freeSlots();
            throw;
        }
    }

    // The compact entries, or the bucket array of logicalBuckets chains; null before the
    // first insertion.
    Entry** slots = nullptr;
    std::size_t entryCount = 0;
    std::uint32_t logicalBuckets = 193;
    std::uint32_t compactCapacity = 0;  // 0 once the bucket array is made
};

}  // namespace cgp
