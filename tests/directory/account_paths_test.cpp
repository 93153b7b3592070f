#include <gtest/gtest.h>

#include "directory/accounts.h"
#include "directory/domains.h"
#include "tests/directory/sample_server.h"

namespace cgp {
namespace {

class AccountPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeSampleServer(base);
        loadDomainList("");
    }
    BaseFolder base;
};

struct MailboxCase {
    std::string user;
    const char* domain;
    std::string mailbox;
    const char* path;
};

TEST_F(AccountPathTest, MailboxPaths) {
    const MailboxCase cases[] = {
        {"bob", "example.com", "", "Accounts/bob.macnt"},
        {"bob", "example.com", "INBOX", "Accounts/bob.macnt/INBOX.mbox"},
        {"bob", "example.com", "Sent", "Accounts/bob.macnt/Sent.mdir"},
        {"bob", "example.com", "Work/Projects", "Accounts/bob.macnt/Work.folder/Projects.mdir"},
        {"bob", "example.com", "/Work//Old/", "Accounts/bob.macnt/Work.folder/Old.mbox"},
        {"bob", "example.com", "Entw\xFCrfe", "Accounts/bob.macnt/Entw&APw-rfe.mdir"},
        {"bob", "example.com", "/", "Accounts/bob.macnt"},
        {"bob", "example.com", "Work", ""},           // a folder of mailboxes only
        {"bob", "example.com", "Missing/Sent", ""},
        {"bob", "example.com", "inbox", ""},          // only "INBOX" is the inbox
        {"bob", "example.com", "../bob.macnt/Sent", ""},
        {"carol", "example.com", "INBOX", "Accounts/carol.mdir"},
        {"carol", "example.com", "", "Accounts/carol.mdir"},
        {"carol", "example.com", "Sent", ""},         // single-mailbox accounts have no others
        {"dave", "example.com", "INBOX", "Accounts/dave.mbox"},
        {"frank", "example.com", "", "Accounts/eve.sub/frank.macnt"},
        {"frank", "example.com", "INBOX", "Accounts/eve.sub/frank.macnt/INBOX.mdir"},
        {"carol", "other.test", "", "Domains/other.test/carol.macnt"},
        {"sam", "shared.test", "INBOX", "SharedDomains/shared.test/sam.mdir"},
        {"bob", "unknown.test", "", ""},
        {"plain.mbox", "example.com", "", ""},        // a file is not an account
        {"nobody", "example.com", "INBOX", ""},
        // Names that would leave the domain's folder.
        {"../Domains/other.test/carol", "example.com", "", ""},
        {"..", "example.com", "", ""},
        {".hidden", "example.com", "", ""},
        {"", "example.com", "", ""},
        {"eve.sub/frank", "example.com", "", ""},
        {std::string("bob.macnt\0", 10), "example.com", "", ""},
    };
    for (const MailboxCase& c : cases)
        EXPECT_EQ(findMailboxPath(AddressPair(c.user, c.domain), c.mailbox), c.path) << c.user << " / " << c.mailbox;
}

TEST_F(AccountPathTest, AccountPaths) {
    struct Case {
        std::string folder, account;
        bool found;
        const char* out;
    };
    const Case cases[] = {
        {"Accounts", "bob", true, "Accounts/bob.macnt"},
        {"Accounts", "carol", true, "Accounts/carol.mdir"},
        {"Accounts", "frank", true, "Accounts/eve.sub/frank.macnt"},
        {"Accounts", "nobody", false, ""},
        {"Accounts", "plain.mbox", false, ""},
        {"Accounts/eve.sub", "frank", true, "Accounts/eve.sub/frank.macnt"},
        {"Accounts/eve.sub", "bob", false, ""},
        // A folder that is not one leaves out as it was.
        {"Missing", "bob", false, "untouched"},
        {"Accounts/plain.mbox.macnt", "bob", false, "untouched"},
        {"", "bob", false, "untouched"},
    };
    for (const Case& c : cases) {
        std::string out = "untouched";
        EXPECT_EQ(findAccountPath(c.folder, c.account, out), c.found) << c.folder << " " << c.account;
        EXPECT_EQ(out, c.out) << c.folder << " " << c.account;
    }
}

// A refused name is not found, and not found empties out, as the end of a search does.
// Several of these would reach an account if they were put in a path (.hidden.macnt,
// eve.sub/frank.macnt, bob.macnt, other.test's carol.macnt).
TEST_F(AccountPathTest, RefusedNamesEmptyOut) {
    const std::string refused[] = {
        "",
        ".",
        "..",
        ".hidden",
        ".bob",
        "../Domains/other.test/carol",
        "eve.sub/frank",
        "/bob",
        "bob/",
        "/",
        std::string("\0", 1),
        std::string("bob.macnt\0", 10),
        std::string("bob\0x", 5),
        std::string("\0bob", 4),
    };
    for (const std::string& name : refused) {
        std::string out = "prefilled";
        EXPECT_FALSE(findAccountPath("Accounts", name, out)) << name;
        EXPECT_EQ(out, "") << name;
        // Below the top folder too.
        out = "prefilled";
        EXPECT_FALSE(findAccountPath("Accounts/eve.sub", name, out)) << name;
        EXPECT_EQ(out, "") << name;
        // The folder is looked at first: when it is not one, out stays.
        out = "prefilled";
        EXPECT_FALSE(findAccountPath("Missing", name, out)) << name;
        EXPECT_EQ(out, "prefilled") << name;
    }
}

