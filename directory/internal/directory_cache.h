#pragma once

// The directory's process-wide tables. Internal to directory/: reach them only through
// directory/domains.h and directory/accounts.h.

#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>

#include "directory/email.h"
#include "formats/string_hash_table.h"

namespace cgp::directory_internal {

// The time of a settings file that has not been read (or no longer exists). Not 0: a file
// may carry the epoch as its modification time and must still be read once.
constexpr std::int64_t kNeverRead = std::numeric_limits<std::int64_t>::min();

using NameSet = std::set<std::string>;
using TextMap = std::map<std::string, std::string>;
// Alias name to account name.
using AliasTable = StringHashTable<std::string>;
// Forwarder name to its target.
using AddressTable = StringHashTable<AddressPair>;

// One domain's aliases.data as last read.
struct AliasFile {
    std::int64_t time = kNeverRead;
    AliasTable aliases;
};

// An account count of one folder, kept until expiry (seconds since the epoch).
struct AccountCount {
    std::int64_t expiry = 0;
    std::int64_t count = 0;
};

// Lookups are byte for byte: every key is stored lower-cased (but IP texts and paths).
struct DirectoryCache {
    std::string fallbackDomain;              // serves IP addresses without an entry
    StringHashTable<std::string> domainPaths;  // domain to its folder
    NameSet localDomains;
    NameSet sharedDomains;
    NameSet extraDomains;  // given through mergeDomainAliases; only grows
    NameSet allDomains;    // the union of the three above
    StringHashTable<NameSet> domainAliasSets;
    StringHashTable<std::int64_t> domainAliasTimes;
    StringHashTable<std::string> realDomains;  // every domain and domain alias to its domain
    // Rebuilt on every load from accountAliasFiles and the lists, so that the aliases of a
    // list or domain that went away go with it.
    StringHashTable<AliasTable> accountAliases;
    StringHashTable<AliasFile> accountAliasFiles;
    StringHashTable<AddressTable> forwarders;
    StringHashTable<TextMap> groups;  // keyed by lower-case group name
    StringHashTable<NameSet> lists;
    StringHashTable<std::string> ipDomains;  // IP text to domain
    StringHashTable<AccountCount> accountCounts;  // folder path to its count
};

// The one cache. The caller holds accountCacheMutex() for as long as it uses it.
DirectoryCache& directoryCache();

// Sets realDomains from domainAliasSets: each domain to itself, each alias to its domain.
void rebuildRealDomains(DirectoryCache& cache);
// Sets allDomains to the union of the local, shared and extra domains.
void uniteDomains(DirectoryCache& cache);
// Raises the largest domain-alias time seen so far.
void noteDomainAliasTime(std::int64_t time);

// True while the trace switch is on; trace lines are built only then.
bool tracing();

}  // namespace cgp::directory_internal
