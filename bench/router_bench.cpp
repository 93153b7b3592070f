// Routing through a table of 1000 address rows and 1000 domain rows, against a plain loop
// of as many std::string equality tests over the same row texts.
#include <cstdio>
#include <string>
#include <vector>

#include "directory/email.h"
#include "directory/router.h"
#include "formats/parser.h"
#include "timing.h"

int main() {
    const int kRows = 1000;
    const int kRounds = 20000;
    std::string table;
    std::vector<std::string> addressTexts, domainTexts;
    for (int i = 0; i < kRows; ++i) {
        std::string address = "user" + std::to_string(i) + "@dom" + std::to_string(i % 10) + ".example";
        table += "<" + address + "> = target" + std::to_string(i) + "@relay.smtp\n";
        addressTexts.push_back(address);
    }
    for (int i = 0; i < kRows; ++i) {
        std::string domain = "d" + std::to_string(i) + ".example";
        table += domain + " = e" + std::to_string(i) + ".example\n";
        domainTexts.push_back(domain);
    }
    cgp::setDefaultDomain("main.example");
    {
        cgp::RouterTableSink sink;
        if (!cgp::cgparserParseString(table, cgp::RouterMode, &sink)) return 1;
    }

    struct Case {
        const char* name;
        cgp::AddressPair address;
        cgp::AddressPair expected;
        int tests;  // equality tests the baseline makes for one route
    } const cases[] = {
        {"last address row", {"user999", "dom9.example"}, {"target999", "relay.smtp"}, kRows},
        {"no row", {"nobody", "nowhere.example"}, {"nobody", "nowhere.example"}, 2 * kRows},
    };
    for (const Case& c : cases) {
        long routedRight = 0;
        double tRoute = secondsFor([&] {
            for (int r = 0; r < kRounds; ++r) routedRight += cgp::routeAddress(c.address) == c.expected;
        });
        // The baseline compares the routed text with every row text the route tries.
        long equal = 0;
        std::string text = c.address.first + "@" + c.address.second;
        double tBase = secondsFor([&] {
            for (int r = 0; r < kRounds; ++r) {
                for (int i = 0; i < c.tests; ++i) {
                    const std::string& row = i < kRows ? addressTexts[i] : domainTexts[i - kRows];
                    equal += row == (i < kRows ? text : c.address.second);
                }
                asm volatile("" : : "r"(equal) : "memory");
            }
        });
        std::printf("router %-16s %ld/%d routed right, %.0f routes/s, baseline %.0f loops/s (%d tests each), "
                    "ratio %.2f\n",
                    c.name, routedRight, kRounds, kRounds / tRoute, kRounds / tBase, c.tests, tRoute / tBase);
    }
    cgp::clearRouter();
    return 0;
}