// A search that goes through ".sub" entries that are files, or down to the depth limit,
// and finds nothing empties out too.
TEST_F(AccountPathTest, SearchesThatFindNothingEmptyOut) {
    base.write("Accounts/file.sub", "");
    base.folder("Accounts/empty.sub/deeper.sub");
    std::string out = "prefilled";
    EXPECT_FALSE(findAccountPath("Accounts", "nobody", out));
    EXPECT_EQ(out, "");
    base.link(".", "Accounts/loop.sub");
    out = "prefilled";
    EXPECT_FALSE(findAccountPath("Accounts", "nobody", out));
    EXPECT_EQ(out, "");
    // And a found path after a failed one is the path alone.
    EXPECT_TRUE(findAccountPath("Accounts", "carol", out));
    EXPECT_EQ(out, "Accounts/carol.mdir");
}

TEST_F(AccountPathTest, TraceOfAccountAndMailboxSearch) {
    CaptureStdout out;
    DirectoryTrace trace;
    std::string path;
    findAccountPath("Accounts", "carol", path);
    findMailboxPath(AddressPair("bob", "example.com"), "Sent");
    findMailboxPath(AddressPair("bob", "example.com"), "Nope");
    findMailboxPath(AddressPair("bob", "none.test"), "");
    EXPECT_EQ(out.text(),
              "* Searching for account carolpath in Accounts\n"
              "* Account carol path found at Accounts/carol.mdir\n"
              "* Searching for real mailbox path of Sentbob@example.com\n"
              "* Mailbox path found: Accounts/bob.macnt/Sent.mdir\n"
              "* Searching for real mailbox path of Nopebob@example.com\n"
              "* Mailbox path not found\n"
              "* Searching for real mailbox path of bob@none.test\n"
              "* Domain not found: none.test\n");
}

// A ".sub" link back to its own folder ends the search and the count.
TEST_F(AccountPathTest, SubFolderLinkCycle) {
    base.link(".", "Accounts/loop.sub");
    std::string out;
    EXPECT_FALSE(findAccountPath("Accounts", "nobody", out));
    // Found, through the link or not, as the folder walk meets them.
    EXPECT_TRUE(findAccountPath("Accounts", "frank", out));
    EXPECT_EQ(out.rfind("/eve.sub/frank.macnt"), out.size() - std::string("/eve.sub/frank.macnt").size()) << out;
    // Accounts holds 5 accounts (frank in eve.sub among them) and is met again through the
    // link on each of the 16 levels below it.
    EXPECT_EQ(scanAccountDirectory("Accounts", 1000), 5 * 17 - 1);
}

std::size_t openDescriptors() {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

// Searches that return from inside a folder walk close its handle all the same.
TEST_F(AccountPathTest, SearchesLeaveNoFolderOpen) {
    std::size_t before = openDescriptors();
    std::string out;
    for (int i = 0; i < 100; ++i) {
        EXPECT_TRUE(findAccountPath("Accounts", "frank", out));
        EXPECT_FALSE(findAccountPath("Accounts", "nobody", out));
        EXPECT_EQ(findMailboxPath(AddressPair("frank", "example.com"), "INBOX"), "Accounts/eve.sub/frank.macnt/INBOX.mdir");
        EXPECT_EQ(scanAccountDirectory("Accounts/eve.sub", 1000 + 86400 * i), 1);
    }
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(AccountPathTest, CountsAreKeptForADay) {
    // bob, carol, dave, frank (in eve.sub) and the file plain.mbox.macnt: names count.
    EXPECT_EQ(scanAccountDirectory("Accounts", 1000), 5);
    base.folder("Accounts/new.mdir");
    base.folder("Accounts/eve.sub/more.mbox");
    EXPECT_EQ(scanAccountDirectory("Accounts", 1000 + 86399), 5);
    EXPECT_EQ(scanAccountDirectory("Accounts/eve.sub", 1000 + 86399), 1);
    EXPECT_EQ(scanAccountDirectory("Accounts", 1000 + 86400), 7);
    EXPECT_EQ(scanAccountDirectory("Missing", 1000), 0);
    base.folder("Missing/a.mdir");
    EXPECT_EQ(scanAccountDirectory("Missing", 2000), 0);
}

TEST_F(AccountPathTest, CountsOfDomains) {
    CaptureStdout out;
    {
        DirectoryTrace trace;
        // 2 given + 5 accounts + 2 groups + 6 forwarders + 2 lists; the unknown domain adds 0.
        EXPECT_EQ(countAccountsToFilter({"a@x", "b@y"}, {"example.com", "unknown.test"}, true, true, true), 17);
    }
    EXPECT_EQ(out.text(),
              "* 2 accounts in the Accounts To Filter list\n"
              "* (9) Counted Groups\n"
              "* (15) Counted Forwarders\n"
              "* (17) Counted Lists\n"
              "* (17) Counted Groups\n"
              "* (17) Counted Forwarders\n"
              "* (17) Counted Lists\n");
    EXPECT_EQ(countAccountsToFilter({}, {"example.com"}, false, true, false), 11);
    // example.com 5, other.test 1 (plus its forwarder), shared.test 1.
    EXPECT_EQ(countAllAccounts(false, false, false), 7);
    EXPECT_EQ(countAllAccounts(true, true, true), 7 + 2 + 7 + 2);
}

}  // namespace
}  // namespace cgp
