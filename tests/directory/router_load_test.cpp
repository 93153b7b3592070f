#include <gtest/gtest.h>

#include <string>

#include "directory/email.h"
#include "directory/router.h"
#include "tests/directory/base_folder.h"

namespace cgp {
namespace {

const char* const dataPath = "Settings/Router.data";
const char* const settingsPath = "Settings/Router.settings";

// The rows of both lists as "left=right" (prefixes, with "*" and the suffix for a wildcard).
std::string rows() {
    tmg::MutexLock lock(&routerMutex());
    auto side = [](const RouterPattern& p) { return p.prefix + (p.wildcard ? "*" + p.suffix : ""); };
    std::string out;
    for (const RouterRows* list : {&routerAddressRows(), &routerDomainRows()}) {
        for (const auto& row : *list) out += (out.empty() ? "" : " ") + side(*row->left) + "=" + side(*row->right);
    }
    return out;
}

class RouterLoadTest : public ::testing::Test {
protected:
    void SetUp() override { base.mainSettings("Main.Example"); }
    BaseFolder base;
};

TEST_F(RouterLoadTest, LoadsWhenRouterDataChanges) {
    base.write(settingsPath, "{}", 1000);
    base.write(dataPath, "<a> = b@c\nold.example = new.example\n", 2000);
    EXPECT_TRUE(loadRouter());
    EXPECT_EQ(rows(), "a@main.example=b@c old.example=new.example");
    EXPECT_EQ(defaultDomain(), "main.example");

    // Unchanged: nothing is read again, even when the text differs.
    base.write(dataPath, "x = y\n", 2000);
    EXPECT_FALSE(loadRouter());
    EXPECT_EQ(rows(), "a@main.example=b@c old.example=new.example");

    base.stamp(dataPath, 2001);
    EXPECT_TRUE(loadRouter());
    EXPECT_EQ(rows(), "x=y");

    // A missing table keeps the rows loaded before.
    base.remove(dataPath);
    EXPECT_FALSE(loadRouter());
    EXPECT_EQ(rows(), "x=y");
    // So does a folder in its place.
    base.folder(dataPath);
    EXPECT_FALSE(loadRouter());
    EXPECT_EQ(rows(), "x=y");
}

TEST_F(RouterLoadTest, ATableStampedWithTheEpochLoads) {
    base.write(settingsPath, "{}", 0);
    base.write(dataPath, "a = b\n", 0);
    EXPECT_TRUE(loadRouter());
    EXPECT_EQ(rows(), "a=b");
    EXPECT_FALSE(loadRouter());
}

TEST_F(RouterLoadTest, MissingSettingsEmptyTheTableUntilTheyAppear) {
    base.write(dataPath, "a = b\n", 2000);
    setDefaultDomain("kept.example");
    EXPECT_FALSE(loadRouter());
    EXPECT_EQ(rows(), "");
    EXPECT_EQ(defaultDomain(), "kept.example");
    // Each call tries again; the table's own stamp has not changed.
    EXPECT_FALSE(loadRouter());
    base.write(settingsPath, "", 1000);
    EXPECT_FALSE(loadRouter());
    base.write(settingsPath, "{GlobalAliases = {Boss = \"Chief@Main.Example\";};}", 1000);
    EXPECT_TRUE(loadRouter());
    EXPECT_EQ(rows(), "boss@*=chief@main.example a=b");
    EXPECT_EQ(defaultDomain(), "main.example");
    EXPECT_FALSE(loadRouter());

    // A broken settings file after a good load empties the table too.
    base.write(settingsPath, "{GlobalAliases = ", 1001);
    CaptureStdout quiet;
    EXPECT_FALSE(loadRouter());
    EXPECT_EQ(rows(), "");
}

TEST_F(RouterLoadTest, EditingOnlyTheSettingsReloads) {
    base.write(settingsPath, "{GlobalAliases = {boss = \"chief@main.example\";};}", 1000);
    base.write(dataPath, "<alias> = x@y\n", 2000);
    EXPECT_TRUE(loadRouter());
    EXPECT_EQ(rows(), "boss@*=chief@main.example alias@main.example=x@y");
    EXPECT_EQ(routeAddress({"boss", "any.example"}), AddressPair("chief", "main.example"));

    base.write(settingsPath,
               "{DomainQualifier = Relay.EXAMPLE; ExtendNonQualifiedDomains = Yes;"
               " GlobalAliases = {boss = \"deputy@main.example\";};}",
               1001);
    EXPECT_TRUE(loadRouter());
    // The qualifier is kept lower-case, so the row without "@" matches routed addresses.
    EXPECT_EQ(defaultDomain(), "relay.example");
    EXPECT_EQ(rows(), "boss@*=deputy@main.example alias@relay.example=x@y");
    EXPECT_EQ(routeAddress({"boss", "any.example"}), AddressPair("deputy", "main.example"));
    EXPECT_EQ(routeAddress(splitAddress("Alias")), AddressPair("x", "y"));
}

TEST_F(RouterLoadTest, QualifierNeedsBothKeys) {
    struct Case {
        const char* settings;
        const char* defaultDomain;
    } const cases[] = {
        {"{DomainQualifier = q.example; ExtendNonQualifiedDomains = YES;}", "q.example"},
        {"{DomainQualifier = q.example; ExtendNonQualifiedDomains = yEs;}", "q.example"},
        {"{DomainQualifier = q.example; ExtendNonQualifiedDomains = NO;}", "main.example"},
        {"{DomainQualifier = q.example;}", "main.example"},
        {"{ExtendNonQualifiedDomains = YES;}", "main.example"},
        // Keys are case-sensitive.
        {"{domainqualifier = q.example; ExtendNonQualifiedDomains = YES;}", "main.example"},
    };
    base.write(dataPath, "", 2000);
    std::int64_t stamp = 1000;
    for (const Case& c : cases) {
        base.write(settingsPath, c.settings, ++stamp);
        EXPECT_TRUE(loadRouter()) << c.settings;
        EXPECT_EQ(defaultDomain(), c.defaultDomain) << c.settings;
    }
}

TEST_F(RouterLoadTest, RowsBeforeASyntaxErrorStay) {
    base.write(settingsPath, "{}", 1000);
    base.write(dataPath, "a = b\nc = d\ne f g\nh = i\n", 2000);
    CaptureStdout capture;
    EXPECT_TRUE(loadRouter());
    EXPECT_NE(capture.text().find("* while parsing \"Settings/Router.data\" file:"), std::string::npos)
        << capture.text();
    EXPECT_EQ(rows(), "a=b c=d");
    EXPECT_FALSE(loadRouter());
    EXPECT_EQ(rows(), "a=b c=d");
}

}  // namespace
}  // namespace cgp
