#include "directory/accounts.h"
#include "directory/domains.h"
#include "directory/internal/directory_cache.h"
#include "foundation/log_line.h"

namespace cgp {

using namespace directory_internal;

namespace {

// Forwarders are followed for depths 0 to this one.
constexpr std::uint32_t kLastForwarderDepth = 10;

}  // namespace

std::string& realDomainName(std::string& domain) {
    tmg::MutexLock lock(&accountCacheMutex());
    if (tracing()) tmg::logline() << "Searching real domain name for " << domain;
    if (domain.empty()) {
        if (tracing()) tmg::logline() << "Empty string, defaulting to " << mainDomainName();
        domain = mainDomainName();
        return domain;
    }
    if (const std::string* real = directoryCache().realDomains.find(domain)) {
        if (tracing()) tmg::logline() << "Domain found: " << *real;
        domain = *real;
    } else if (tracing()) {
        tmg::logline() << "Domain not found";
    }
    return domain;
}

bool resolveAlias(AddressPair& address) {
    tmg::MutexLock lock(&accountCacheMutex());
    const AliasTable* aliases = directoryCache().accountAliases.find(address.second);
    if (aliases == nullptr) {
        if (tracing()) tmg::logline() << "Account not found in aliases list";
        return false;
    }
    const std::string* account = aliases->find(address.first);
    if (account == nullptr) {
        if (tracing()) tmg::logline() << "Domain found, account is not an alias: " << EMail(address);
        return false;
    }
    address.first = *account;
    if (tracing()) tmg::logline() << "Account found: " << EMail(address);
    return true;
}

bool resolveForwarder(AddressPair& address, std::uint32_t depth) {
    tmg::MutexLock lock(&accountCacheMutex());
    const AddressTable* forwarders = directoryCache().forwarders.find(address.second);
    if (forwarders == nullptr) {
        if (tracing()) tmg::logline() << "Account not found in forwarders list";
        return false;
    }
    const AddressPair* target = forwarders->find(address.first);
    if (target == nullptr) {
        if (tracing()) tmg::logline() << "Domain found, account is not an forwarder: " << EMail(address);
        return false;
    }
    address.first = target->first;
    if (!target->second.empty()) address.second = target->second;
    if (depth < kLastForwarderDepth)
        resolveForwarder(address, depth + 1);
    else
        tmg::logline() << "Forwarder loop found, skipping: " << EMail(address);
    if (tracing()) tmg::logline() << "Account found: " << EMail(address);
    return true;
}

AddressPair& resolveAccount(AddressPair& address) {
    tmg::MutexLock lock(&accountCacheMutex());
    if (tracing()) tmg::logline() << "Searching real account name for " << EMail(address);
    std::string& user = address.first;
    if (std::string::size_type plus = user.find('+'); plus != std::string::npos) {
        if (tracing()) tmg::logline() << "Removing account detail information (account+detail)";
        user.erase(plus);
    }
    if (std::string::size_type hash = user.find('#'); hash != std::string::npos) {
        if (tracing()) tmg::logline() << "Removing direct mailbox information (mailbox#account)";
        user.erase(0, hash + 1);
    }
    realDomainName(address.second);
    resolveForwarder(address, 0);
    resolveAlias(address);
    return address;
}

std::string canonicalAddress(const std::string& address) {
    AddressPair pair = splitAddress(address);
    resolveAccount(pair);
    return pair.first + "@" + pair.second;
}

std::string& domainForIp(std::string& ip) {
    tmg::MutexLock lock(&accountCacheMutex());
    if (tracing()) tmg::logline() << "Trying to match IP " << ip << " with a domain name";
    DirectoryCache& cache = directoryCache();
    if (const std::string* domain = cache.ipDomains.find(ip)) {
        ip = *domain;
        return ip;
    }
    tmg::logline() << "No explicitely defined entry found, fallback to " << cache.fallbackDomain;
    ip = cache.fallbackDomain;
    return ip;
}

bool isList(const AddressPair& address) {
    tmg::MutexLock lock(&accountCacheMutex());
    const NameSet* lists = directoryCache().lists.find(address.second);
    if (lists == nullptr) return false;
    const std::string& user = address.first;
    if (lists->count(user) != 0) return true;
    // A list's name may hold "-" itself, so every cut at a "-" is a candidate.
    for (std::string::size_type dash = user.find('-'); dash != std::string::npos; dash = user.find('-', dash + 1))
        if (lists->count(user.substr(0, dash)) != 0) return true;
    return false;
}

bool isGroup(const AddressPair& address) {
    tmg::MutexLock lock(&accountCacheMutex());
    const TextMap* groups = directoryCache().groups.find(address.second);
    return groups != nullptr && groups->count(address.first) != 0;
}

bool isForwarder(const AddressPair& address) {
    tmg::MutexLock lock(&accountCacheMutex());
    const AddressTable* forwarders = directoryCache().forwarders.find(address.second);
    return forwarders != nullptr && forwarders->contains(address.first);
}

}  // namespace cgp
