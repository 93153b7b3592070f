#include "formats/string_hash_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Table = cgp::StringHashTable<int>;

std::vector<std::string> keysInOrder(const Table& table) {
    std::vector<std::string> keys;
    for (const auto& entry : table) keys.push_back(entry.key);
    return keys;
}

TEST(StringHashTableTest, HashReadsBytesAsSignedUpToTheFirstZero) {
    EXPECT_EQ(cgp::hashStringKey(""), 0u);
    EXPECT_EQ(cgp::hashStringKey("ab"), 5u * 97 + 98);
    EXPECT_EQ(cgp::hashStringKey(std::string("ab\0cd", 5)), cgp::hashStringKey("ab"));
    EXPECT_EQ(cgp::hashStringKey("\xff"), ~std::uint64_t(0));  // -1
    EXPECT_EQ(cgp::hashStringKey("\xff") % 193, 83u);
    EXPECT_EQ(cgp::hashStringKey("\xe9") % 193, 61u);
    EXPECT_EQ(cgp::hashStringKey("caf\xc3\xa9"), 76158u);
}

TEST(StringHashTableTest, BucketPrimes) {
    EXPECT_EQ(cgp::nextBucketCount(1), 53u);
    EXPECT_EQ(cgp::nextBucketCount(100), 193u);
    EXPECT_EQ(cgp::nextBucketCount(194), 389u);
    EXPECT_EQ(cgp::nextBucketCount(389), 389u);
    EXPECT_EQ(cgp::nextBucketCount(24594), 49157u);
    EXPECT_EQ(cgp::nextBucketCount(~std::size_t(0)), 4294967291u);
}

TEST(StringHashTableTest, KeysCompareWholeAndCollisionsGoToTheHead) {
    Table table;
    EXPECT_EQ(table.bucketCount(), 193u);
    table["a"] = 1;
    table["!}"] = 2;  // same bucket as "a"
    table[std::string("a\0z", 3)] = 3;
    EXPECT_EQ(keysInOrder(table), (std::vector<std::string>{std::string("a\0z", 3), "!}", "a"}));
    ASSERT_NE(table.find("a"), nullptr);
    EXPECT_EQ(*table.find("a"), 1);
    EXPECT_EQ(table.find("A"), nullptr);
    EXPECT_EQ(table.find("a "), nullptr);
    table.set("a", 9);
    EXPECT_EQ(table.size(), 3u);
    EXPECT_EQ(*table.find("a"), 9);
    EXPECT_TRUE(table.erase("!}"));
    EXPECT_FALSE(table.erase("!}"));
    EXPECT_EQ(keysInOrder(table), (std::vector<std::string>{std::string("a\0z", 3), "a"}));
}

// The iteration order is what callers build rows in: pinned across a growth, with keys
// that hold bytes above 127.
TEST(StringHashTableTest, IterationOrderAcrossAGrowthIsPinned) {
    std::vector<std::string> keys;
    for (int i = 0; i < 200; ++i) {
        if (i % 50 == 7)
            keys.push_back("\xe9t\xe9" + std::to_string(i));
        else if (i % 50 == 21)
            keys.push_back("caf\xc3\xa9" + std::to_string(i));
        else
            keys.push_back("k" + std::to_string(i));
    }
    Table table;
    for (std::size_t i = 0; i < 193; ++i) table[keys[i]] = static_cast<int>(i);
    EXPECT_EQ(table.bucketCount(), 193u);
    std::vector<std::string> before = keysInOrder(table);
    before.resize(8);
    EXPECT_EQ(before, (std::vector<std::string>{"k0", "caf\xc3\xa9" "121", "k1", "k2", "k3", "k4", "k5", "k6"}));

    Table copy(table);  // a copy keeps buckets and order
    EXPECT_EQ(keysInOrder(copy), keysInOrder(table));

    for (std::size_t i = 193; i < keys.size(); ++i) table[keys[i]] = static_cast<int>(i);
    EXPECT_EQ(table.bucketCount(), 389u);
    EXPECT_EQ(table.size(), 200u);
    std::vector<std::string> after = keysInOrder(table);
    ASSERT_EQ(after.size(), 200u);
    std::vector<std::string> head(after.begin(), after.begin() + 16);
    EXPECT_EQ(head, (std::vector<std::string>{"\xe9t\xe9" "57", "caf\xc3\xa9" "21", "k100", "k101", "k102", "k103",
                                              "k104", "caf\xc3\xa9" "121", "k105", "k110", "k106", "k111", "k112",
                                              "k108", "k113", "k109"}));
    std::vector<std::size_t> upperHalfPositions;
    for (const std::string& key : keys) {
        if (key[0] == 'k') continue;
        upperHalfPositions.push_back(static_cast<std::size_t>(std::find(after.begin(), after.end(), key) - after.begin()));
        ASSERT_NE(table.find(key), nullptr) << key;
    }
    EXPECT_EQ(upperHalfPositions, (std::vector<std::size_t>{55, 1, 0, 22, 111, 7, 112, 58}));
    EXPECT_EQ(copy.bucketCount(), 193u);  // the copy did not grow with the original
}

