// The Router table: its two row lists, the row builders and the Router mutex.
#include "directory/domains.h"
#include "directory/internal/router_rows.h"
#include "directory/router.h"

namespace cgp {

namespace directory_internal {

void RouterRowList::append(std::unique_ptr<RouterEntry> row) {
    const std::size_t position = rows.size();
    if (row->left->wildcard) {
        wildcards.push_back(position);
    } else {
        firstExact.emplace(row->left->prefix, position);  // an earlier row of the text stays
    }
    rows.push_back(std::move(row));
}

void RouterRowList::clear() {
    rows.clear();
    firstExact.clear();
    wildcards.clear();
}

// The lists own their rows, so whatever is left at exit is freed with them.
RouterRowList& addressRowList() {
    static RouterRowList list;
    return list;
}

RouterRowList& domainRowList() {
    static RouterRowList list;
    return list;
}

}  // namespace directory_internal

using directory_internal::addressRowList;
using directory_internal::domainRowList;

tmg::MutexInterface& routerMutex() {
    static tmg::MutexInterface mutex(tmg::LockRank::Router);
    return mutex;
}

const RouterRows& routerAddressRows() { return addressRowList().rows; }
const RouterRows& routerDomainRows() { return domainRowList().rows; }

RouterEntry::RouterEntry(std::unique_ptr<RouterPattern> leftSide, std::unique_ptr<RouterPattern> rightSide)
    : left(std::move(leftSide)), right(std::move(rightSide)) {}

void RouterEntry::addToTable(std::unique_ptr<RouterEntry> row) {
    if (!row) return;
    (row->left->addressForm ? addressRowList() : domainRowList()).append(std::move(row));
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
    addressRowList().clear();
    domainRowList().clear();
}

}  // namespace cgp
