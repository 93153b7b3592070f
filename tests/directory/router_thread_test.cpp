#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "directory/email.h"
#include "directory/router.h"
#include "tests/directory/base_folder.h"

namespace cgp {
namespace {

// Two tables that the reloading thread swaps: each sends joe somewhere else.
const char* const tables[] = {
    "<joe@main.example> = ann@one.example\n<x@main.example> = joe@one.example\n",
    "<joe@main.example> = bob@two.example\n<y@main.example> = joe@two.example\n",
};

TEST(RouterThreadTest, RoutingWhileAnotherThreadReloads) {
    BaseFolder base;
    base.mainSettings("main.example");
    base.write("Settings/Router.settings", "{}", 1000);
    base.write("Settings/Router.data", tables[0], 2000);
    ASSERT_TRUE(loadRouter());

    std::atomic<bool> done{false};
    std::thread reloader([&] {
        for (int i = 1; i <= 200; ++i) {
            base.write("Settings/Router.data", tables[i % 2], 2000 + i);
            loadRouter();
        }
        done = true;
    });
    std::vector<std::thread> readers;
    std::atomic<int> bad{0};
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            while (!done) {
                AddressPair routed = routeAddress({"joe", "main.example"});
                if (routed != AddressPair("ann", "one.example") && routed != AddressPair("bob", "two.example")) ++bad;
                // Reads the rows a reload frees.
                isAddressRowTarget({"joe", "one.example"});
                isAddressRowTarget({"joe", "two.example"});
            }
        });
    }
    reloader.join();
    for (std::thread& reader : readers) reader.join();
    EXPECT_EQ(bad, 0);
}

}  // namespace
}  // namespace cgp
