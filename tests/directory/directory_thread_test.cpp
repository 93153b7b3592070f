#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "directory/accounts.h"
#include "directory/domains.h"
#include "foundation/lock_order.h"
#include "tests/directory/sample_server.h"

namespace cgp {
namespace {

// Reloads, with files changing between them, while other threads resolve and split.
// The lock-order check is on, so a lock taken out of order aborts the test.
TEST(DirectoryThreadTest, LoadWhileResolvingAndSplitting) {
    tmg::setLockOrderChecked(true);
    BaseFolder base;
    writeSampleServer(base);
    setDefaultDomain("B.Test");
    loadDomainList("");
    std::atomic<bool> done{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!done) {
                if (canonicalAddress("Robert@Mail.Example.com") != "bob@example.com") ++wrong;
                if (canonicalAddress("tobobby@example.com") != "bob@example.com") ++wrong;
                AddressPair split = splitAddress("Some.One");
                if (split.first != "some.one" || (split.second != "a.test" && split.second != "b.test")) ++wrong;
                std::string ip = "10.0.0.1";
                if (domainForIp(ip) != "example.com") ++wrong;
            }
        });
    }
    for (int round = 0; round < 40; ++round) {
        setDefaultDomain(round % 2 ? "A.Test" : "B.Test");
        base.write("Accounts/LISTS/extra.list", "", 100 + round);
        base.write("Accounts/Settings/aliases.data", "{Bob = (Robert, bobby); alice = (Ali);}", 100 + round);
        loadDomainList("");
    }
    done = true;
    for (std::thread& t : readers) t.join();
    EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace cgp
