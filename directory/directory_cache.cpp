#include "directory/internal/directory_cache.h"

#include <atomic>

#include "directory/domains.h"
#include "directory/internal/reset_for_tests.h"

namespace cgp {

namespace directory_internal {

namespace {

DirectoryCache sharedCache;
std::atomic<std::int64_t> latestAliasTime{0};

}  // namespace

DirectoryCache& directoryCache() { return sharedCache; }

void rebuildRealDomains(DirectoryCache& cache) {
    cache.realDomains.clear();
    for (const auto& entry : cache.domainAliasSets) {
        cache.realDomains.set(entry.key, entry.key);
        for (const std::string& alias : entry.value) cache.realDomains.set(alias, entry.key);
    }
}

void uniteDomains(DirectoryCache& cache) {
    cache.allDomains = cache.localDomains;
    cache.allDomains.insert(cache.sharedDomains.begin(), cache.sharedDomains.end());
    cache.allDomains.insert(cache.extraDomains.begin(), cache.extraDomains.end());
}

void noteDomainAliasTime(std::int64_t time) {
    std::int64_t seen = latestAliasTime.load();
    while (time > seen && !latestAliasTime.compare_exchange_weak(seen, time)) {
    }
}

bool tracing() { return directoryVerbose.load(std::memory_order_relaxed); }

void forgetDirectoryCacheForTests() {
    tmg::MutexLock lock(&accountCacheMutex());
    // Each table assigned from a new one, so bucket counts (and so the order of walks over
    // a table) are those of a new process too.
    sharedCache = DirectoryCache();
    latestAliasTime.store(0);
}

}  // namespace directory_internal

std::int64_t latestDomainAliasTime() { return directory_internal::latestAliasTime.load(); }

tmg::MutexInterface& accountCacheMutex() {
    static tmg::MutexInterface* mutex = new tmg::MutexInterface(tmg::LockRank::DirectoryCache);
    return *mutex;
}

}  // namespace cgp
