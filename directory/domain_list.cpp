#include "directory/domains.h"
#include "directory/internal/directory_cache.h"
#include "directory/internal/folder_walk.h"
#include "foundation/case_fold.h"
#include "foundation/fs_predicates.h"
#include "foundation/log_line.h"

namespace cgp {

using namespace directory_internal;

namespace {

// Adds every lower-case folder of the folder as a domain of the set; a name already
// known keeps its first path.
void findDomains(DirectoryCache& cache, const std::string& folder, const std::string& prefix,
                 NameSet& domains, const char* found) {
    FolderWalk walk(folder);
    while (walk.next()) {
        std::string name = walk.name();
        std::string path = prefix + name;
        if (!tmg::fs::isDirectory(path) || tmg::foldCase(name) != name) continue;
        domains.insert(name);
        if (tracing()) tmg::logline() << found << name << " at " << path;
        if (!cache.domainPaths.contains(name)) cache.domainPaths.emplaceNew(name, path);
    }
}

}  // namespace

void loadDomainList(const std::string& sharedBase) {
    tmg::MutexLock lock(&accountCacheMutex());
    DirectoryCache& cache = directoryCache();
    cache.sharedDomains.clear();
    cache.localDomains.clear();
    cache.domainPaths.clear();
    cache.ipDomains.clear();

    const std::string& mainDomain = mainDomainName();
    if (!mainDomain.empty()) {
        cache.localDomains.insert(mainDomain);
        cache.domainPaths.emplaceNew(mainDomain, "Accounts");
        if (tracing()) tmg::logline() << "Found local domain " << mainDomain << " at Accounts";
    }
    findDomains(cache, "Domains", "Domains/", cache.localDomains, "Found local domain ");
    findDomains(cache, "SharedDomains", "SharedDomains/", cache.sharedDomains, "Found shared domain ");
    if (!sharedBase.empty()) {
        if (tracing()) tmg::logline() << "Searching in Shared Base " << sharedBase;
        findDomains(cache, sharedBase, sharedBase + "/", cache.sharedDomains, "Found shared domain ");
    }
    cache.sharedDomains.erase("settings");
    cache.localDomains.erase("settings");
    cache.domainPaths.erase("settings");
    uniteDomains(cache);
    loadDomainData();
}

bool mergeDomainAliases(const DomainAliasMap& table) {
    if (table.empty()) return false;
    tmg::MutexLock lock(&accountCacheMutex());
    DirectoryCache& cache = directoryCache();
    bool changed = false;
    for (const auto& [domain, aliases] : table) {
        NameSet* known = cache.domainAliasSets.find(domain);
        if (known == nullptr) {
            cache.domainAliasSets.emplaceNew(domain, aliases);
            changed = true;
        } else if (*known != aliases) {
            *known = aliases;
            changed = true;
        }
        cache.extraDomains.insert(domain);
    }
    if (changed) {
        rebuildRealDomains(cache);
        uniteDomains(cache);
    }
    return changed;
}

void getDomainAliases(DomainAliasMap& out) {
    tmg::MutexLock lock(&accountCacheMutex());
    out.clear();
    for (const auto& entry : directoryCache().domainAliasSets) out.emplace(entry.key, entry.value);
}

bool isKnownDomain(const std::string& name) {
    tmg::MutexLock lock(&accountCacheMutex());
    return directoryCache().allDomains.count(name) != 0;
}

void getSharedDomains(std::set<std::string>& out) {
    tmg::MutexLock lock(&accountCacheMutex());
    const NameSet& shared = directoryCache().sharedDomains;
    out.insert(shared.begin(), shared.end());
}

void getAllDomains(std::set<std::string>& out) {
    tmg::MutexLock lock(&accountCacheMutex());
    const NameSet& all = directoryCache().allDomains;
    out.insert(all.begin(), all.end());
}

}  // namespace cgp
