// The Router table: its two row lists, the row builders and the Router mutex.
#include "directory/domains.h"
#include "directory/router.h"

namespace cgp {

namespace {

// The lists own their rows, so whatever is left at exit is freed with them.
RouterRows addressRows;
RouterRows domainRows;

}  // namespace

tmg::MutexInterface& routerMutex() {
    static tmg::MutexInterface mutex(tmg::LockRank::Router);
    return mutex;
}

const RouterRows& routerAddressRows() { return addressRows; }
const RouterRows& routerDomainRows() { return domainRows; }

RouterEntry::RouterEntry(std::unique_ptr<RouterPattern> leftSide, std::unique_ptr<RouterPattern> rightSide)
    : left(std::move(leftSide)), right(std::move(rightSide)) {}

void RouterEntry::addToTable(std::unique_ptr<RouterEntry> row) {
    if (!row) return;
    (row->left->addressForm ? addressRows : domainRows).push_back(std::move(row));
}

std::unique_ptr<RouterEntry> makeRouterEntry(std::unique_ptr<RouterPattern> left,
                                             std::unique_ptr<RouterPattern> right) {
    if (!right) right = makeRouterPattern(mainDomainName(), 0);
    return std::make_unique<RouterEntry>(std::move(left), std::move(right));
}

int addRouterEntryAction(std::unique_ptr<RouterEntry> row) {
    RouterEntry::addToTable(std::move(row));
    return 0;
}

void clearRouter() {
    tmg::MutexLock lock(&routerMutex());
    addressRows.clear();
    domainRows.clear();
}

}  // namespace cgp
