#include "directory/domains.h"
#include "formats/dataset_reader.h"
#include "foundation/case_fold.h"

namespace cgp {

namespace {

bool holdsNothing(const DataSet& value) {
    return value.isNull() ||
           (value->stringValue.empty() && value->dictionary.empty() && value->array.empty());
}

// Walks a settings dictionary the way both maps read it: for each entry, forget(key) when
// its value holds nothing, else keep(key, text), key and text lower-cased.
template <class Forget, class Keep>
void readSettings(const DataSet& value, Forget forget, Keep keep) {
    if (value.kind() == DataSetKind::Empty) return;
    for (const auto& entry : value->dictionary) {
        std::string key = tmg::foldCase(entry.key);
        if (holdsNothing(entry.value))
            forget(key);
        else
            keep(key, tmg::foldCase(entry.value->stringValue));
    }
}

}  // namespace

void settingsToMap(const DataSet& value, std::map<std::string, std::string>& out) {
    if (value.kind() == DataSetKind::Empty) return;
    out.clear();
    readSettings(
        value, [&out](const std::string& key) { out.erase(key); },
        [&out](const std::string& key, std::string text) { out.emplace(key, std::move(text)); });
}

void loadSettingsMap(const std::string& path, std::map<std::string, std::string>& out) {
    settingsToMap(loadDataSetFile(path), out);
}

void settingsToAddressMap(const DataSet& value, StringHashTable<AddressPair>& out) {
    if (value.kind() == DataSetKind::Empty) return;
    out.clear();
    readSettings(
        value, [&out](const std::string& key) { out.erase(key); },
        [&out](const std::string& key, const std::string& text) {
            if (!out.contains(key)) out.emplaceNew(key, splitAddress(text));
        });
}

void loadAddressMap(const std::string& path, StringHashTable<AddressPair>& out) {
    settingsToAddressMap(loadDataSetFile(path), out);
}

}  // namespace cgp
