#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "foundation/ring_ptr.h"

struct hostent;

namespace tmg::sock {

// One host as the resolver knows it.
struct host_entry {
    // Copies the resolver's record. Throws UnableToResolveAddressException when the record
    // is null or has no name or no address.
    explicit host_entry(const hostent* record);

    // hostOrderToString of the first address (there is always one).
    std::string firstAddress() const;
    // hostOrderToString of every address, in the resolver's order.
    std::vector<std::string> addressStrings() const;

    std::string name;
    std::set<std::string> aliases;
    // IPv4 addresses in host byte order, in the resolver's order.
    std::vector<std::uint32_t> addresses;
};

// The host of a name (or dotted text), through the thread-safe resolver calls. A name that
// does not resolve throws UnableToResolveAddressException, or gives an empty handle.
ptr<host_entry> resolve(const std::string& name, bool throwOnError);

// The host of a dotted address. A text that is no address throws
// UnableToResolveAddressException "Invalid IP address"; an address without a name throws
// UnableToResolveAddressException. Without throwOnError both give an empty handle.
ptr<host_entry> reverseResolve(const std::string& dottedText, bool throwOnError);

}  // namespace tmg::sock
