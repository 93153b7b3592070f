// Dataset values checked against their documented behaviour: kinds, handles, conversions,
// equality, clone, merge, path lookups and the dictionary's layout.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/dataset.h"
#include "formats/dataset_reader.h"
#include "formats/string_hash_table.h"
#include "foundation/exception.h"
#include "tests/formats/conformance_util.h"

using namespace std::string_literals;
using cgp::DataSet;
using cgp::DataSetKind;
using conformance::A;
using conformance::B;
using conformance::D;
using conformance::E;
using conformance::S;
using conformance::show;

namespace {

DataSet withText(DataSetKind kind, const std::string& text) {
    DataSet d(kind);
    d->stringValue = text;
    return d;
}

}  // namespace

TEST(ConformanceTestValues, KindNumbersAndConstructors) {
    EXPECT_EQ(0, static_cast<int>(DataSetKind::Empty));
    EXPECT_EQ(1, static_cast<int>(DataSetKind::String));
    EXPECT_EQ(2, static_cast<int>(DataSetKind::Array));
    EXPECT_EQ(3, static_cast<int>(DataSetKind::Dictionary));
    EXPECT_EQ(4, static_cast<int>(DataSetKind::Data));

    DataSet array(DataSetKind::Array);
    EXPECT_EQ(DataSetKind::Array, array->getKind());
    EXPECT_EQ(DataSet::sharedEmpty().get(), array->link().get());
    EXPECT_TRUE(array.isUnique());

    DataSet linked(DataSetKind::String, array);
    EXPECT_EQ(array.get(), linked->link().get());

    EXPECT_EQ(DataSetKind::String, DataSet("abc"s)->kind);
    EXPECT_EQ("abc", DataSet("abc"s)->stringValue);
    // A string literal is a text, not a boolean.
    DataSet literal("lit");
    EXPECT_EQ(DataSetKind::String, literal->kind);
    EXPECT_EQ("lit", literal->stringValue);
    EXPECT_EQ("YES", DataSet(true)->stringValue);
    EXPECT_EQ("NO", DataSet(false)->stringValue);
    EXPECT_EQ(DataSetKind::String, DataSet(false)->kind);

    EXPECT_TRUE(DataSet::sharedEmpty()->isEmpty());
    EXPECT_TRUE(DataSet::sharedEmpty()->link().isNull());
}

TEST(ConformanceTestValues, SetKindIfEmpty) {
    DataSet d(DataSetKind::Empty);
    d->setKindIfEmpty(DataSetKind::Array);
    EXPECT_EQ(DataSetKind::Array, d->kind);
    d->setKindIfEmpty(DataSetKind::String);
    EXPECT_EQ(DataSetKind::Array, d->kind);
}

TEST(ConformanceTestValues, HandleRings) {
    DataSet none;
    DataSet copyOfNone(none);
    EXPECT_TRUE(copyOfNone.isNull());
    EXPECT_TRUE(copyOfNone.isUnique());
    EXPECT_EQ(DataSetKind::Empty, copyOfNone.kind());

    DataSet a("x"s);
    DataSet b(a);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_FALSE(a.isUnique());
    b->stringValue = "y";
    EXPECT_EQ("y", a->stringValue);

    a = a;
    EXPECT_EQ("y", a->stringValue);
    a = b;  // same ring
    EXPECT_EQ(b.get(), a.get());
    EXPECT_FALSE(a.isUnique());
    {
        DataSet c(b);
        c = DataSet("z"s);
        EXPECT_TRUE(c.isUnique());
    }
    // The old node may own the source.
    DataSet parent = A({A({S("child")})});
    parent = parent->array[0];
    EXPECT_TRUE(parent->equals(A({S("child")})));
    EXPECT_TRUE(parent.isUnique());

    b = DataSet();
    EXPECT_TRUE(b.isNull());
    EXPECT_TRUE(a.isUnique());
    EXPECT_EQ("y", a->stringValue);
}

