#include <gtest/gtest.h>

#include "directory/accounts.h"
#include "directory/domains.h"
#include "formats/dataset_reader.h"
#include "tests/directory/sample_server.h"

namespace cgp {
namespace {

using Names = std::set<std::string>;

std::string real(std::string domain) { return realDomainName(domain); }

TEST(DomainListTest, FindsLocalSharedAndBaseDomains) {
    BaseFolder base;
    writeSampleServer(base);
    loadDomainList("Base");
    Names all, shared;
    getAllDomains(all);
    getSharedDomains(shared);
    EXPECT_EQ(all, (Names{"based.test", "example.com", "other.test", "shared.test"}));
    EXPECT_EQ(shared, (Names{"based.test", "other.test", "shared.test"}));
    for (const char* name : {"example.com", "other.test", "shared.test", "based.test"}) EXPECT_TRUE(isKnownDomain(name));
    for (const char* name : {"upper", "Upper", "settings", "notafolder", "ex.org"}) EXPECT_FALSE(isKnownDomain(name)) << name;
    // A name found under Domains and SharedDomains keeps its Domains folder.
    EXPECT_EQ(findMailboxPath(AddressPair("carol", "other.test"), ""), "Domains/other.test/carol.macnt");
    EXPECT_EQ(real("ex.org"), "example.com");
    EXPECT_EQ(real("shared.test"), "shared.test");

    DomainAliasMap aliases;
    aliases["stale"] = {"x"};
    getDomainAliases(aliases);
    EXPECT_EQ(aliases, (DomainAliasMap{{"based.test", {}},
                                       {"example.com", {"ex.org", "mail.example.com"}},
                                       {"other.test", {}},
                                       {"shared.test", {}}}));
}

TEST(DomainListTest, OnlyMainSettingsTrace) {
    BaseFolder base;
    base.mainSettings("MainDomain");
    CaptureStdout out;
    {
        DirectoryTrace trace;
        loadDomainList("Missing");
        std::string ip = "1.2.3.4";
        EXPECT_EQ(domainForIp(ip), "maindomain");
    }
    EXPECT_EQ(out.text(),
              "* Found local domain maindomain at Accounts\n"
              "* Searching in Shared Base Missing\n"
              "* Searching Aliases for domain maindomain in file Accounts/Settings/domainAliases.data\n"
              "* No alias for domain maindomain\n"
              "* Checking valid IPs for domain maindomain\n"
              "* Trying to match IP 1.2.3.4 with a domain name\n"
              "* No explicitely defined entry found, fallback to maindomain\n");
    Names all;
    getAllDomains(all);
    EXPECT_EQ(all, Names{"maindomain"});
}

TEST(DomainListTest, MissingMainSettings) {
    BaseFolder base;
    base.folder("Domains/a.test");
    base.folder("Accounts/bob.macnt");
    loadDomainList("");
    Names all;
    getAllDomains(all);
    EXPECT_EQ(all, Names{"a.test"});
    EXPECT_EQ(real(""), "");
    EXPECT_EQ(findMailboxPath(AddressPair("bob", ""), ""), "");
    CaptureStdout out;
    std::string ip = "1.2.3.4";
    EXPECT_EQ(domainForIp(ip), "");
    EXPECT_EQ(out.text(), "* No explicitely defined entry found, fallback to \n");
}

TEST(DomainListTest, TraceOfDomainData) {
    BaseFolder base;
    base.mainSettings("m.test");
    base.write("Accounts/Settings/domainAliases.data", "(Alias.Test)", 5000);
    base.write("Accounts/Settings/domain.settings", "{IPAddresses = (\"1.1.1.1\");}");
    CaptureStdout out;
    {
        DirectoryTrace trace;
        loadDomainList("");
        loadDomainList("");
    }
    EXPECT_EQ(out.text(),
              "* Found local domain m.test at Accounts\n"
              "* Searching Aliases for domain m.test in file Accounts/Settings/domainAliases.data\n"
              "* Found alias alias.test for domain m.test\n"
              "* Checking valid IPs for domain m.test\n"
              "* Found IP: 1.1.1.1\n"
              "* Found local domain m.test at Accounts\n"
              "* Searching Aliases for domain m.test in file Accounts/Settings/domainAliases.data\n"
              "* Domain alias data already up-to-date\n"
              "* Checking valid IPs for domain m.test\n"
              "* Found IP: 1.1.1.1\n");
    EXPECT_EQ(latestDomainAliasTime(), 5000);
}

TEST(DomainReloadTest, DomainAliasFileChangedUnchangedAndDeleted) {
    BaseFolder base;
    base.mainSettings("m.test");
    base.write("Accounts/Settings/domainAliases.data", "(one.test)", 1000);
    loadDomainList("");
    EXPECT_EQ(real("one.test"), "m.test");

    // The same time: the file is not read again, whatever it holds now.
    base.write("Accounts/Settings/domainAliases.data", "(two.test)", 1000);
    loadDomainList("");
    EXPECT_EQ(real("one.test"), "m.test");
    EXPECT_EQ(real("two.test"), "two.test");

    base.stamp("Accounts/Settings/domainAliases.data", 2000);
    loadDomainList("");
    EXPECT_EQ(real("one.test"), "one.test");
    EXPECT_EQ(real("two.test"), "m.test");
    EXPECT_EQ(latestDomainAliasTime(), 2000);

    // A file that no longer parses keeps the set it replaced.
    base.write("Accounts/Settings/domainAliases.data", "(broken", 3000);
    CaptureStdout out;
    loadDomainList("");
    out.stop();
    EXPECT_EQ(real("two.test"), "m.test");

    base.remove("Accounts/Settings/domainAliases.data");
    loadDomainList("");
    EXPECT_EQ(real("two.test"), "two.test");
    EXPECT_EQ(real("m.test"), "m.test");
    EXPECT_EQ(latestDomainAliasTime(), 3000);
}

// Files stamped with the epoch are read, once.
TEST(DomainReloadTest, FilesOfTimeZeroAreRead) {
    BaseFolder base;
    base.mainSettings("m.test");
    base.write("Accounts/Settings/domainAliases.data", "(zero.test)", 0);
    base.write("Accounts/Settings/aliases.data", "{bob = (robert);}", 0);
    loadDomainList("");
    EXPECT_EQ(real("zero.test"), "m.test");
    EXPECT_EQ(canonicalAddress("robert@zero.test"), "bob@m.test");
    EXPECT_EQ(latestDomainAliasTime(), 0);

    base.write("Accounts/Settings/aliases.data", "{carol = (robert);}", 0);
    loadDomainList("");
    EXPECT_EQ(canonicalAddress("robert@m.test"), "bob@m.test");
    base.stamp("Accounts/Settings/aliases.data", 10);
    loadDomainList("");
    EXPECT_EQ(canonicalAddress("robert@m.test"), "carol@m.test");
}

TEST(DomainReloadTest, AccountAliasFileDeleted) {
    BaseFolder base;
    base.mainSettings("m.test");
    base.write("Accounts/Settings/aliases.data", "{bob = (robert);}", 1000);
    loadDomainList("");
    EXPECT_EQ(canonicalAddress("robert@m.test"), "bob@m.test");
    base.remove("Accounts/Settings/aliases.data");
    loadDomainList("");
    EXPECT_EQ(canonicalAddress("robert@m.test"), "robert@m.test");
}

// The addresses of a list go with the list.
TEST(DomainReloadTest, DeletedList) {
    BaseFolder base;
    writeSampleServer(base);
    loadDomainList("");
    EXPECT_EQ(canonicalAddress("news-on@example.com"), "news@example.com");
    base.remove("Accounts/LISTS/News.list");
    loadDomainList("");
    EXPECT_EQ(canonicalAddress("news-on@example.com"), "news-on@example.com");
    EXPECT_FALSE(isList(AddressPair("news", "example.com")));
    EXPECT_EQ(canonicalAddress("robert@example.com"), "bob@example.com");
    EXPECT_EQ(canonicalAddress("my-list-on@example.com"), "my-list@example.com");
}

// A domain that went away takes its aliases along, but what the caller merged stays.
TEST(DomainReloadTest, RemovedDomain) {
    BaseFolder base;
    base.mainSettings("m.test");
    base.write("Domains/gone.test/Settings/domainAliases.data", "(gone.alias)", 1000);
    base.write("Domains/gone.test/Settings/aliases.data", "{bob = (robert);}", 1000);
    base.write("Domains/gone.test/LISTS/talk.list", "");
    loadDomainList("");
    EXPECT_TRUE(mergeDomainAliases({{"merged.test", {"merged.alias"}}}));
    EXPECT_EQ(canonicalAddress("robert@gone.alias"), "bob@gone.test");
    EXPECT_EQ(canonicalAddress("talk-on@gone.test"), "talk@gone.test");

    base.remove("Domains/gone.test");
    loadDomainList("");
    EXPECT_FALSE(isKnownDomain("gone.test"));
    EXPECT_TRUE(isKnownDomain("merged.test"));
    EXPECT_EQ(canonicalAddress("robert@gone.alias"), "robert@gone.alias");
    EXPECT_EQ(canonicalAddress("talk-on@gone.test"), "talk-on@gone.test");
    EXPECT_EQ(canonicalAddress("x@merged.alias"), "x@merged.test");
    DomainAliasMap aliases;
    getDomainAliases(aliases);
    EXPECT_EQ(aliases, (DomainAliasMap{{"m.test", {}}, {"merged.test", {"merged.alias"}}}));

    // Back again, its files are read afresh although their times did not change.
    base.write("Domains/gone.test/Settings/domainAliases.data", "(gone.alias)", 1000);
    base.write("Domains/gone.test/Settings/aliases.data", "{bob = (robert);}", 1000);
    loadDomainList("");
    EXPECT_EQ(canonicalAddress("robert@gone.alias"), "bob@gone.test");
}

TEST(DomainMergeTest, MergedAliasesAndExtraDomains) {
    BaseFolder base;
    base.mainSettings("m.test");
    base.write("Accounts/Settings/domainAliases.data", "(file.alias)", 1000);
    loadDomainList("");
    EXPECT_FALSE(mergeDomainAliases({}));
    EXPECT_TRUE(mergeDomainAliases({{"x.test", {"x1", "x2"}}}));
    EXPECT_FALSE(mergeDomainAliases({{"x.test", {"x1", "x2"}}}));
    EXPECT_TRUE(mergeDomainAliases({{"x.test", {"x1"}}, {"m.test", {"merged.alias"}}}));
    EXPECT_EQ(real("x1"), "x.test");
    EXPECT_EQ(real("x2"), "x2");
    EXPECT_EQ(real("merged.alias"), "m.test");
    EXPECT_EQ(real("file.alias"), "file.alias");
    Names all;
    getAllDomains(all);
    EXPECT_EQ(all, (Names{"m.test", "x.test"}));
    // The next load keeps a merged set while the file's time stays the same.
    loadDomainList("");
    EXPECT_EQ(real("merged.alias"), "m.test");
    EXPECT_TRUE(isKnownDomain("x.test"));
}

TEST(DomainDataTest, IpModeAndAddressesAcrossDomains) {
    BaseFolder base;
    base.mainSettings("m.test");
    base.write("Domains/a.test/Settings/domain.settings", "{IPAddresses = (\"1.1.1.1\"); IPMode = \"All Available\";}");
    base.write("Domains/b.test/Settings/domain.settings", "{IPAddresses = (\"2.2.2.2\"); IPMode = \"ALL AVAILABLE\";}");
    base.write("Domains/c.test/Settings/domain.settings", "{IPAddresses = \"3.3.3.3\";}");
    loadDomainList("");
    const std::pair<const char*, const char*> cases[] = {
        {"1.1.1.1", "a.test"}, {"2.2.2.2", "b.test"}, {"3.3.3.3", "a.test"}, {"9.9.9.9", "a.test"}};
    for (const auto& [ip, domain] : cases) {
        CaptureStdout out;
        std::string text = ip;
        EXPECT_EQ(domainForIp(text), domain) << ip;
    }
}

TEST(SettingsMapTest, DictionaryToTexts) {
    std::map<std::string, std::string> out{{"old", "1"}};
    settingsToMap(DataSet(DataSetKind::Empty), out);
    EXPECT_EQ(out, (std::map<std::string, std::string>{{"old", "1"}}));
    settingsToMap(parseDataSetText("{A = B; Empty = \"\"; List = (x); Sub = {f = g;}; g = MiXed; none = ();}"), out);
    EXPECT_EQ(out, (std::map<std::string, std::string>{{"a", "b"}, {"g", "mixed"}, {"list", ""}, {"sub", ""}}));
    // Any value that is not Empty empties the map first.
    settingsToMap(parseDataSetText("text"), out);
    EXPECT_TRUE(out.empty());
}

TEST(SettingsMapTest, DictionaryToAddresses) {
    setDefaultDomain("Default.Test");
    BaseFolder base;
    base.write("fw.data", "{Fw = \"Bob@X.Test\"; plain = Carol; none = \"\"; at = \"dave@\";}");
    StringHashTable<AddressPair> out;
    out.set("old", AddressPair("o", "p"));
    loadAddressMap("fw.data", out);
    EXPECT_EQ(out.size(), 3u);
    EXPECT_FALSE(out.contains("old"));
    EXPECT_FALSE(out.contains("none"));
    ASSERT_TRUE(out.contains("fw") && out.contains("plain") && out.contains("at"));
    EXPECT_EQ(*out.find("fw"), AddressPair("bob", "x.test"));
    EXPECT_EQ(*out.find("plain"), AddressPair("carol", "default.test"));
    EXPECT_EQ(*out.find("at"), AddressPair("dave", ""));
    loadAddressMap("missing.data", out);
    EXPECT_EQ(out.size(), 3u);
}

}  // namespace
}  // namespace cgp
