#pragma once

#include <ostream>
#include <string>
#include <utility>

#include "foundation/ostream_func.h"

namespace cgp {

// An address as the directory and the Router handle it: (user, domain).
using AddressPair = std::pair<std::string, std::string>;

// Cuts an address at its first "@", or, when it has none, at its first "%"; the domain
// keeps any further "@" or "%" ("x%y@z" gives (x%y, z), "x@y@z" gives (x, y@z)). An
// address with neither gets the default domain; the empty text gives two empty parts.
// Both parts come back lower-cased through the case-folding table. Never fails.
AddressPair splitAddress(const std::string& address);

// The domain that splitAddress gives an address without "@" and "%"; empty at start.
// Both take the default-domain mutex, which is the innermost lock of the process: callers
// may hold any other lock, and nothing is taken while it is held.
std::string defaultDomain();
// Only the Router load sets it.
void setDefaultDomain(const std::string& domain);

// Prints an address pair as user "@" domain, with no quoting or conversion. It points at
// the two strings and owns neither: they must outlive it. Built on the stack to put an
// address into a log line.
class EMail : public tmg::ostream_func {
public:
    EMail(const std::string& userPart, const std::string& domainPart) : user(&userPart), domain(&domainPart) {}
    explicit EMail(const AddressPair& address) : EMail(address.first, address.second) {}
    ~EMail() override;

    void operator()(std::ostream& out) const override;

private:
    const std::string* user;
    const std::string* domain;
};

}  // namespace cgp
