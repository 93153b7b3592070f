#include "directory/email.h"

#include <gtest/gtest.h>

#include <sstream>

namespace cgp {
namespace {

struct SplitCase {
    const char* address;
    const char* user;
    const char* domain;
};

TEST(SplitAddressTest, Cases) {
    setDefaultDomain("Main.Example");
    const SplitCase cases[] = {
        {"Ab.Cd@Ef", "ab.cd", "ef"},
        {"user%host", "user", "host"},
        {"x@y@z", "x", "y@z"},
        {"x%y@z", "x%y", "z"},
        {"a%b%c", "a", "b%c"},
        {"@domain", "", "domain"},
        {"user@", "user", ""},
        {"@", "", ""},
        {"%", "", ""},
        {"Plain", "plain", "main.example"},
        {"", "", ""},
        {"\xC3\x89T\xC3\x89@D\xC3\x89", "\xC3\x89t\xC3\x89", "d\xC3\x89"},
    };
    for (const SplitCase& c : cases) {
        AddressPair pair = splitAddress(c.address);
        EXPECT_EQ(pair.first, c.user) << c.address;
        EXPECT_EQ(pair.second, c.domain) << c.address;
    }
    // A NUL byte is an ordinary byte of the address.
    AddressPair withNul = splitAddress(std::string("A\0B@C", 5));
    EXPECT_EQ(withNul.first, std::string("a\0b", 3));
    EXPECT_EQ(withNul.second, "c");
}

TEST(SplitAddressTest, DefaultDomainIsReadAtEachSplit) {
    setDefaultDomain("");
    EXPECT_EQ(splitAddress("bob"), AddressPair("bob", ""));
    setDefaultDomain("First");
    EXPECT_EQ(defaultDomain(), "First");
    EXPECT_EQ(splitAddress("bob"), AddressPair("bob", "first"));
    setDefaultDomain("second");
    EXPECT_EQ(splitAddress("Bob"), AddressPair("bob", "second"));
    EXPECT_EQ(splitAddress(""), AddressPair("", ""));
}

TEST(EMailTest, PrintsUserAtDomain) {
    std::string user = "Some One", domain = "x\"y";
    EMail mail(user, domain);
    std::ostringstream out;
    out << "<" << mail << ">";
    EXPECT_EQ(out.str(), "<Some One@x\"y>");
    EXPECT_EQ(mail.toString(), "Some One@x\"y");

    std::string none;
    EXPECT_EQ(EMail(none, none).toString(), "@");

    // It points at the strings, so it prints what they hold when printed.
    AddressPair pair("a", "b");
    EMail live(pair);
    pair.first = "changed";
    EXPECT_EQ(live.toString(), "changed@b");
}

}  // namespace
}  // namespace cgp
