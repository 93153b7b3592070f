#pragma once

#include <cstddef>
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
// same order. The bucket array is allocated on the first insertion.
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
        Iterator(Entry* const* buckets, std::size_t count, std::size_t from)
            : buckets(buckets), count(count) {
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
    ~StringHashTable() { clear(); }

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
        Entry** link = &buckets[bucketOf(key, logicalBuckets)];
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
        for (Entry*& head : buckets) {
            while (head != nullptr) {
                Entry* gone = head;
                head = gone->next;
                beforeRemoval(gone->value);
                delete gone;
            }
        }
        entryCount = 0;
    }
    void swap(StringHashTable& other) noexcept {
        buckets.swap(other.buckets);
        std::swap(logicalBuckets, other.logicalBuckets);
        std::swap(entryCount, other.entryCount);
    }

    iterator begin() noexcept { return iterator(buckets.data(), buckets.size(), 0); }
    iterator end() noexcept { return iterator(); }
    const_iterator begin() const noexcept { return const_iterator(buckets.data(), buckets.size(), 0); }
    const_iterator end() const noexcept { return const_iterator(); }

private:
    static std::size_t bucketOf(std::string_view key, std::size_t count) noexcept {
        return static_cast<std::size_t>(hashStringKey(key) % count);
    }

    Value* lookup(std::string_view key) const noexcept {
        if (entryCount == 0) return nullptr;
        for (Entry* e = buckets[bucketOf(key, logicalBuckets)]; e != nullptr; e = e->next)
            if (e->key == key) return &e->value;
        return nullptr;
    }

    template <class... Args>
    Entry* insertNew(const std::string& key, Args&&... args) {
        if (entryCount + 1 > logicalBuckets) rehash(nextBucketCount(entryCount + 1));
        if (buckets.empty()) buckets.assign(logicalBuckets, nullptr);
        Entry*& head = buckets[bucketOf(key, logicalBuckets)];
        head = new Entry{key, Value(std::forward<Args>(args)...), head};
        ++entryCount;
        return head;
    }

    // Moves every entry to the head of its new bucket, taking the old buckets in order and
    // each chain from its head.
    void rehash(std::size_t count) {
        std::vector<Entry*> grown(count, nullptr);
        for (Entry*& head : buckets) {
            while (head != nullptr) {
                Entry* moving = head;
                head = moving->next;
                Entry*& target = grown[bucketOf(moving->key, count)];
                moving->next = target;
                target = moving;
            }
        }
        buckets.swap(grown);
        logicalBuckets = count;
    }

    // Keeps each chain's order: the copy of an entry goes after the copy of its predecessor.
    void copyFrom(const StringHashTable& other) {
        logicalBuckets = other.logicalBuckets;
        if (other.entryCount == 0) return;
        buckets.assign(other.buckets.size(), nullptr);
        try {
            for (std::size_t b = 0; b < other.buckets.size(); ++b) {
                Entry** tail = &buckets[b];
                for (const Entry* e = other.buckets[b]; e != nullptr; e = e->next) {
                    *tail = new Entry{e->key, e->value, nullptr};
                    tail = &(*tail)->next;
                    ++entryCount;
                }
            }
        } catch (...) {
            clear();
            throw;
        }
    }

    std::vector<Entry*> buckets;  // empty until the first insertion
    std::size_t logicalBuckets = 193;
    std::size_t entryCount = 0;
};

}  // namespace cgp
