#include <gtest/gtest.h>

#include <string>

#include "directory/domains.h"
#include "directory/email.h"
#include "directory/router.h"
#include "formats/parser.h"
#include "tests/directory/base_folder.h"

namespace cgp {
namespace {

const char* const routerSettings =
    "{\n"
    "  DomainQualifier = Relay.EXAMPLE;\n"
    "  ExtendNonQualifiedDomains = YES;\n"
    "  GlobalAliases = { postmaster = \"admin@main.example\"; };\n"
    "}\n";

// Every domain on the right of a "wrong" row must never be reached: routing stops first.
const char* const routerData =
    "; address rows\n"
    "<postmaster@main.example> = wrong@main.example\n"
    "<alias1> = target@main.example\n"
    "<Joe@Old.Example> = joe@new.example\n"
    "<*@wild.example> = *-w@main.example\n"
    "<fax@main.example> = fax@gw.smtp\n"
    "<local@main.example> = x@y.local\n"
    "<prog@main.example> = prog@run.pipe\n"
    "<chain@main.example> = next@chain.example\n"
    "<next@chain.example> = end@main.example\n"
    "<at@main.example> = u@d@e\n"
    "<badrow@main.example> = bad*@main.example\n"
    "; domain rows\n"
    "gw.smtp = wrong.example\n"
    "y.local = wrong.example\n"
    "run.pipe = wrong.example\n"
    "d@e = wrong.example\n"
    "loop.example = loop.example\n"
    "a.example = b.example\n"
    "b.example = c.local\n"
    "c.local = d.example\n"
    "*.sub.example = *.main.example\n"
    "bad.example = x*.example\n"
    "here.example = main.example.here\n";

const char* const loopLine =
    "* Internal loop into filter's router. If there's no internal loop into Communigate Pro router, please "
    "contact Tolmagrid.\n";

// A server with two domains, the second serving one IP address, and the table above.
void writeServer(const BaseFolder& base) {
    base.mainSettings("Main.Example");
    base.write("Domains/other.example/Settings/domain.settings", "{IPAddresses = (\"[10.0.0.2]\");}");
    base.write("Settings/Router.settings", routerSettings);
    base.write("Settings/Router.data", routerData);
    loadDomainList("");
}

TEST(RouterRouteTest, RoutesThroughEveryKindOfRow) {
    BaseFolder base;
    writeServer(base);
    ASSERT_TRUE(loadRouter());
    struct Case {
        AddressPair in;
        AddressPair out;
        std::string log;
    } const cases[] = {
        // Global aliases come before the table's rows, for the user in any domain.
        {{"postmaster", "main.example"}, {"admin", "main.example"}, ""},
        {{"postmaster", "any.example"}, {"admin", "main.example"}, ""},
        // The qualifier was upper-case in the settings.
        {{"alias1", "relay.example"}, {"target", "main.example"}, ""},
        {{"joe", "old.example"}, {"joe", "new.example"}, ""},
        {{"ann", "wild.example"}, {"ann-w", "main.example"}, ""},
        // Address rows stop at a delivery domain or a domain holding "@".
        {{"fax", "main.example"}, {"fax", "gw.smtp"}, ""},
        {{"local", "main.example"}, {"x", "y.local"}, ""},
        {{"prog", "main.example"}, {"prog", "run.pipe"}, ""},
        {{"at", "main.example"}, {"u", "d@e"}, ""},
        {{"chain", "main.example"}, {"end", "main.example"}, ""},
        // Domain rows go on whatever the new domain ends in.
        {{"u", "a.example"}, {"u", "d.example"}, ""},
        {{"u", "x.sub.example"}, {"u", "x.main.example"}, ""},
        {{"badrow", "main.example"},
         {"bad*", "main.example"},
         "* Invalid router entry (<badrow@main.example> = bad*@main.example), check the Router webadmin page of "
         "CGPro\n"},
        {{"u", "bad.example"},
         {"u", "x*.example"},
         "* Invalid router entry (<bad.example> = x*.example), check the Router webadmin page of CGPro\n"},
        {{"u", "loop.example"}, {"u", "loop.example"}, loopLine},
        // Both forms of a blacklisted address route what they wrap.
        {{"joe@old.example", "blacklisted"}, {"joe", "new.example"}, ""},
        {{"joe", "old.example@blacklisted"}, {"joe", "new.example"}, ""},
        {{"u", "[10.0.0.2]"}, {"u", "other.example"}, ""},
        {{"u", "[10.9.9.9]"}, {"u", "main.example"}, "* No explicitely defined entry found, fallback to main.example\n"},
        // ".here" is cut in lower case only.
        {{"u", "here.example"}, {"u", "main.example"}, ""},
        {{"u", "x.HERE"}, {"u", "x.HERE"}, ""},
        {{"", ""}, {"", ""}, ""},
        {{"nobody", "main.example"}, {"nobody", "main.example"}, ""},
    };
    for (const Case& c : cases) {
        CaptureStdout capture;
        AddressPair routed = routeAddress(c.in);
        std::string log = capture.text();
        EXPECT_EQ(routed, c.out) << c.in.first << "@" << c.in.second;
        EXPECT_EQ(log, c.log) << c.in.first << "@" << c.in.second;
    }
}

TEST(RouterRouteTest, AddressRowTargets) {
    BaseFolder base;
    writeServer(base);
    ASSERT_TRUE(loadRouter());
    struct Case {
        AddressPair address;
        bool target;
    } const cases[] = {
        {{"target", "main.example"}, true},
        {{"joe", "new.example"}, true},
        {{"x", "y.local"}, true},
        {{"u", "d@e"}, true},
        // Targets of rows with a wildcard on either side, and of domain rows, are not.
        {{"admin", "main.example"}, false},
        {{"bad*", "main.example"}, false},
        {{"b.example", ""}, false},
        {{"Target", "main.example"}, false},
        {{"", ""}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(isAddressRowTarget(c.address), c.target) << c.address.first;
}

TEST(RouterRouteTest, TraceLinesFollowEachStep) {
    BaseFolder base;
    base.mainSettings("main.example");
    {
        RouterTableSink sink;
        ASSERT_TRUE(cgparserParseString("<a@x> = b@x\nx = y\n", RouterMode, &sink));
    }
    routerTrace = true;
    CaptureStdout capture;
    routeAddress({"a", "x"});
    routeAddress({"", ""});
    routerTrace = false;
    EXPECT_EQ(capture.text(),
              "* Entering Router Loop 1\n"
              "* Trying to route a@x\n"
              "* Testing address entry a@x\n"
              "* Matched. Replacing by b@x\n"
              "* Entering Router Loop 2\n"
              "* Trying to route b@x\n"
              "* Testing address entry a@x\n"
              "* Testing domain entry x\n"
              "* Matched. Replacing by y\n"
              "* Entering Router Loop 3\n"
              "* Trying to route b@y\n"
              "* Testing address entry a@x\n"
              "* Testing domain entry x\n"
              "* Router: Empty address\n");
}

}  // namespace
}  // namespace cgp
