// Address resolution over 200 domains of 200 aliases and 100 forwarders each, against the
// floor of two bare hash lookups per address (the domain, then the user) on tables of the
// same shape; and a second domain load with no file changed against the first.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "directory/accounts.h"
#include "directory/domains.h"
#include "formats/string_hash_table.h"
#include "timing.h"

namespace {

const int kDomains = 200;
const int kAliases = 200;
const int kForwarderPairs = 50;  // 100 forwarders: f<k> to g<k> to an account
const int kRounds = 5;

std::string domainName(int d) { return "d" + std::to_string(d) + ".test"; }

void writeBase() {
    std::filesystem::create_directories("Settings");
    std::ofstream("Settings/Main.settings") << "{DomainName = main.test;}";
    for (int d = 0; d < kDomains; ++d) {
        std::string folder = "Domains/" + domainName(d) + "/Settings";
        std::filesystem::create_directories(folder);
        std::ofstream aliases(folder + "/aliases.data");
        aliases << "{";
        for (int a = 0; a < kAliases; ++a) aliases << "account" << a << " = (alias" << a << ");";
        aliases << "}";
        std::ofstream forwarders(folder + "/forwarders.data");
        forwarders << "{";
        for (int f = 0; f < kForwarderPairs; ++f)
            forwarders << "f" << f << " = \"g" << f << "@" << domainName(d) << "\"; g" << f << " = \"account" << f
                       << "@" << domainName(d) << "\";";
        forwarders << "}";
    }
}

// Alias hits, two-step forwarders and misses, in equal parts.
std::vector<std::string> addresses() {
    std::vector<std::string> list;
    for (int d = 0; d < kDomains; ++d)
        for (int i = 0; i < 30; ++i) {
            std::string domain = "@" + domainName((d * 7 + i) % kDomains);
            list.push_back("alias" + std::to_string((i * 13) % kAliases) + domain);
            list.push_back("f" + std::to_string(i % kForwarderPairs) + domain);
            list.push_back("nobody" + std::to_string(i) + domain);
        }
    return list;
}

}  // namespace

int main() {
    std::string pattern = (std::filesystem::temp_directory_path() / "directory-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return 1;
    std::filesystem::current_path(pattern);
    writeBase();

    double firstLoad = secondsFor([] { cgp::loadDomainList(""); });
    double secondLoad = secondsFor([] { cgp::loadDomainList(""); });

    std::vector<std::string> list = addresses();
    std::vector<cgp::AddressPair> pairs;
    for (const std::string& address : list) pairs.push_back(cgp::splitAddress(address));

    // The floor: the same tables as bare hash tables, two lookups per address.
    cgp::StringHashTable<cgp::StringHashTable<std::string>> bare;
    for (int d = 0; d < kDomains; ++d) {
        cgp::StringHashTable<std::string>& users = bare[domainName(d)];
        for (int a = 0; a < kAliases; ++a) users.set("alias" + std::to_string(a), "account" + std::to_string(a));
        for (int f = 0; f < kForwarderPairs; ++f) users.set("f" + std::to_string(f), "g" + std::to_string(f));
    }
    std::size_t found = 0;
    double bareTime = secondsFor([&] {
        for (int r = 0; r < kRounds; ++r)
            for (const cgp::AddressPair& pair : pairs)
                if (const auto* users = bare.find(pair.second))
                    if (users->find(pair.first) != nullptr) ++found;
    });
    std::size_t resolved = 0;
    double resolveTime = secondsFor([&] {
        for (int r = 0; r < kRounds; ++r)
            for (const std::string& address : list) resolved += cgp::canonicalAddress(address).size();
    });

    double lookups = static_cast<double>(list.size()) * kRounds;
    std::printf("canonicalAddress: %.0f lookups/s; bare find pairs: %.0f lookups/s; ratio %.1fx slower (%zu, %zu)\n",
                lookups / resolveTime, lookups / bareTime, resolveTime / bareTime, found, resolved);
    std::printf("loadDomainList: first %.1f ms, second (files unchanged) %.1f ms, ratio %.2f\n", firstLoad * 1e3,
                secondLoad * 1e3, secondLoad / firstLoad);
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(pattern);
    return 0;
}
