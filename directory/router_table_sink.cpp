// The sink that turns the rows of a Router-language parse into table rows.
#include "directory/domains.h"
#include "directory/router.h"

namespace cgp {

RouterTableSink::RouterTableSink() : lock(&routerMutex()), mainDomain(mainDomainName()) {}

RouterTableSink::~RouterTableSink() = default;

void RouterTableSink::addRouterRow(const std::string& left, bool addressForm, const std::string* right) {
    addRouterEntryAction(makeRouterEntry(makeRouterPattern(left, addressForm ? 1 : 0),
                                         makeRouterPattern(right ? *right : mainDomain, 0)));
}

}  // namespace cgp
