// Routing an address pair through the Router table, step by step.
#include "directory/accounts.h"
#include "directory/router.h"
#include "foundation/case_fold.h"
#include "foundation/log_line.h"

namespace cgp {

std::atomic<bool> routerTrace{false};

namespace {

const int maxRouterSteps = 20;

bool endsWith(const std::string& text, const std::string& ending) {
    return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

bool endsWithNoCase(const std::string& text, const std::string& ending) {
    return text.size() >= ending.size() &&
           tmg::equalsNoCase(std::string_view(text).substr(text.size() - ending.size()), ending);
}

// A domain the server hands to a delivery module: address rows stop routing there.
bool isFinalDomain(const std::string& domain) {
    return domain.find('@') != std::string::npos || endsWithNoCase(domain, ".smtp") ||
           endsWithNoCase(domain, ".local") || endsWithNoCase(domain, ".pipe");
}

// Tries the rows in order on text; on the first match rewrites text and returns true.
bool matchRows(const RouterRows& rows, const char* traceLabel, std::string& text) {
    const bool trace = routerTrace;
    for (const auto& row : rows) {
        const RouterPattern& left = *row->left;
        const RouterPattern& right = *row->right;
        if (trace) tmg::logline() << traceLabel << left.prefix << left.suffix;
        if (left.wildcard) {
            if (matchRouterPattern(text, left, right)) return true;
            continue;
        }
        if (text != left.prefix) continue;
        if (!right.wildcard) {
            text = right.prefix;
            return true;
        }
        tmg::logline() << "Invalid router entry (<" << left.prefix << "> = " << right.prefix << "*" << right.suffix
                       << "), check the Router webadmin page of CGPro";
        text = right.prefix + "*" + right.suffix;
        return true;
    }
    return false;
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
    if (matchRows(routerAddressRows(), "Testing address entry ", text)) {
        address = splitAddress(text);
        if (trace) tmg::logline() << "Matched. Replacing by " << EMail(address).toString();
        if (!isFinalDomain(address.second)) routerStep(address, steps);
        return;
    }
    text = address.second;
    if (matchRows(routerDomainRows(), "Testing domain entry ", text)) {
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
