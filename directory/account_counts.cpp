#include <ctime>

#include "directory/accounts.h"
#include "directory/domains.h"
#include "directory/internal/account_folders.h"
#include "directory/internal/directory_cache.h"
#include "directory/internal/folder_walk.h"
#include "foundation/log_line.h"

namespace cgp {

using namespace directory_internal;

namespace {

constexpr std::int64_t kCountLifetime = 86400;

// Counts the folder at the given depth below the one asked about. cut is set when a
// ".sub" folder was left out for depth; such a count is not kept for the folder, unless
// it is the one asked about.
std::int64_t countBelow(DirectoryCache& cache, const std::string& folder, std::int64_t now, int depth, bool& cut) {
    if (const AccountCount* kept = cache.accountCounts.find(folder)) {
        if (now < kept->expiry) return kept->count;
        cache.accountCounts.erase(folder);
    }
    std::int64_t count = 0;
    bool cutHere = false;
    FolderWalk walk(folder);
    while (walk.next()) {
        std::string name = walk.name();
        if (endsWith(name, ".macnt") || endsWith(name, ".mbox") || endsWith(name, ".mdir")) {
            ++count;
        } else if (endsWith(name, ".sub")) {
            if (depth < kMaxSubFolderDepth)
                count += countBelow(cache, folder + "/" + name, now, depth + 1, cutHere);
            else
                cutHere = true;
        }
    }
    if (!cutHere || depth == 0) cache.accountCounts.set(folder, AccountCount{now + kCountLifetime, count});
    cut = cut || cutHere;
    return count;
}

// Adds the accounts, groups, forwarders and lists of one domain to the total.
void countDomain(DirectoryCache& cache, const std::string& domain, std::int64_t now, bool withGroups,
                 bool withForwarders, bool withLists, std::int64_t& total) {
    const std::string* folder = cache.domainPaths.find(domain);
    bool cut = false;
    total += countBelow(cache, folder == nullptr ? std::string() : *folder, now, 0, cut);
    if (withGroups)
        if (const TextMap* groups = cache.groups.find(domain)) total += static_cast<std::int64_t>(groups->size());
    if (tracing()) tmg::logline() << "(" << total << ") Counted Groups";
    if (withForwarders)
        if (const AddressTable* forwarders = cache.forwarders.find(domain))
            total += static_cast<std::int64_t>(forwarders->size());
    if (tracing()) tmg::logline() << "(" << total << ") Counted Forwarders";
    if (withLists)
        if (const NameSet* lists = cache.lists.find(domain)) total += static_cast<std::int64_t>(lists->size());
    if (tracing()) tmg::logline() << "(" << total << ") Counted Lists";
}

}  // namespace

std::int64_t scanAccountDirectory(const std::string& folder, std::int64_t now) {
    tmg::MutexLock lock(&accountCacheMutex());
    bool cut = false;
    return countBelow(directoryCache(), folder, now, 0, cut);
}

std::int64_t countAccountsToFilter(const std::set<std::string>& accounts, const std::set<std::string>& domains,
                                   bool withGroups, bool withForwarders, bool withLists) {
    std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    tmg::MutexLock lock(&accountCacheMutex());
    std::int64_t total = static_cast<std::int64_t>(accounts.size());
    if (tracing()) tmg::logline() << total << " accounts in the Accounts To Filter list";
    DirectoryCache& cache = directoryCache();
    for (const std::string& domain : domains)
        countDomain(cache, domain, now, withGroups, withForwarders, withLists, total);
    return total;
}

std::int64_t countAllAccounts(bool withGroups, bool withForwarders, bool withLists) {
    std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    tmg::MutexLock lock(&accountCacheMutex());
    DirectoryCache& cache = directoryCache();
    std::int64_t total = 0;
    for (const std::string& domain : cache.allDomains)
        countDomain(cache, domain, now, withGroups, withForwarders, withLists, total);
    return total;
}

}  // namespace cgp
