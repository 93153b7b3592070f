#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "directory/email.h"
#include "directory/router.h"
#include "formats/parser.h"
#include "tests/directory/base_folder.h"

namespace cgp {
namespace {

// The lines of a routing's log that are not trace lines.
std::string untraced(const std::string& log) {
    std::istringstream lines(log);
    std::string out, line;
    while (std::getline(lines, line)) {
        if (line.rfind("* Invalid", 0) == 0 || line.rfind("* Internal", 0) == 0) out += line + "\n";
    }
    return out;
}

// Traced routing tries every row in order; untraced routing looks rows up in the index.
// Over random tables of few words, so that exact rows repeat and wildcard rows overlap
// them, both must give the same pairs and the same log lines.
TEST(RouterIndexTest, IndexedRoutingFindsTheRowAScanFinds) {
    BaseFolder base;
    base.mainSettings("x");
    setDefaultDomain("x");
    const std::vector<std::string> words = {"a", "b", "x", "y", "a@x", "b@y", "a@x.y", "x.y", "y.x"};
    const std::vector<std::string> stars = {"*", "a*", "*x", "*@x", "a@*", "*.y", "x*y", "*@*"};
    std::mt19937 random(7);
    auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
    auto side = [&] { return random() % 3 == 0 ? pick(stars) : pick(words); };
    for (int table = 0; table < 200; ++table) {
        std::string text;
        int rows = 1 + random() % 12;
        for (int i = 0; i < rows; ++i) {
            std::string left = side();
            text += (random() % 2 ? "<" + left + ">" : left) + " = " + side() + "\n";
        }
        {
            RouterTableSink sink;
            ASSERT_TRUE(cgparserParseString(text, RouterMode, &sink)) << text;
        }
        for (const char* user : {"a", "b", "c"}) {
            for (const char* domain : {"x", "y", "x.y", "y.x", "z"}) {
                AddressPair scanned, indexed;
                std::string scanLog, indexLog;
                {
                    CaptureStdout capture;
                    routerTrace = true;
                    scanned = routeAddress({user, domain});
                    routerTrace = false;
                    scanLog = untraced(capture.text());
                }
                {
                    CaptureStdout capture;
                    indexed = routeAddress({user, domain});
                    indexLog = capture.text();
                }
                ASSERT_EQ(indexed, scanned) << text << user << "@" << domain;
                ASSERT_EQ(indexLog, scanLog) << text << user << "@" << domain;
            }
        }
        clearRouter();
    }
}

}  // namespace
}  // namespace cgp
