#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "directory/email.h"
#include "formats/dataset.h"
#include "formats/string_hash_table.h"
#include "foundation/mutex.h"

// The server's domains, read from its settings files and folders. Every path is relative
// to the current folder, which must be the server's base folder. Nothing here throws for a
// missing or broken file: it counts as empty. Nothing here writes a file.
namespace cgp {

// The main domain's name, lower-case, from the "DomainName" of "Settings/Main.settings";
// empty when the file or the key is missing. Read once, on the first call, whichever
// thread makes it; every later call returns the same string, even after the file changes.
// The first read is made under accountCacheMutex (callers on other threads wait for it),
// so a caller may hold the Router or the cache mutex but no mutex ranked inside the cache
// mutex; later calls take no lock.
const std::string& mainDomainName();

// The recursive mutex that guards every directory cache: the domain tables below and the
// account counts of accounts.h; the first read of the main domain is made under it too.
// Made on first use and never destroyed. Rank DirectoryCache of foundation/lock_order.h:
// inside the Router mutex, outside the dataset pool and parser.
tmg::MutexInterface& accountCacheMutex();

// When on, the directory writes its trace lines ("* " + text); off at start.
extern std::atomic<bool> directoryVerbose;

// Domain name to the ordered set of its other names.
using DomainAliasMap = std::map<std::string, std::set<std::string>>;

// Finds the domains: the main domain in "Accounts", every folder of "Domains",
// "SharedDomains" and, when not empty, of sharedBase whose name is all lower-case (the
// first path found for a name wins; "settings" is never a domain), then reads their
// settings with loadDomainData. Takes the cache mutex for the whole call. Domains no
// longer found lose everything they had in the caches, but what mergeDomainAliases gave.
void loadDomainList(const std::string& sharedBase);

// Reads each known domain's settings files into the caches: domain aliases and account
// aliases (re-read only when their file's modification time changed), IP addresses and
// the fallback domain, forwarders, groups and the mailing lists of its "LISTS" folder
// (each list also answers to its name + "-on", "-off", "-subscribe" ... "-report").
// Meant to run inside loadDomainList; takes the cache mutex (again) for the whole call.
void loadDomainData();

// Adds other names of domains given by the caller; each domain named becomes known. True
// when a domain's set was new or differed. Takes the cache mutex unless the table is empty.
bool mergeDomainAliases(const DomainAliasMap& table);

// The largest modification time of a domain-alias file read so far; 0 before any. No lock.
std::int64_t latestDomainAliasTime();

// These take the cache mutex; out is replaced by (or, for the sets, filled with) a copy.
void getDomainAliases(DomainAliasMap& out);
bool isKnownDomain(const std::string& name);
void getSharedDomains(std::set<std::string>& out);
void getAllDomains(std::set<std::string>& out);

// Settings dictionary to an ordered map: keys and texts lower-cased, a key whose value has
// no text, entries or elements removed from out, an existing key kept, a dictionary or
// array value stored as "". An Empty value leaves out as it was; any other value empties it
// first. No lock.
void settingsToMap(const DataSet& value, std::map<std::string, std::string>& out);
// loadDataSetFile(path), then settingsToMap.
void loadSettingsMap(const std::string& path, std::map<std::string, std::string>& out);

// The same, each kept text split by splitAddress into the target address.
void settingsToAddressMap(const DataSet& value, StringHashTable<AddressPair>& out);
void loadAddressMap(const std::string& path, StringHashTable<AddressPair>& out);

}  // namespace cgp
