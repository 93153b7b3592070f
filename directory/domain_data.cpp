#include <vector>

#include "directory/domains.h"
#include "directory/internal/directory_cache.h"
#include "directory/internal/folder_walk.h"
#include "formats/dataset_reader.h"
#include "foundation/case_fold.h"
#include "foundation/fs_predicates.h"
#include "foundation/log_line.h"

namespace cgp {

using namespace directory_internal;

namespace {

const char* const kListSuffixes[] = {"-on",     "-off",  "-subscribe", "-unsubscribe", "-feed",  "-digest",
                                     "-index",  "-null", "-confirm",   "-admin",       "-request", "-report"};

std::int64_t timeOrNeverRead(const StringHashTable<std::int64_t>& times, const std::string& name) {
    const std::int64_t* time = times.find(name);
    return time == nullptr ? kNeverRead : *time;
}

// The other names of the domain, re-read only when the file's time changed. A file that
// reads as nothing keeps the old set; a file that went away empties it.
void readDomainAliases(DirectoryCache& cache, const std::string& name, const std::string& folder) {
    std::string path = folder + "/Settings/domainAliases.data";
    if (tracing()) tmg::logline() << "Searching Aliases for domain " << name << " in file " << path;
    std::int64_t time = tmg::fs::modificationTime(path);
    std::int64_t previous = timeOrNeverRead(cache.domainAliasTimes, name);
    if (time < 0) {
        if (tracing()) tmg::logline() << "No alias for domain " << name;
        if (previous != kNeverRead) {
            cache.domainAliasTimes.set(name, kNeverRead);
            cache.domainAliasSets.set(name, NameSet());
        }
        cache.domainAliasSets[name];
    } else if (time == previous) {
        if (tracing()) tmg::logline() << "Domain alias data already up-to-date";
    } else {
        cache.domainAliasTimes.set(name, time);
        DataSet aliases = loadDataSetFile(path);
        if (aliases.kind() != DataSetKind::Empty) {
            NameSet& set = cache.domainAliasSets[name];
            set.clear();
            for (const DataSet& element : aliases->array) {
                std::string alias = tmg::foldCase(element.isNull() ? std::string() : element->stringValue);
                if (tracing()) tmg::logline() << "Found alias " << alias << " for domain " << name;
                set.insert(std::move(alias));
            }
        }
    }
    const std::int64_t* recorded = cache.domainAliasTimes.find(name);
    if (recorded != nullptr && *recorded != kNeverRead) noteDomainAliasTime(*recorded);
}

// The account aliases of aliases.data, re-read only when the file's time changed.
void readAccountAliases(DirectoryCache& cache, const std::string& name, const std::string& folder) {
    std::string path = folder + "/Settings/aliases.data";
    std::int64_t time = tmg::fs::modificationTime(path);
    AliasFile& file = cache.accountAliasFiles[name];
    if (time < 0) {
        if (file.time != kNeverRead) {
            file.time = kNeverRead;
            file.aliases.clear();
        }
        return;
    }
    if (time == file.time) return;
    file.time = time;
    DataSet accounts = loadDataSetFile(path);
    if (accounts.kind() == DataSetKind::Empty) return;
    file.aliases.clear();
    for (const auto& entry : accounts->dictionary) {
        if (entry.value.isNull()) continue;
        std::string account = tmg::foldCase(entry.key);
        for (const DataSet& element : entry.value->array) {
            std::string alias = tmg::foldCase(element.isNull() ? std::string() : element->stringValue);
            if (!file.aliases.contains(alias)) file.aliases.emplaceNew(alias, account);
        }
    }
}

void readIpAddresses(DirectoryCache& cache, const std::string& name, const std::string& folder) {
    if (tracing()) tmg::logline() << "Checking valid IPs for domain " << name;
    DataSet settings = loadDataSetFile(folder + "/Settings/domain.settings");
    if (settings.kind() == DataSetKind::Empty) return;
    if (const DataSet* addresses = settings->dictionary.find("IPAddresses"); addresses && !addresses->isNull()) {
        for (const DataSet& element : (*addresses)->array) {
            const std::string& ip = element.isNull() ? std::string() : element->stringValue;
            if (tracing()) tmg::logline() << "Found IP: " << ip;
            if (!cache.ipDomains.contains(ip)) cache.ipDomains.emplaceNew(ip, name);
        }
    }
    if (const DataSet* mode = settings->dictionary.find("IPMode"); mode && !mode->isNull()) {
        if ((*mode)->stringValue == "All Available") cache.fallbackDomain = name;
    }
}

// The lists of the LISTS folder; each one's command addresses become aliases of it.
void readLists(DirectoryCache& cache, const std::string& name, const std::string& folder, AliasTable& aliases) {
    NameSet& lists = cache.lists[name];
    FolderWalk walk(folder + "/LISTS");
    static const std::string kEnding = ".list";
    while (walk.next()) {
        std::string entry = walk.name();
        if (entry.size() < kEnding.size() || entry.compare(entry.size() - kEnding.size(), kEnding.size(), kEnding) != 0)
            continue;
        std::string list = tmg::foldCase(std::string_view(entry).substr(0, entry.size() - kEnding.size()));
        lists.insert(list);
        for (const char* suffix : kListSuffixes) {
            std::string address = list + suffix;
            if (!aliases.contains(address)) aliases.emplaceNew(address, list);
        }
    }
}

// What a domain no longer found had in the tables that outlive a load goes with it; the
// domain aliases given through mergeDomainAliases stay.
void forgetLostDomains(DirectoryCache& cache) {
    std::vector<std::string> lost;
    for (const auto& entry : cache.domainAliasSets)
        if (!cache.domainPaths.contains(entry.key) && cache.extraDomains.count(entry.key) == 0) lost.push_back(entry.key);
    for (const std::string& name : lost) cache.domainAliasSets.erase(name);
    lost.clear();
    for (const auto& entry : cache.domainAliasTimes)
        if (!cache.domainPaths.contains(entry.key)) lost.push_back(entry.key);
    for (const std::string& name : lost) cache.domainAliasTimes.erase(name);
    lost.clear();
    for (const auto& entry : cache.accountAliasFiles)
        if (!cache.domainPaths.contains(entry.key)) lost.push_back(entry.key);
    for (const std::string& name : lost) cache.accountAliasFiles.erase(name);
}

}  // namespace

void loadDomainData() {
    // The caller should hold it already; taking it again costs nothing and keeps a caller
    // that does not from racing the readers.
    tmg::MutexLock lock(&accountCacheMutex());
    DirectoryCache& cache = directoryCache();
    cache.fallbackDomain = mainDomainName();
    cache.forwarders.clear();
    cache.groups.clear();
    cache.lists.clear();
    cache.accountAliases.clear();
    for (const auto& domain : cache.domainPaths) {
        const std::string& name = domain.key;
        const std::string& folder = domain.value;
        readDomainAliases(cache, name, folder);
        readAccountAliases(cache, name, folder);
        AliasTable& aliases = cache.accountAliases[name];
        aliases = cache.accountAliasFiles[name].aliases;
        readIpAddresses(cache, name, folder);
        loadAddressMap(folder + "/Settings/forwarders.data", cache.forwarders[name]);
        loadSettingsMap(folder + "/Settings/groups.data", cache.groups[name]);
        readLists(cache, name, folder, aliases);
    }
    forgetLostDomains(cache);
    rebuildRealDomains(cache);
}

}  // namespace cgp
