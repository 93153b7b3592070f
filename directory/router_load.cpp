// Loading the Router table from the server's Router settings and Router table files.
#include <ctime>

#include "directory/domains.h"
#include "directory/internal/reset_for_tests.h"
#include "directory/router.h"
#include "formats/dataset.h"
#include "formats/dataset_reader.h"
#include "formats/parser.h"
#include "foundation/case_fold.h"
#include "foundation/fs_predicates.h"

namespace cgp {

namespace {

const char* const routerDataPath = "Settings/Router.data";
const char* const routerSettingsPath = "Settings/Router.settings";

// The modification times of both files at the last complete load. Any time, the epoch
// and -1 (a missing settings file) included, is a real stamp; only `loaded` says
// whether there was such a load. Guarded by the Router mutex.
struct LoadedStamps {
    bool loaded = false;
    std::time_t data = 0;
    std::time_t settings = 0;
};

LoadedStamps stamps;

// The value under key in a dictionary value; null when absent or not a dictionary.
const data_set* entryOf(const DataSet& dictionary, const char* key) {
    if (dictionary.kind() != DataSetKind::Dictionary) return nullptr;
    const DataSet* value = dictionary->dictionary.find(key);
    return value == nullptr ? nullptr : value->get();
}

std::string textOf(const data_set* value) { return value == nullptr ? std::string() : value->stringValue; }

void setRouterDefaultDomain(const DataSet& settings) {
    const data_set* qualifier = entryOf(settings, "DomainQualifier");
    const data_set* extend = entryOf(settings, "ExtendNonQualifiedDomains");
    // The qualifier is stored lower-case: the texts routed are, and exact rows compare
    // byte for byte.
    if (qualifier != nullptr && extend != nullptr && tmg::foldCase(extend->stringValue) == "yes") {
        setDefaultDomain(tmg::foldCase(qualifier->stringValue));
    } else {
        setDefaultDomain(mainDomainName());
    }
}

// Each global alias maps its user in every domain to its target address.
void addGlobalAliases(const DataSet& settings) {
    const data_set* aliases = entryOf(settings, "GlobalAliases");
    if (aliases == nullptr || aliases->kind != DataSetKind::Dictionary) return;
    for (const auto& alias : aliases->dictionary) {
        auto left = std::make_unique<RouterPattern>();
        left->prefix = splitAddress(alias.key).first + "@";
        left->wildcard = true;
        left->addressForm = true;
        auto right = std::make_unique<RouterPattern>();
        AddressPair target = splitAddress(textOf(alias.value.get()));
        right->prefix = target.first + "@" + target.second;
        RouterEntry::addToTable(std::make_unique<RouterEntry>(std::move(left), std::move(right)));
    }
}

}  // namespace

void directory_internal::forgetRouterLoadForTests() {
    tmg::MutexLock lock(&routerMutex());
    stamps = LoadedStamps{};
}

bool loadRouter() {
    tmg::MutexLock lock(&routerMutex());
    if (!tmg::fs::isFile(routerDataPath)) return false;
    // Stamps are taken before the files are read, so an edit during the load shows as a
    // change next time.
    const std::time_t dataTime = tmg::fs::modificationTime(routerDataPath);
    const std::time_t settingsTime = tmg::fs::modificationTime(routerSettingsPath);
    if (stamps.loaded && stamps.data == dataTime && stamps.settings == settingsTime) return false;

    clearRouter();
    stamps.loaded = false;
    DataSet settings = loadDataSetFile(routerSettingsPath);
    if (settings.kind() == DataSetKind::Empty) return false;
    stamps = LoadedStamps{true, dataTime, settingsTime};

    setRouterDefaultDomain(settings);
    addGlobalAliases(settings);
    RouterTableSink sink;
    cgparserParseFile(routerDataPath, RouterMode, &sink);
    return true;
}

}  // namespace cgp
