#include "formats/dataset.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "formats/internal/dataset_number.h"

namespace cgp {

namespace {

// Takes every child handle of the node out of its ring (under one hold of the ring mutex)
// and collects the children this node was the last owner of, for the caller to free.
// An orphan is freed later; its memory is asked for now, so that the misses of many nodes
// overlap instead of coming one after another.
void keepOrphan(data_set* child, std::vector<data_set*>& orphans) {
    orphans.push_back(child);
#if defined(__GNUC__)
    const char* bytes = reinterpret_cast<const char*>(child);
    for (std::size_t at = 0; at < sizeof(data_set); at += 64) __builtin_prefetch(bytes + at, 1);
    __builtin_prefetch(bytes + sizeof(data_set) - 1, 1);
#endif
}

void collectOrphans(data_set& node, std::vector<data_set*>& orphans) {
    if (node.linkSet.get() == nullptr && node.array.empty() && node.dictionary.empty()) return;
    tmg::MutexLock lock(&DataSet::sharedMutex());
    if (data_set* child = node.linkSet.leaveRing()) keepOrphan(child, orphans);
    for (DataSet& element : node.array)
        if (data_set* child = element.leaveRing()) keepOrphan(child, orphans);
    node.array.clear();
    node.dictionary.clearWith([&](DataSet& value) {
        if (data_set* child = value.leaveRing()) keepOrphan(child, orphans);
    });
}

void keepForever(data_set*) {}

}  // namespace

// The shared empty DataSet is never freed, so a link to it needs no ring: a handle of its own
// with a deleter that keeps the node. That spares every new node a hold of the ring mutex
// and every freed node an unlink among all the others.
data_set::data_set(DataSetKind kind) : kind(kind), linkSet(DataSet::sharedEmpty().get(), &keepForever) {}

data_set::data_set(DataSetKind kind, const DataSet& link) : kind(kind), linkSet(link) {}

const DataSet& DataSet::sharedEmpty() {
    // Never destroyed: static tables of other units may still hold nodes linked to it at exit.
    static const DataSet* empty = new DataSet(new data_set(DataSetKind::Empty, DataSet()), &keepForever);
    return *empty;
}

data_set::~data_set() {
    std::vector<data_set*> orphans;
    collectOrphans(*this, orphans);
    while (!orphans.empty()) {
        data_set* node = orphans.back();
        orphans.pop_back();
        collectOrphans(*node, orphans);
        delete node;  // has no children left: its own destructor does not descend
    }
}

bool data_set::toBool() const noexcept {
    if (stringValue.empty()) return false;
    char first = stringValue[0];
    return first != 'N' && first != 'n' && first != '-' && first != '0';
}

int data_set::toInt() const noexcept {
    long long value;
    readLeadingInteger(stringValue, value);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

float data_set::toFloat() const noexcept {
    return static_cast<float>(std::atof(stringValue.c_str()));
}

void data_set::setBool(bool value) { stringValue = value ? "YES" : "NO"; }

void data_set::setFloat(float value) {
    char text[64];
    int length = std::snprintf(text, sizeof text, "%.4f", static_cast<double>(value));
    if (length < 0) length = 0;
    if (length >= static_cast<int>(sizeof text)) length = sizeof text - 1;
    std::string formatted(text, static_cast<std::size_t>(length));
    while (!formatted.empty() && formatted.back() == '0') formatted.pop_back();
    if (!formatted.empty() && formatted.back() == '.') formatted.pop_back();
    stringValue = formatted;
}

}  // namespace cgp
