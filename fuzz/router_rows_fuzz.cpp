// Router text through the table sink, then a few addresses routed through the rows it
// built, once scanning the rows (traced) and once through their index, which must agree,
// and the table cleared. The first byte picks the default domain, so address rows
// without "@" get one with a wildcard in it, an upper-case one or none.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "directory/email.h"
#include "directory/router.h"
#include "formats/parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Trace and log lines would only slow the run down.
    static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    if (size == 0) return 0;
    static const char* const defaults[] = {"", "main.example", "Relay.EXAMPLE", "*.wild"};
    // An exact-size copy, so a read past the end is caught.
    std::unique_ptr<char[]> text(new char[size - 1]);
    std::copy(data + 1, data + size, text.get());
    std::string_view input(text.get(), size - 1);

    tmg::MutexLock lock(&cgp::routerMutex());
    cgp::setDefaultDomain(defaults[data[0] % 4]);
    {
        cgp::RouterTableSink sink;
        cgp::cgparserParseBytes(input, cgp::RouterMode, &sink);
    }
    // The input's first line is routed too, cut at its "@" as a caller would.
    std::string firstLine(input.substr(0, input.find('\n')));
    const cgp::AddressPair addresses[] = {
        {"joe", "main.example"}, {"", ""}, {"a", "b"}, {"x", "y.local"}, {"joe@main.example", "blacklisted"},
        cgp::splitAddress(firstLine.substr(0, 64)),
    };
    for (const cgp::AddressPair& address : addresses) {
        if (!address.second.empty() && address.second[0] == '[') continue;
        cgp::routerTrace = true;
        cgp::AddressPair scanned = cgp::routeAddress(address);
        cgp::routerTrace = false;
        cgp::AddressPair routed = cgp::routeAddress(address);
        if (routed != scanned) std::abort();
        cgp::isAddressRowTarget(routed);
    }
    for (const auto& row : cgp::routerDomainRows()) {
        std::string probe = row->left->prefix + row->left->suffix;
        cgp::matchRouterPattern(probe, *row->left, *row->right);
    }
    cgp::clearRouter();
    return 0;
}
