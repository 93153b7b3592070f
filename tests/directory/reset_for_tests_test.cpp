#include "directory/internal/reset_for_tests.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "directory/accounts.h"
#include "directory/domains.h"
#include "directory/email.h"
#include "directory/router.h"
#include "foundation/lock_order.h"
#include "tests/directory/sample_server.h"

namespace cgp {
namespace {

using directory_internal::resetDirectoryForTests;
using Names = std::set<std::string>;

// ctest runs each test in a process of its own; the whole binary runs them in one. Before
// each test starts (before its fixture is made), the directory is put back as a new
// process has it, so every test sees its own first read of the main domain and empty
// caches either way.
class FreshDirectoryForEachTest : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { resetDirectoryForTests(); }
};

const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshDirectoryForEachTest);
    return true;
}();

std::string rows() {
    tmg::MutexLock lock(&routerMutex());
    return std::to_string(routerAddressRows().size()) + "+" + std::to_string(routerDomainRows().size());
}

TEST(ResetForTestsTest, MainDomainIsReadAgainIntoTheSameString) {
    EXPECT_TRUE(registered);
    BaseFolder base;
    base.mainSettings("First.Example");
    const std::string& first = mainDomainName();
    EXPECT_EQ(first, "first.example");
    base.mainSettings("Second.Example");
    EXPECT_EQ(mainDomainName(), "first.example");
    resetDirectoryForTests();
    EXPECT_EQ(mainDomainName(), "second.example");
    // A reference given out before stays valid: it is the same string.
    EXPECT_EQ(&mainDomainName(), &first);
    EXPECT_EQ(first, "second.example");
    // A missing file after a reset reads as empty, and is not tried again.
    base.remove("Settings/Main.settings");
    resetDirectoryForTests();
    EXPECT_EQ(mainDomainName(), "");
    base.mainSettings("Late.Example");
    EXPECT_EQ(mainDomainName(), "");
}

// Everything a test may leave behind, then the reset: each thing is as at start.
TEST(ResetForTestsTest, CachesRouterAndSettingsAreForgotten) {
    BaseFolder base;
    writeSampleServer(base);
    base.write("Settings/Router.settings", "{}", 1000);
    base.write("Settings/Router.data", "<a> = b@c\nold.example = new.example\n", 2000);
    loadDomainList("Base");
    EXPECT_TRUE(mergeDomainAliases({{"merged.test", {"merged.alias"}}}));
    EXPECT_EQ(scanAccountDirectory("Accounts", 1000), 5);
    EXPECT_TRUE(loadRouter());
    EXPECT_EQ(defaultDomain(), "example.com");
    EXPECT_EQ(rows(), "1+1");
    EXPECT_NE(latestDomainAliasTime(), 0);
    directoryVerbose = true;
    routerTrace = true;

    resetDirectoryForTests();
    EXPECT_FALSE(directoryVerbose);
    EXPECT_FALSE(routerTrace);
    EXPECT_EQ(defaultDomain(), "");
    EXPECT_EQ(rows(), "0+0");
    EXPECT_EQ(latestDomainAliasTime(), 0);
    Names all, shared;
    getAllDomains(all);
    getSharedDomains(shared);
    EXPECT_TRUE(all.empty());
    EXPECT_TRUE(shared.empty());
    EXPECT_FALSE(isKnownDomain("merged.test"));
    DomainAliasMap aliases;
    getDomainAliases(aliases);
    EXPECT_TRUE(aliases.empty());
    EXPECT_EQ(canonicalAddress("robert@mail.example.com"), "robert@mail.example.com");
    EXPECT_EQ(findMailboxPath(AddressPair("bob", "example.com"), ""), "");
    {
        CaptureStdout out;
        std::string ip = "10.0.0.1";
        EXPECT_EQ(domainForIp(ip), "");
    }
    // The count of a day ago is gone: the folder is counted again.
    base.folder("Accounts/new.mdir");
    EXPECT_EQ(scanAccountDirectory("Accounts", 1000), 6);
    // The Router's stamps are gone: the same files load again.
    EXPECT_TRUE(loadRouter());
    EXPECT_EQ(rows(), "1+1");

    // And the directory loads again as on a first load: the main domain read anew, the
    // alias files read although their times did not change.
    base.mainSettings("Other.Example");
    resetDirectoryForTests();
    loadDomainList("");
    getAllDomains(all);
    EXPECT_EQ(all, (Names{"other.example", "other.test", "shared.test"}));
    EXPECT_EQ(canonicalAddress("robert@mail.example.com"), "bob@other.example");
}

// First reads after a reset, from many threads at once and inside the Router and cache
// mutexes, with the lock-order check on: a lock taken out of order aborts the test.
TEST(ResetForTestsThreadTest, FirstReadsAfterAResetKeepTheLockOrder) {
    const bool checked = tmg::lockOrderChecked();
    tmg::setLockOrderChecked(true);
    BaseFolder base;
    writeSampleServer(base);
    base.write("Settings/Router.settings", "{}", 1000);
    base.write("Settings/Router.data", "relay.example =\n", 2000);
    for (int round = 0; round < 20; ++round) {
        resetDirectoryForTests();
        std::vector<const std::string*> seen(6);
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < seen.size(); ++i) {
            threads.emplace_back([&, i] {
                switch (i % 3) {
                case 0: loadDomainList(""); break;  // reads it under the cache mutex
                case 1: loadRouter(); break;        // under the Router mutex
                default: {
                    std::string empty;
                    if (realDomainName(empty) != "example.com") ++wrong;
                }
                }
                seen[i] = &mainDomainName();
            });
        }
        for (std::thread& t : threads) t.join();
        for (const std::string* name : seen) {
            EXPECT_EQ(name, seen[0]);
            EXPECT_EQ(*name, "example.com");
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(defaultDomain(), "example.com");
        tmg::MutexLock lock(&routerMutex());
        ASSERT_EQ(routerDomainRows().size(), 1u);
        EXPECT_EQ(routerDomainRows()[0]->right->prefix, "example.com");
    }
    resetDirectoryForTests();
    tmg::setLockOrderChecked(checked);
}

}  // namespace
}  // namespace cgp