namespace {
int deleterCalls = 0;
void countingDeleter(cgp::data_set* node) {
    ++deleterCalls;
    delete node;
}
}  // namespace

TEST(ConformanceTestValues, LastHandleFreesTheNode) {
    deleterCalls = 0;
    {
        DataSet owner(new cgp::data_set(DataSetKind::String), countingDeleter);
        DataSet second(owner);
        owner = DataSet();
        EXPECT_EQ(0, deleterCalls);
    }
    EXPECT_EQ(1, deleterCalls);
}

TEST(ConformanceTestValues, ToBool) {
    struct Case {
        std::string text;
        bool expected;
    };
    const Case cases[] = {
        {"", false},  {"NO", false},  {"no", false},   {"-1", false}, {"0", false},
        {"0.5", false}, {"N", false}, {"nothing", false}, {"YES", true}, {"1", true},
        {"x", true},  {" 0", true},   {"yes", true},   {"+1", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, DataSet(c.text)->toBool()) << '"' << c.text << '"';
        // The text is read whatever the kind.
        EXPECT_EQ(c.expected, withText(DataSetKind::Data, c.text)->toBool()) << '"' << c.text << '"';
        EXPECT_EQ(c.expected, withText(DataSetKind::Array, c.text)->toBool()) << '"' << c.text << '"';
    }
}

