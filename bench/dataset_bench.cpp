// Dataset trees of settings shape (10 000 accounts of 20 keys) against the same work on a
// std::map / std::variant tree, measured in the same run; and what the process-wide ring
// mutex costs a handle copy, against std::shared_ptr.
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "formats/dataset.h"
#include "formats/dataset_writer.h"
#include "timing.h"

namespace {

using cgp::DataSet;
using cgp::DataSetKind;

const int kAccounts = 10000;
const int kKeys = 20;  // 16 texts, 2 arrays of 3 texts, 1 dictionary of 3 texts, 1 number

// The floor: a plain map tree; children behind shared_ptr so a one-level copy is possible.
struct MapValue;
using MapDict = std::map<std::string, MapValue>;
using MapArray = std::vector<MapValue>;
struct MapValue {
    std::variant<std::monostate, std::string, std::shared_ptr<MapArray>, std::shared_ptr<MapDict>> v;
};

std::string keyName(int k) { return "Setting" + std::to_string(k); }
std::string accountName(int a) { return "user" + std::to_string(a); }

DataSet buildDataSet() {
    DataSet root(DataSetKind::Dictionary);
    for (int a = 0; a < kAccounts; ++a) {
        DataSet account(DataSetKind::Dictionary);
        cgp::DataSetDictionary& d = account->dictionary;
        for (int k = 0; k < 16; ++k) d[keyName(k)] = DataSet("value of " + std::to_string(k * a));
        for (int k = 16; k < 18; ++k) {
            DataSet list(DataSetKind::Array);
            for (int i = 0; i < 3; ++i) list->array.emplace_back("item" + std::to_string(i));
            d[keyName(k)] = list;
        }
        DataSet sub(DataSetKind::Dictionary);
        for (int i = 0; i < 3; ++i) sub->dictionary["k" + std::to_string(i)] = DataSet("v");
        d[keyName(18)] = sub;
        d[keyName(19)] = DataSet(std::to_string(a));
        root->dictionary[accountName(a)] = account;
    }
    return root;
}

MapValue text(std::string s) { return MapValue{std::move(s)}; }

MapValue buildMap() {
    auto root = std::make_shared<MapDict>();
    for (int a = 0; a < kAccounts; ++a) {
        auto d = std::make_shared<MapDict>();
        for (int k = 0; k < 16; ++k) (*d)[keyName(k)] = text("value of " + std::to_string(k * a));
        for (int k = 16; k < 18; ++k) {
            auto list = std::make_shared<MapArray>();
            for (int i = 0; i < 3; ++i) list->push_back(text("item" + std::to_string(i)));
            (*d)[keyName(k)] = MapValue{list};
        }
        auto sub = std::make_shared<MapDict>();
        for (int i = 0; i < 3; ++i) (*sub)["k" + std::to_string(i)] = text("v");
        (*d)[keyName(18)] = MapValue{sub};
        (*d)[keyName(19)] = text(std::to_string(a));
        (*root)[accountName(a)] = MapValue{d};
    }
    return MapValue{root};
}

MapValue deepCopy(const MapValue& value) {
    if (auto* a = std::get_if<std::shared_ptr<MapArray>>(&value.v)) {
        auto copy = std::make_shared<MapArray>();
        copy->reserve((*a)->size());
        for (const MapValue& e : **a) copy->push_back(deepCopy(e));
        return MapValue{copy};
    }
    if (auto* d = std::get_if<std::shared_ptr<MapDict>>(&value.v)) {
        auto copy = std::make_shared<MapDict>();
        for (const auto& [k, e] : **d) copy->emplace_hint(copy->end(), k, deepCopy(e));
        return MapValue{copy};
    }
    return value;
}

const MapValue* mapGet(const MapValue& root, const std::string& path) {
    const MapValue* at = &root;
    std::size_t from = 0;
    while (true) {
        std::size_t dot = path.find('.', from);
        std::string head = path.substr(from, dot == std::string::npos ? std::string::npos : dot - from);
        auto* d = std::get_if<std::shared_ptr<MapDict>>(&at->v);
        if (d == nullptr) return nullptr;
        auto it = (*d)->find(head);
        if (it == (*d)->end()) return nullptr;
        at = &it->second;
        if (dot == std::string::npos) return at;
        from = dot + 1;
    }
}

// The same text layout as the dataset writer's multi-line form, recursive (the tree is flat).
void writeMap(std::ostream& out, const MapValue& value, int level) {
    auto brk = [&](int l) {
        out << '\n';
        for (int i = 0; i < l; ++i) out << "  ";
    };
    if (auto* s = std::get_if<std::string>(&value.v)) {
        out << cgp::quoteDataSetWord(*s);
    } else if (auto* a = std::get_if<std::shared_ptr<MapArray>>(&value.v)) {
        brk(level);
        out << '(';
        for (std::size_t i = 0; i < (*a)->size(); ++i) {
            if (i > 0) out << ',';
            brk(level + 1);
            writeMap(out, (**a)[i], level + 1);
        }
        brk(level);
        out << ')';
    } else if (auto* d = std::get_if<std::shared_ptr<MapDict>>(&value.v)) {
        brk(level);
        out << '{';
        for (const auto& [k, e] : **d) {
            brk(level + 1);
            out << cgp::quoteDataSetWord(k) << " = ";
            writeMap(out, e, level + 1);
            out << ';';
        }
        brk(level);
        out << '}';
    }
}

// Best of the rounds for each operation, ours and the floor's.
struct Timings {
    std::vector<const char*> names;
    std::vector<double> ours, floor;
    void add(std::size_t i, const char* name, double o, double f) {
        if (i == names.size()) {
            names.push_back(name);
            ours.push_back(o);
            floor.push_back(f);
        }
        ours[i] = std::min(ours[i], o);
        floor[i] = std::min(floor[i], f);
    }
};

void report(const char* what, double ours, double floor) {
    std::printf("%-34s DataSet %8.2f ms  map %8.2f ms  ratio %6.2f\n", what, ours * 1e3, floor * 1e3, ours / floor);
}

}  // namespace

