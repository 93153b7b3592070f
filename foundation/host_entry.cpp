#include "foundation/host_entry.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <cerrno>
#include <cstring>

#include "foundation/exception.h"
#include "foundation/socket_address.h"

namespace tmg::sock {

host_entry::host_entry(const hostent* record) {
    if (!record || !record->h_name || !record->h_addr_list || !record->h_addr_list[0] || record->h_length != 4)
        throw UnableToResolveAddressException();
    name = record->h_name;
    for (char** entry = record->h_addr_list; *entry; ++entry) {
        std::uint32_t networkOrder;
        std::memcpy(&networkOrder, *entry, sizeof networkOrder);
        addresses.push_back(ntohl(networkOrder));
    }
    if (record->h_aliases)
        for (char** alias = record->h_aliases; *alias; ++alias) aliases.insert(*alias);
}

std::string host_entry::firstAddress() const { return addresses.empty() ? std::string() : hostOrderToString(addresses.front()); }

std::vector<std::string> host_entry::addressStrings() const {
    std::vector<std::string> texts;
    texts.reserve(addresses.size());
    for (std::uint32_t address : addresses) texts.push_back(hostOrderToString(address));
    return texts;
}

namespace {

// glibc's plain lookups share one static record across threads; the _r forms fill a
// buffer of ours, which has to grow until the record fits.
template <class Lookup>
ptr<host_entry> lookUp(Lookup lookup, bool throwOnError) {
    std::vector<char> buffer(1024);
    hostent record;
    hostent* result = nullptr;
    int hostError = 0;
    for (;;) {
        int rc = lookup(&record, buffer.data(), buffer.size(), &result, &hostError);
        if (rc == ERANGE && buffer.size() < (1u << 22)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0) result = nullptr;
        break;
    }
    try {
        return ptr<host_entry>(new host_entry(result));
    } catch (const UnableToResolveAddressException&) {
        if (throwOnError) throw;
        return ptr<host_entry>();
    }
}

}  // namespace

ptr<host_entry> resolve(const std::string& name, bool throwOnError) {
    return lookUp(
        [&](hostent* record, char* buffer, std::size_t size, hostent** result, int* hostError) {
            return ::gethostbyname_r(name.c_str(), record, buffer, size, result, hostError);
        },
        throwOnError);
}

ptr<host_entry> reverseResolve(const std::string& dottedText, bool throwOnError) {
    in_addr address{};
    if (::inet_aton(dottedText.c_str(), &address) == 0) {
        if (throwOnError) throw UnableToResolveAddressException("Invalid IP address");
        return ptr<host_entry>();
    }
    return lookUp(
        [&](hostent* record, char* buffer, std::size_t size, hostent** result, int* hostError) {
            return ::gethostbyaddr_r(&address, sizeof address, AF_INET, record, buffer, size, result, hostError);
        },
        throwOnError);
}

}  // namespace tmg::sock
