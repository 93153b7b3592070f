#include <gtest/gtest.h>

#include "directory/accounts.h"
#include "directory/domains.h"
#include "tests/directory/sample_server.h"

namespace cgp {
namespace {

class ResolutionTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeSampleServer(base);
        loadDomainList("");
    }
    BaseFolder base;
};

struct Case {
    const char* given;
    const char* expected;
};

TEST_F(ResolutionTest, CanonicalAddresses) {
    const Case cases[] = {
        {"Bob@Example.com", "bob@example.com"},
        {"Robert@EXAMPLE.com", "bob@example.com"},         // account alias
        {"robert@mail.example.com", "bob@example.com"},    // domain alias
        {"BOBBY@Ex.Org", "bob@example.com"},
        {"bob+tag@example.com", "bob@example.com"},        // detail cut
        {"Inbox#Robert@example.com", "bob@example.com"},   // direct mailbox cut
        {"x#bob+y#z@example.com", "bob@example.com"},      // "+" goes first, then "#"
        {"bob", "bob@example.com"},                        // no domain: the main one
        {"fw1@example.com", "carol@other.test"},           // two forwarders, into another domain
        {"fwlocal@example.com", "bob@example.com"},        // target without domain stays here
        {"tobobby@example.com", "bob@example.com"},        // the alias after the forwarders
        {"tofw@example.com", "fw1@example.com"},           // an alias is not followed further
        {"away@other.test", "carol@example.com"},
        {"empty@example.com", "empty@example.com"},        // a forwarder without target is none
        {"news-subscribe@example.com", "news@example.com"},  // list addresses
        {"news-report@ex.org", "news@example.com"},
        {"my-list-on@example.com", "my-list@example.com"},
        {"news-other@example.com", "news-other@example.com"},
        {"Nobody@Unknown.Test", "nobody@unknown.test"},
        {"carol@other.test", "carol@other.test"},
    };
    for (const Case& c : cases) EXPECT_EQ(canonicalAddress(c.given), c.expected) << c.given;
}

TEST_F(ResolutionTest, ForwarderLoopIsCutAndSaidOnce) {
    CaptureStdout out;
    EXPECT_EQ(canonicalAddress("loopa@example.com"), "loopb@example.com");
    EXPECT_EQ(out.text(), "* Forwarder loop found, skipping: loopb@example.com\n");

    AddressPair pair("loopb", "example.com");
    EXPECT_TRUE(resolveForwarder(pair, 0));
    EXPECT_EQ(pair, AddressPair("loopa", "example.com"));
}

TEST_F(ResolutionTest, TraceOfOneResolution) {
    CaptureStdout out;
    DirectoryTrace trace;
    EXPECT_EQ(canonicalAddress("Robert+x@Mail.Example.com"), "bob@example.com");
    EXPECT_EQ(canonicalAddress("a#fw2@example.com"), "carol@other.test");
    EXPECT_EQ(canonicalAddress("x@nowhere"), "x@nowhere");
    std::string empty;
    EXPECT_EQ(realDomainName(empty), "example.com");
    EXPECT_EQ(out.text(),
              "* Searching real account name for robert+x@mail.example.com\n"
              "* Removing account detail information (account+detail)\n"
              "* Searching real domain name for mail.example.com\n"
              "* Domain found: example.com\n"
              "* Domain found, account is not an forwarder: robert@example.com\n"
              "* Account found: bob@example.com\n"
              "* Searching real account name for a#fw2@example.com\n"
              "* Removing direct mailbox information (mailbox#account)\n"
              "* Searching real domain name for example.com\n"
              "* Domain found: example.com\n"
              "* Domain found, account is not an forwarder: carol@other.test\n"
              "* Account found: carol@other.test\n"
              "* Domain found, account is not an alias: carol@other.test\n"
              "* Searching real account name for x@nowhere\n"
              "* Searching real domain name for nowhere\n"
              "* Domain not found\n"
              "* Account not found in forwarders list\n"
              "* Account not found in aliases list\n"
              "* Searching real domain name for \n"
              "* Empty string, defaulting to example.com\n");
}

TEST_F(ResolutionTest, DomainsForIpAddresses) {
    // example.com's "all available" is not "All Available": other.test serves the rest.
    const Case cases[] = {
        {"10.0.0.1", "example.com"},
        {"[10.0.0.2]", "example.com"},
        {"10.0.0.3", "other.test"},
        {"10.0.0.2", "other.test"},
        {"", "other.test"},
    };
    for (const Case& c : cases) {
        CaptureStdout out;
        std::string ip = c.given;
        EXPECT_EQ(&domainForIp(ip), &ip);
        EXPECT_EQ(ip, c.expected) << c.given;
        bool listed = std::string(c.given).find("10.0.0.") != std::string::npos && std::string(c.given) != "10.0.0.2";
        EXPECT_EQ(out.text(), listed ? "" : "* No explicitely defined entry found, fallback to other.test\n") << c.given;
    }
    CaptureStdout out;
    DirectoryTrace trace;
    std::string ip = "10.0.0.1";
    domainForIp(ip);
    EXPECT_EQ(out.text(), "* Trying to match IP 10.0.0.1 with a domain name\n");
}

struct KindCase {
    const char* user;
    const char* domain;
    bool list, group, forwarder;
};

TEST_F(ResolutionTest, ListsGroupsAndForwarders) {
    const KindCase cases[] = {
        {"news", "example.com", true, false, false},
        {"news-subscribe", "example.com", true, false, false},
        {"news-anything-else", "example.com", true, false, false},
        {"my-list", "example.com", true, false, false},  // a list whose name holds "-"
        {"my-list-off", "example.com", true, false, false},
        {"my", "example.com", false, false, false},
        {"newsletter", "example.com", false, false, false},
        {"news", "other.test", false, false, false},
        {"staff", "example.com", false, true, false},
        {"team", "example.com", false, true, false},
        {"Staff", "example.com", false, false, false},  // lookups do not fold case
        {"fw1", "example.com", false, false, true},
        {"empty", "example.com", false, false, false},
        {"away", "other.test", false, false, true},
        {"bob", "example.com", false, false, false},
        {"news", "unknown.test", false, false, false},
    };
    for (const KindCase& c : cases) {
        AddressPair pair(c.user, c.domain);
        EXPECT_EQ(isList(pair), c.list) << c.user << "@" << c.domain;
        EXPECT_EQ(isGroup(pair), c.group) << c.user << "@" << c.domain;
        EXPECT_EQ(isForwarder(pair), c.forwarder) << c.user << "@" << c.domain;
    }
}

}  // namespace
}  // namespace cgp
