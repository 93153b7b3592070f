#include "formats/string_hash_table.h"

namespace cgp {

namespace {

const std::size_t kBucketPrimes[] = {
    53ul,        97ul,        193ul,       389ul,       769ul,        1543ul,       3079ul,
    6151ul,      12289ul,     24593ul,     49157ul,     98317ul,      196613ul,     393241ul,
    786433ul,    1572869ul,   3145739ul,   6291469ul,   12582917ul,   25165843ul,   50331653ul,
    100663319ul, 201326611ul, 402653189ul, 805306457ul, 1610612741ul, 3221225473ul, 4294967291ul,
};

}  // namespace

std::uint64_t hashStringKey(std::string_view key) noexcept {
    std::uint64_t h = 0;
    for (char c : key) {
        if (c == '\0') break;
        h = 5 * h + static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<signed char>(c)));
    }
    return h;
}

std::size_t nextBucketCount(std::size_t count) noexcept {
    for (std::size_t prime : kBucketPrimes)
        if (prime >= count) return prime;
    return kBucketPrimes[sizeof kBucketPrimes / sizeof kBucketPrimes[0] - 1];
}

}  // namespace cgp
