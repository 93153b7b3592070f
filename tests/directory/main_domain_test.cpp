#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "directory/domains.h"
#include "tests/directory/base_folder.h"

// The main domain is read once per process. ctest runs each test in a process of its own,
// and the whole binary forgets it before each test (reset_for_tests_test.cpp), so each of
// these tests sees its own first read either way.
namespace cgp {
namespace {

TEST(MainDomainTest, ReadOnceAndLowerCased) {
    BaseFolder base;
    base.mainSettings("MainDomain.Example");
    EXPECT_EQ(mainDomainName(), "maindomain.example");
    base.mainSettings("other");
    EXPECT_EQ(mainDomainName(), "maindomain.example");
    EXPECT_EQ(&mainDomainName(), &mainDomainName());
}

TEST(MainDomainTest, MissingFileOrKeyIsEmpty) {
    BaseFolder base;
    base.write("Settings/Main.settings", "{Name = x;}");
    EXPECT_EQ(mainDomainName(), "");
    // A failed read is not tried again.
    base.mainSettings("late");
    EXPECT_EQ(mainDomainName(), "");
}

TEST(MainDomainThreadTest, FirstReadFromManyThreadsAtOnce) {
    BaseFolder base;
    base.mainSettings("Threads.Example");
    std::vector<const std::string*> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = &mainDomainName(); });
    for (std::thread& t : threads) t.join();
    for (const std::string* name : seen) {
        EXPECT_EQ(name, seen[0]);
        EXPECT_EQ(*name, "threads.example");
    }
}

}  // namespace
}  // namespace cgp
