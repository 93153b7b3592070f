// Routing an address pair through the Router table, step by step.
#include "directory/accounts.h"
#include "directory/internal/account_folders.h"
#include "directory/internal/router_rows.h"
#include "directory/router.h"
#include "foundation/case_fold.h"
#include "foundation/log_line.h"

namespace cgp {

std::atomic<bool> routerTrace{false};

namespace {

using directory_internal::endsWith;
using directory_internal::RouterRowList;

const int maxRouterSteps = 20;

bool endsWithNoCase(const std::string& text, const std::string& ending) {
    return text.size() >= ending.size() &&
           tmg::equalsNoCase(std::string_view(text).substr(text.size() - ending.size()), ending);
}

// A domain the server hands to a delivery module: address rows stop routing there.
bool isFinalDomain(const std::string& domain) {
    return domain.find('@') != std::string::npos || endsWithNoCase(domain, ".smtp") ||
           endsWithNoCase(domain, ".local") || endsWithNoCase(domain, ".pipe");
}

// Tries one row on text; on a match rewrites text and returns true.
bool applyRow(const RouterEntry& row, std::string& text) {
    const RouterPattern& left = *row.left;
    const RouterPattern& right = *row.right;
    if (left.wildcard) return matchRouterPattern(text, left, right);
    if (text != left.prefix) return false;
    if (!right.wildcard) {
        text = right.prefix;
        return true;
    }
    tmg::logline() << "Invalid router entry (<" << left.prefix << "> = " << right.prefix << "*" << right.suffix
                   << "), check the Router webadmin page of CGPro";
    text = right.prefix + "*" + right.suffix;
    return true;
}

// Rewrites text by the first row of the list that matches it; false when none does.
// Traced, every row up to the match is tried and named; otherwise the index finds the
// same row: the exact row of the text, unless a wildcard row before it matches.
bool matchRows(const RouterRowList& list, const char* traceLabel, std::string& text) {
    if (routerTrace) {
        for (const auto& row : list.rows) {
            tmg::logline() << traceLabel << row->left->prefix << row->left->suffix;
            if (applyRow(*row, text)) return true;
        }
        return false;
    }
    auto exact = list.firstExact.find(text);
    const std::size_t exactPosition = exact == list.firstExact.end() ? list.rows.size() : exact->second;
    for (std::size_t position : list.wildcards) {
        if (position > exactPosition) break;
        if (applyRow(*list.rows[position], text)) return true;
    }
    return exactPosition < list.rows.size() && applyRow(*list.rows[exactPosition], text);
}

void routerStep(AddressPair& address, int& steps) {
    if (++steps > maxRouterSteps) {
        tmg::logline() << "Internal loop into filter's router. If there's no internal loop into Communigate Pro "
                          "router, please contact Tolmagrid.";
        return;
    }
    const bool trace = routerTrace;
    if (address.first.empty() && address.second.empty()) {
        if (trace) tmg::logline() << "Router: Empty address";
        return;
    }
    if (trace) {
        tmg::logline() << "Entering Router Loop " << steps;
        tmg::logline() << "Trying to route " << EMail(address).toString();
    }
    if (address.second == "blacklisted") {
        address = splitAddress(address.first);
        routerStep(address, steps);
        return;
    }
    if (endsWith(address.second, "@blacklisted")) {
        address.second = splitAddress(address.second).first;
        routerStep(address, steps);
        return;
    }

    std::string text = address.first + "@" + address.second;
    if (matchRows(directory_internal::addressRowList(), "Testing address entry ", text)) {
        address = splitAddress(text);
        if (trace) tmg::logline() << "Matched. Replacing by " << EMail(address).toString();
        if (!isFinalDomain(address.second)) routerStep(address, steps);
        return;
    }
    text = address.second;
    if (matchRows(directory_internal::domainRowList(), "Testing domain entry ", text)) {
        address.second = text;
        if (trace) tmg::logline() << "Matched. Replacing by " << address.second;
        routerStep(address, steps);
    }
}

}  // namespace

void routerLoop(AddressPair& address) {
    tmg::MutexLock lock(&routerMutex());
    int steps = 0;
    routerStep(address, steps);
}

AddressPair routeAddress(const AddressPair& address) {
    tmg::MutexLock lock(&routerMutex());
    AddressPair result = address;
    if (!result.second.empty() && result.second[0] == '[') domainForIp(result.second);
    routerLoop(result);
    if (endsWith(result.second, ".here")) result.second.resize(result.second.size() - 5);
    return result;
}

bool isAddressRowTarget(const AddressPair& address) {
    tmg::MutexLock lock(&routerMutex());
    for (const auto& row : routerAddressRows()) {
        if (row->left->wildcard || row->right->wildcard) continue;
        if (splitAddress(row->right->prefix) == address) return true;
    }
    return false;
}

}  // namespace cgp