TEST(ConformanceTestValues, ToInt) {
    struct Case {
        std::string text;
        int expected;
    };
    const Case cases[] = {
        {"42abc", 42}, {"abc", 0},     {" 7", 7},       {"-12", -12},   {"+5", 5},
        {"", 0},       {"\t\n 3", 3},  {"3.9", 3},      {"- 3", 0},     {"0x10", 0},
        {"007", 7},    {"99999999999", INT_MAX},        {"-99999999999", INT_MIN},
        {"2147483647", INT_MAX},       {"-2147483648", INT_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, DataSet(c.text)->toInt()) << '"' << c.text << '"';
    EXPECT_EQ(9, withText(DataSetKind::Data, "9")->toInt());
}

TEST(ConformanceTestValues, ToFloat) {
    struct Case {
        std::string text;
        float expected;
    };
    const Case cases[] = {
        {"2.5", 2.5f}, {"abc", 0.0f}, {"1e3", 1000.0f}, {" 3.25x", 3.25f}, {"-0.5", -0.5f}, {"", 0.0f},
    };
    for (const Case& c : cases) EXPECT_FLOAT_EQ(c.expected, DataSet(c.text)->toFloat()) << '"' << c.text << '"';
    EXPECT_FLOAT_EQ(0.1f, DataSet("0.1"s)->toFloat());
}

TEST(ConformanceTestValues, SetBoolAndSetFloat) {
    DataSet d(DataSetKind::String);
    d->setBool(true);
    EXPECT_EQ("YES", d->stringValue);
    d->setBool(false);
    EXPECT_EQ("NO", d->stringValue);

    struct Case {
        float value;
        const char* expected;
    };
    const Case cases[] = {
        {2.5f, "2.5"},     {3.0f, "3"},      {0.0f, "0"},        {100.0f, "100"},   {0.1f, "0.1"},
        {-2.25f, "-2.25"}, {1.00001f, "1"},  {10.0f, "10"},      {-7.0f, "-7"},     {0.125f, "0.125"},
        {0.00004f, "0"},   {12.34567f, "12.3457"},               {1000.5f, "1000.5"},
    };
    for (const Case& c : cases) {
        d->setFloat(c.value);
        EXPECT_EQ(c.expected, d->stringValue) << c.value;
    }
}

TEST(ConformanceTestValues, Equality) {
    struct Case {
        const char* what;
        DataSet left;
        DataSet right;
        bool equal;
    };
    DataSet shared = A({S("x")});
    std::vector<Case> cases = {
        {"two Empty nodes", E(), E(), true},
        {"Empty nodes ignore other fields", withText(DataSetKind::Empty, "x"), E(), true},
        {"null handle and Empty node", DataSet(), E(), true},
        {"two null handles", DataSet(), DataSet(), true},
        {"null handle and String", DataSet(), S(""), false},
        {"same text", S("abc"), S("abc"), true},
        {"different text", S("abc"), S("abd"), false},
        {"prefix text", S("ab"), S("abc"), false},
        {"text after NUL counts", S("a\0b"s), S("a\0c"s), false},
        {"same bytes, String and Data", S("Hello"), B("Hello"), false},
        {"same Data", B("\x01\x02"s), B("\x01\x02"s), true},
        {"different kinds", S(""), A({}), false},
        {"empty arrays", A({}), A({}), true},
        {"arrays of different length", A({S("a")}), A({S("a"), S("b")}), false},
        {"arrays element by element", A({S("a"), A({S("b")})}), A({S("a"), A({S("b")})}), true},
        {"arrays with different order", A({S("a"), S("b")}), A({S("b"), S("a")}), false},
        {"arrays differing deep", A({A({S("b")})}), A({A({S("c")})}), false},
        {"array ignores its text", withText(DataSetKind::Array, "x"), A({}), true},
        {"array sharing its element", A({shared}), A({shared}), true},
        {"empty dictionaries", D({}), D({}), true},
        {"dictionaries by keys and values", D({{"a", S("1")}, {"b", A({S("x")})}}),
         D({{"b", A({S("x")})}, {"a", S("1")}}), true},
        {"dictionaries with different values", D({{"a", S("1")}}), D({{"a", S("2")}}), false},
        {"dictionaries with different keys", D({{"a", S("1")}}), D({{"b", S("1")}}), false},
        {"dictionary with a key more", D({{"a", S("1")}}), D({{"a", S("1")}, {"b", S("1")}}), false},
        {"dictionary values of different kinds", D({{"a", S("1")}}), D({{"a", B("1")}}), false},
        {"dictionaries with one chain in two orders", D({{"a", S("1")}, {"2(", S("2")}}),
         D({{"2(", S("2")}, {"a", S("1")}}), true},
    };
    // Tables of different sizes holding the same entries.
    DataSet grown(DataSetKind::Dictionary);
    for (int i = 0; i < 300; ++i) grown->dictionary.set("k" + std::to_string(i), S("v"));
    for (int i = 10; i < 300; ++i) grown->dictionary.erase("k" + std::to_string(i));
    DataSet small(DataSetKind::Dictionary);
    for (int i = 9; i >= 0; --i) small->dictionary.set("k" + std::to_string(i), S("v"));
    ASSERT_NE(grown->dictionary.bucketCount(), small->dictionary.bucketCount());
    cases.push_back({"dictionaries of different table sizes", grown, small.clone(), true});
    small->dictionary.set("k9", S("w"));
    cases.push_back({"grown dictionary with one value different", grown, small, false});
    for (const Case& c : cases) {
        const cgp::data_set& empty = *DataSet::sharedEmpty();
        const cgp::data_set& left = c.left.get() ? *c.left : empty;
        EXPECT_EQ(c.equal, left.equals(c.right)) << c.what;
        if (c.left.get() && c.right.get()) {
            EXPECT_EQ(c.equal, *c.left == *c.right) << c.what;
            EXPECT_EQ(!c.equal, *c.left != *c.right) << c.what;
            EXPECT_EQ(c.equal, c.right->equals(c.left)) << c.what << " (reversed)";
        }
    }
}

TEST(ConformanceTestValues, CloneIsOneLevel) {
    DataSet inner = A({S("deep")});
    DataSet source = D({{"a", S("1")}, {"list", inner}});
    DataSet link = S("fallback");
    source->setLink(link);
    source->stringValue = "kept";

    DataSet copy = source.clone();
    EXPECT_NE(source.get(), copy.get());
    EXPECT_EQ(DataSetKind::Dictionary, copy->kind);
    EXPECT_EQ("kept", copy->stringValue);
    EXPECT_EQ(DataSet::sharedEmpty().get(), copy->link().get());
    EXPECT_TRUE(copy->equals(source));
    // Values are shared...
    EXPECT_EQ(inner.get(), copy->dictionary.find("list")->get());
    // ...the top level is not.
    copy->dictionary.set("b", S("2"));
    EXPECT_EQ(nullptr, source->dictionary.find("b"));
    EXPECT_EQ(2u, source->dictionary.size());

    DataSet array = A({S("x")});
    DataSet arrayCopy = array.clone();
    arrayCopy->array.push_back(S("y"));
    EXPECT_EQ(1u, array->array.size());
    EXPECT_EQ(array->array[0].get(), arrayCopy->array[0].get());

    DataSet fromNull = DataSet().clone();
    ASSERT_FALSE(fromNull.isNull());
    EXPECT_TRUE(fromNull->isEmpty());
}

TEST(ConformanceTestValues, MergeByKind) {
    struct Case {
        const char* what;
        DataSet target;
        DataSet source;
        bool result;
        DataSet expected;
    };
    std::vector<Case> cases = {
        {"String replaced", S("old"), S("new"), true, S("new")},
        {"Data replaced", B("old"), B("\x00\x01"s), true, B("\x00\x01"s)},
        {"kind mismatch", S("old"), B("new"), false, S("old")},
        {"null source into String", S("old"), DataSet(), false, S("old")},
        {"null source into Empty", E(), DataSet(), true, E()},
        {"Empty into Empty", E(), E(), true, E()},
        {"Array into String", S("old"), A({S("x")}), false, S("old")},
        {"Array replaced by a copy", A({S("a"), S("b"), S("c")}), A({S("x"), D({{"k", S("v")}})}), true,
         A({S("x"), D({{"k", S("v")}})})},
        {"Array emptied", A({S("a")}), A({}), true, A({})},
        {"Dictionary keys merged and added",
         D({{"keep", S("1")}, {"text", S("old")}, {"mismatch", S("s")}, {"sub", D({{"x", S("1")}})}}),
         D({{"text", S("new")}, {"mismatch", A({})}, {"sub", D({{"y", S("2")}})}, {"added", A({S("z")})}}),
         true,
         D({{"keep", S("1")},
            {"text", S("new")},
            {"mismatch", S("s")},
            {"sub", D({{"x", S("1")}, {"y", S("2")}})},
            {"added", A({S("z")})}})},
    };
    for (Case& c : cases) {
        EXPECT_EQ(c.result, c.target->merge(c.source)) << c.what;
        EXPECT_TRUE(c.target->equals(c.expected)) << c.what << ": " << show(c.target);
    }
}

TEST(ConformanceTestValues, MergeMakesDeepCopies) {
    DataSet element = S("x");
    DataSet nested = D({{"k", S("v")}});
    DataSet source = A({element, nested});
    DataSet target(DataSetKind::Array);
    ASSERT_TRUE(target->merge(source));
    ASSERT_EQ(2u, target->array.size());
    EXPECT_NE(element.get(), target->array[0].get());
    EXPECT_NE(nested.get(), target->array[1].get());
    element->stringValue = "changed";
    nested->dictionary.set("k", S("changed"));
    EXPECT_TRUE(target->equals(A({S("x"), D({{"k", S("v")}})}))) << show(target);

    DataSet dictSource = D({{"new", A({S("a")})}});
    DataSet dictTarget(DataSetKind::Dictionary);
    ASSERT_TRUE(dictTarget->merge(dictSource));
    EXPECT_NE(dictSource->dictionary.find("new")->get(), dictTarget->dictionary.find("new")->get());
}

TEST(ConformanceTestValues, MergeIntoItselfOrASharingCloneLosesNothing) {
    auto tree = [] { return A({S("a"), D({{"k", A({S("b")})}}), B("c")}); };
    auto dict = [] { return D({{"a", S("1")}, {"l", A({S("x"), S("y")})}}); };

    DataSet self = tree();
    EXPECT_TRUE(self->merge(self));
    EXPECT_TRUE(self->equals(tree())) << show(self);

    DataSet selfDict = dict();
    EXPECT_TRUE(selfDict->merge(selfDict));
    EXPECT_TRUE(selfDict->equals(dict())) << show(selfDict);

    DataSet original = tree();
    DataSet clone = original.clone();
    EXPECT_TRUE(clone->merge(original));
    EXPECT_TRUE(clone->equals(tree())) << show(clone);
    EXPECT_TRUE(original->equals(tree())) << show(original);

    DataSet original2 = tree();
    DataSet clone2 = original2.clone();
    EXPECT_TRUE(original2->merge(clone2));
    EXPECT_TRUE(original2->equals(tree())) << show(original2);

    DataSet dictOriginal = dict();
    DataSet dictClone = dictOriginal.clone();
    EXPECT_TRUE(dictOriginal->merge(dictClone));
    EXPECT_TRUE(dictOriginal->equals(dict())) << show(dictOriginal);
}

TEST(ConformanceTestValues, MergeOfATreeHoldingTheTargetEnds) {
    DataSet inner = A({S("y")});
    DataSet outer = A({S("x"), inner});
    EXPECT_TRUE(inner->merge(outer));
    ASSERT_EQ(2u, inner->array.size());
    EXPECT_EQ("x", inner->array[0]->stringValue);
    EXPECT_EQ(DataSetKind::Array, inner->array[1]->kind);
}

TEST(ConformanceTestValues, GetByPath) {
    DataSet root = D({
        {"list", A({S("zero"), S("one")})},
        {"a", S("text")},
        {"sub", D({{"b", D({{"c", S("deep")}})}, {"empty", E()}})},
        {"", S("blank key")},
    });
    struct Case {
        const char* path;
        DataSet expected;
    };
    std::vector<Case> cases = {
        {"list", A({S("zero"), S("one")})},
        {"list.0", S("zero")},
        {"list.1", S("one")},
        {"list.2", E()},
        {"list.-1", E()},
        {"list.x", S("zero")},
        {"list.1x", S("one")},
        {"list. 1", S("one")},
        {"a", S("text")},
        {"missing", E()},
        {"missing.more.parts", E()},
        {"sub.b.c", S("deep")},
        {"sub.empty.x", E()},
        {"sub.nothing.x", E()},
        {"", S("blank key")},
        {"list.", A({S("zero"), S("one")})},
        {"list.+1", S("one")},
        {"list.4294967296", E()},
        {"list.-4294967296", E()},
        {"list.18446744073709551616", E()},
        {"list.-18446744073709551615", E()},
        {"a.", S("text")},
    };
    for (const Case& c : cases) {
        DataSet got = root.get(c.path);
        ASSERT_FALSE(got.isNull()) << c.path;
        EXPECT_TRUE(got->equals(c.expected)) << c.path << ": " << show(got);
    }
    EXPECT_EQ(4u, root->dictionary.size());  // lookups add nothing
    EXPECT_EQ(root->dictionary.find("list")->get(), root.get("list").get());

    for (const char* path : {"a.b", "list.0.x", "sub.b.c.d", ".x"}) {
        try {
            root.get(path);
            ADD_FAILURE() << path << " did not throw";
        } catch (const tmg::Exception& e) {
            EXPECT_EQ("Invalid Dataset Type", e.getMessage()) << path;
            EXPECT_EQ(0, e.getCode()) << path;
        }
    }
    EXPECT_THROW(S("x").get("a"), tmg::Exception);
    EXPECT_THROW(DataSet().get("a"), tmg::Exception);
}

TEST(ConformanceTestValues, FindCreatesAtTheFirstComponentOnly) {
    DataSet dict(DataSetKind::Dictionary);
    DataSet made = dict.find("k", DataSetKind::String, true);
    EXPECT_EQ(DataSetKind::String, made.kind());
    ASSERT_NE(nullptr, dict->dictionary.find("k"));
    EXPECT_EQ(made.get(), dict->dictionary.find("k")->get());

    struct Case {
        const char* path;
        DataSetKind created;
    };
    const Case cases[] = {
        {"zero.0", DataSetKind::Array},  {"seven.7", DataSetKind::Array}, {"padded.007", DataSetKind::Array},
        {"word.x", DataSetKind::Dictionary}, {"naught.00", DataSetKind::Array},
    };
    for (const Case& c : cases) {
        DataSet target(DataSetKind::Dictionary);
        DataSet got = target.find(c.path, DataSetKind::Data, true);
        EXPECT_TRUE(got->isEmpty()) << c.path;
        std::string head(c.path, std::string(c.path).find('.'));
        const DataSet* value = target->dictionary.find(head);
        ASSERT_NE(nullptr, value) << c.path;
        EXPECT_EQ(c.created, value->kind()) << c.path;
        EXPECT_TRUE((*value)->array.empty() && (*value)->dictionary.empty()) << c.path << ": deeper created";
    }

    DataSet plain(DataSetKind::Dictionary);
    EXPECT_TRUE(plain.find("k", DataSetKind::String, false)->isEmpty());
    EXPECT_TRUE(plain->dictionary.empty());

    DataSet array = A({S("a"), S("b")});
    DataSet appended = array.find("2", DataSetKind::String, true);
    EXPECT_EQ(3u, array->array.size());
    EXPECT_EQ(DataSetKind::String, appended.kind());
    EXPECT_EQ(array->array[2].get(), appended.get());
    EXPECT_EQ(array->array[0].get(), array.find("0", DataSetKind::String, true).get());

    for (const char* far : {"10", "4294967296", "18446744073709551616", "-1"}) {
        EXPECT_TRUE(array.find(far, DataSetKind::String, true)->isEmpty()) << far;
        EXPECT_EQ(3u, array->array.size()) << far;
    }

    DataSet empty(DataSetKind::Array);
    EXPECT_TRUE(empty.find("0.x", DataSetKind::String, true)->isEmpty());
    ASSERT_EQ(1u, empty->array.size());
    EXPECT_EQ(DataSetKind::Dictionary, empty->array[0].kind());
    EXPECT_THROW(S("x").find("a", DataSetKind::String, true), tmg::Exception);

    DataSet existing = D({{"a", D({{"b", S("v")}})}});
    EXPECT_EQ("v", existing.find("a.b", DataSetKind::String, true)->stringValue);
    EXPECT_TRUE(existing.find("a.c", DataSetKind::String, true)->isEmpty());
    EXPECT_EQ(nullptr, (*existing->dictionary.find("a"))->dictionary.find("c"));
}

TEST(ConformanceTestValues, StringKeyHash) {
    EXPECT_EQ(0u, cgp::hashStringKey(""));
    EXPECT_EQ(97u, cgp::hashStringKey("a"));
    EXPECT_EQ(583u, cgp::hashStringKey("ab"));
    EXPECT_EQ(3301u, cgp::hashStringKey("key"));
    EXPECT_EQ(UINT64_MAX, cgp::hashStringKey("\xff"));
    EXPECT_EQ(UINT64_MAX - 391, cgp::hashStringKey("\xc3\xa9"));
    EXPECT_EQ(92u, cgp::hashStringKey("\xff" "a"));
    EXPECT_EQ(97u, cgp::hashStringKey("a\0b"s));  // up to the first zero byte

    struct Case {
        std::size_t count, buckets;
    };
    const Case cases[] = {{0, 53}, {53, 53}, {54, 97}, {100, 193}, {193, 193}, {194, 389}, {390, 769},
                          {1543, 1543}, {3080, 6151}, {12289, 12289}, {20000, 24593}};
    for (const Case& c : cases) EXPECT_EQ(c.buckets, cgp::nextBucketCount(c.count)) << c.count;
}

TEST(ConformanceTestValues, DictionaryIterationOrder) {
    cgp::DataSetDictionary table;
    EXPECT_EQ(193u, table.bucketCount());
    for (const char* key : {"b", "a", "ab", "\xc3\xa9", "\xff", "2("}) table.set(key, S(key));
    std::vector<std::string> order;
    for (const auto& entry : table) order.push_back(entry.key);
    // Buckets 4, 78, 83, 97 (the later key at the chain's head), 98.
    EXPECT_EQ((std::vector<std::string>{"ab", "\xc3\xa9", "\xff", "2(", "a", "b"}), order);

    // Keys that differ only after a zero byte share a bucket but are different keys.
    table.set("a\0b"s, S("nul"));
    EXPECT_EQ(7u, table.size());
    EXPECT_EQ("a", (*table.find("a"))->stringValue);
    EXPECT_EQ("nul", (*table.find("a\0b"s))->stringValue);
    EXPECT_EQ("\xc3\xa9", (*table.find("\xc3\xa9"))->stringValue);
}

TEST(ConformanceTestValues, DictionaryIterationOrderAcrossGrowth) {
    // Keys that fall in buckets of their own in the grown table of 389, so that their order
    // after the growth is the bucket order alone.
    auto bucketIn = [](const std::string& key, std::size_t count) { return cgp::hashStringKey(key) % count; };
    std::vector<std::string> keys;
    std::vector<bool> used(389, false);
    for (int i = 0; keys.size() < 200; ++i) {
        std::string key = "k" + std::to_string(i);
        if (used[bucketIn(key, 389)]) continue;
        used[bucketIn(key, 389)] = true;
        keys.push_back(key);
    }

    DataSet dict(DataSetKind::Dictionary);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        dict->dictionary.set(keys[i], S(keys[i]));
        EXPECT_EQ(i + 1 <= 193 ? 193u : 389u, dict->dictionary.bucketCount()) << i;
        if (i + 1 == 193) {
            // Before the growth: bucket order of 193, later keys first within a chain.
            std::vector<std::pair<std::size_t, std::size_t>> expected;  // bucket, -insertion
            for (std::size_t j = 0; j <= i; ++j) expected.push_back({bucketIn(keys[j], 193), keys.size() - j});
            std::sort(expected.begin(), expected.end());
            std::vector<std::string> want, got;
            for (auto& e : expected) want.push_back(keys[keys.size() - e.second]);
            for (const auto& entry : dict->dictionary) got.push_back(entry.key);
            EXPECT_EQ(want, got);
        }
    }
    std::vector<std::string> want = keys, got;
    std::sort(want.begin(), want.end(),
              [&](const std::string& x, const std::string& y) { return bucketIn(x, 389) < bucketIn(y, 389); });
    for (const auto& entry : dict->dictionary) got.push_back(entry.key);
    EXPECT_EQ(want, got);
    for (const auto& key : keys) {
        ASSERT_NE(nullptr, dict->dictionary.find(key)) << key;
        EXPECT_EQ(key, (*dict->dictionary.find(key))->stringValue);
    }
}

TEST(ConformanceTestValues, DeepTreesAreSafe) {
    DataSet root(DataSetKind::Array);
    DataSet cursor = root;
    for (int i = 0; i < 100000; ++i) {
        DataSet child(DataSetKind::Array);
        cursor->array.push_back(child);
        cursor = child;
    }
    cursor = DataSet();
    std::string text = DataSet::toString(root, false);
    EXPECT_EQ(std::string(100001, '(') + std::string(100001, ')'), text);
    DataSet copy(DataSetKind::Array);
    EXPECT_TRUE(copy->merge(root));
    EXPECT_TRUE(copy->equals(root));
    root = DataSet();
    copy = DataSet();
}