int main() {
    std::vector<std::string> paths;
    for (int i = 0; i < 200000; ++i) paths.push_back(accountName((i * 7919) % kAccounts) + "." + keyName(i % kKeys));
    std::size_t hits = 0, mapHits = 0, written = 0, mapWritten = 0;
    Timings best;
    for (int round = 0; round < 3; ++round) {
        std::size_t op = 0;
        DataSet tree;
        MapValue map;
        best.add(op++, "build 10000 x 20", secondsFor([&] { tree = buildDataSet(); }),
                 secondsFor([&] { map = buildMap(); }));

        DataSet shallow;
        MapValue shallowMap;
        best.add(op++, "clone (one level)", secondsFor([&] { shallow = tree.clone(); }), secondsFor([&] {
                     shallowMap = MapValue{std::make_shared<MapDict>(*std::get<std::shared_ptr<MapDict>>(map.v))};
                 }));

        DataSet merged(DataSetKind::Dictionary);
        MapValue copied;
        best.add(op++, "merge into empty (deep copy)", secondsFor([&] { merged->merge(tree); }),
                 secondsFor([&] { copied = deepCopy(map); }));

        hits = mapHits = 0;
        best.add(op++, "get 200000 dotted paths", secondsFor([&] {
                     for (const std::string& p : paths) hits += tree.get(p)->isEmpty() ? 0 : 1;
                 }),
                 secondsFor([&] {
                     for (const std::string& p : paths) mapHits += mapGet(map, p) != nullptr;
                 }));

        best.add(op++, "write multi-line text", secondsFor([&] { written = DataSet::toString(tree, true).size(); }),
                 secondsFor([&] {
                     std::ostringstream out;
                     writeMap(out, map, 0);
                     mapWritten = out.str().size();
                 }));

        best.add(op++, "release the trees", secondsFor([&] {
                     tree = DataSet();
                     merged = DataSet();
                     shallow = DataSet();
                 }),
                 secondsFor([&] {
                     map = MapValue();
                     copied = MapValue();
                     shallowMap = MapValue();
                 }));
    }
    std::printf("best of 3 rounds\n");
    for (std::size_t i = 0; i < best.names.size(); ++i) report(best.names[i], best.ours[i], best.floor[i]);

    // The ring mutex on every copy: a copy and release of a handle against a shared_ptr's
    // atomic count, and the bare lock and unlock pair.
    const int kCopies = 2000000;
    // Two objects in turn, so that every assignment leaves one ring and joins another.
    DataSet one("x"), two("y");
    auto shared = std::make_shared<std::string>("x"), sharedToo = std::make_shared<std::string>("y");
    std::vector<DataSet> handles(64);
    std::vector<std::shared_ptr<std::string>> sharedHandles(64);
    double tHandle = secondsFor([&] {
        for (int i = 0; i < kCopies; ++i) handles[static_cast<std::size_t>(i) & 63] = (i & 64) ? one : two;
    });
    double tShared = secondsFor([&] {
        for (int i = 0; i < kCopies; ++i) sharedHandles[static_cast<std::size_t>(i) & 63] = (i & 64) ? shared : sharedToo;
    });
    report("2M handle assignments (vs shared_ptr)", tHandle, tShared);
    tmg::MutexInterface& ring = DataSet::sharedMutex();
    double tLock = secondsFor([&] {
        for (int i = 0; i < kCopies; ++i) {
            ring.lock();
            ring.unlock();
        }
    });
    std::printf("ring mutex lock+unlock: %.1f ns; a handle assignment %.1f ns, a shared_ptr one %.1f ns\n",
                tLock / kCopies * 1e9, tHandle / kCopies * 1e9, tShared / kCopies * 1e9);
    std::printf("check: %zu/%zu hits, %zu/%zu bytes written\n", hits, mapHits, written, mapWritten);
    return 0;
}
