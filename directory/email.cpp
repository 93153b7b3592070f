#include "directory/email.h"

#include "foundation/case_fold.h"

namespace cgp {

AddressPair splitAddress(const std::string& address) {
    std::string::size_type at = address.find('@');
    if (at == std::string::npos) at = address.find('%');
    AddressPair pair;
    if (at != std::string::npos) {
        pair.first = tmg::foldCase(std::string_view(address).substr(0, at));
        pair.second = tmg::foldCase(std::string_view(address).substr(at + 1));
    } else if (!address.empty()) {
        pair.first = tmg::foldCase(address);
        pair.second = tmg::foldCase(defaultDomain());
    }
    return pair;
}

EMail::~EMail() = default;

void EMail::operator()(std::ostream& out) const { out << *user << '@' << *domain; }

}  // namespace cgp