// The order by a plain model of the layout: bucket lists with head insertion, regrown and
// rehashed bucket by bucket, each chain from its head. Small and large tables alike, with
// erasures and copies on the way.
TEST(StringHashTableTest, OrderFollowsTheBucketModelAtEverySize) {
    std::vector<std::vector<std::string>> model(193);
    auto modelOrder = [&] {
        std::vector<std::string> keys;
        for (const auto& chain : model) keys.insert(keys.end(), chain.begin(), chain.end());
        return keys;
    };
    std::size_t modelCount = 0;
    Table table;
    unsigned seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    for (int step = 0; step < 3000; ++step) {
        std::string key = "k" + std::to_string(next() % 700);
        if (step % 7 == 3) key = std::string(1, static_cast<char>(next() % 256)) + key;  // bytes above 127
        bool present = table.contains(key);
        if (next() % 5 == 0) {
            EXPECT_EQ(table.erase(key), present);
            if (present) {
                auto& chain = model[cgp::hashStringKey(key) % model.size()];
                chain.erase(std::find(chain.begin(), chain.end(), key));
                --modelCount;
            }
        } else if (!present) {
            if (modelCount + 1 > model.size()) {
                std::vector<std::vector<std::string>> grown(cgp::nextBucketCount(modelCount + 1));
                for (const auto& chain : model)
                    for (const std::string& k : chain) {
                        auto& target = grown[cgp::hashStringKey(k) % grown.size()];
                        target.insert(target.begin(), k);
                    }
                model.swap(grown);
            }
            table[key] = step;
            auto& chain = model[cgp::hashStringKey(key) % model.size()];
            chain.insert(chain.begin(), key);
            ++modelCount;
        } else {
            table.set(key, step);
        }
        ASSERT_EQ(table.size(), modelCount);
        ASSERT_EQ(table.bucketCount(), model.size());
        if (step % 97 == 0 || modelCount < 80) {
            ASSERT_EQ(keysInOrder(table), modelOrder()) << "step " << step;
            Table copy(table);
            ASSERT_EQ(keysInOrder(copy), modelOrder());
        }
    }
    ASSERT_EQ(keysInOrder(table), modelOrder());
    table.clear();
    EXPECT_TRUE(keysInOrder(table).empty());
    EXPECT_EQ(table.bucketCount(), model.size());
}

// Values keep their addresses while other keys come and go.
TEST(StringHashTableTest, ValuesStayPutAcrossInsertionsAndErasures) {
    Table table;
    table["first"] = 1;
    int* first = table.find("first");
    for (int i = 0; i < 300; ++i) table["k" + std::to_string(i)] = i;
    for (int i = 0; i < 300; i += 2) table.erase("k" + std::to_string(i));
    EXPECT_EQ(table.find("first"), first);
    EXPECT_EQ(*first, 1);
}

}  // namespace
