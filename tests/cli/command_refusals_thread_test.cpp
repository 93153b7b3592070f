// Arguments the command methods refuse: each refusal is proved unsent by a sentinel line, the
// next line the server receives.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli_test_server.h"
#include "foundation/exception.h"

namespace {

using cgp::CLI;
using cgp::DataSet;
using cgp::DataSetKind;
using clitest::ConnectionScript;
using clitest::Milliseconds;
using clitest::ScriptedServer;

DataSet dictionary() {
    DataSet value(DataSetKind::Dictionary);
    value->dictionary["Key"] = DataSet("Value");
    return value;
}

DataSet array() {
    DataSet value(DataSetKind::Array);
    value->array.push_back(DataSet("one"));
    return value;
}

const DataSet kNoDictionary(DataSetKind::Dictionary);
const DataSet kNoArray(DataSetKind::Array);

struct Refusal {
    const char* what;
    std::function<void(CLI&)> call;
};

const Refusal kRefusals[] = {
    // Texts of every form, required wherever they stand.
    {"word first", [](CLI& c) { c.rejectQueueMessage("", "why"); }},
    {"word after an optional domain", [](CLI& c) { c.processBounce("joe@x.org", "", true); }},
    {"word after a keyword", [](CLI& c) { c.createWebUserSession("joe@x.org", "", "My Skin"); }},
    {"word of web data", [](CLI& c) { c.putWebFileAt("joe@x.org", "f", "", 1); }},
    {"quoted", [](CLI& c) { c.setRouterTable(""); }},
    {"quoted password", [](CLI& c) { c.setAccountPassword("joe@x.org", ""); }},
    {"quoted class after AUTH", [](CLI& c) { c.setMailboxClass("joe@x.org", "INBOX", "", "admin@x.org"); }},
    {"in quotes", [](CLI& c) { c.setClusterClientIPs(""); }},
    {"in quotes skin data", [](CLI& c) { c.storeClusterSkinFile("My Skin", "f", ""); }},
    {"in quotes new name", [](CLI& c) { c.renameServerSkin("My Skin", ""); }},
    {"skin after an optional domain", [](CLI& c) { c.createDomainSkin("x.org", ""); }},
    {"file after an empty domain", [](CLI& c) { c.storeDomainSkinFile("", "My Skin", "", "d"); }},
    {"file of a partial read", [](CLI& c) { c.getWebFilePart("joe@x.org", "", 0, 0); }},
    {"account of a mailbox", [](CLI& c) { c.createMailbox("", "INBOX", ""); }},
    {"mailbox", [](CLI& c) { c.getMailboxInfo("joe@x.org", "", "admin@x.org"); }},
    {"new mailbox name", [](CLI& c) { c.renameMailboxes("joe@x.org", "A", "", ""); }},
    {"getMailboxRights without authAccount", [](CLI& c) { c.getMailboxRights("joe@x.org", "INBOX", ""); }},
    {"Key", [](CLI& c) { c.getAccountInfo("joe@x.org", ""); }},
    {"list operation", [](CLI& c) { c.list("news@x.org", "", "sub@z.org", true, true); }},
    {"list subscriber", [](CLI& c) { c.list("news@x.org", "subscribe", "", false, false); }},
    {"listSubscribers list", [](CLI& c) { c.listSubscribers("", "a*", 10); }},
    {"forwarder address", [](CLI& c) { c.createForwarder("fwd@x.org", ""); }},
    {"createAccount account", [](CLI& c) { c.createAccount("", dictionary(), "", false); }},
    {"writeLog text", [](CLI& c) { c.writeLog(5, ""); }},
    {"verifyAccountPassword account", [](CLI& c) { c.verifyAccountPassword("", "pw"); }},
    {"verifyAccountPassword password", [](CLI& c) { c.verifyAccountPassword("joe@x.org", ""); }},
    {"addAccountSubscription account", [](CLI& c) { c.addAccountSubscription("", DataSet("INBOX")); }},
    {"mergeMailboxACL mailbox", [](CLI& c) { c.mergeMailboxACL("joe@x.org", "", dictionary(), ""); }},
    // Datasets: empty, of the wrong kind, or no value at all.
    {"empty Dictionary", [](CLI& c) { c.updateModule("SMTP", kNoDictionary); }},
    {"Array for a Dictionary", [](CLI& c) { c.setServerAlerts(array()); }},
    {"String for a Dictionary", [](CLI& c) { c.setWebUser("joe@x.org", DataSet("x")); }},
    {"null handle", [](CLI& c) { c.setClusterIntercept(DataSet()); }},
    {"empty Array", [](CLI& c) { c.setServerRules(kNoArray); }},
    {"Dictionary for an Array", [](CLI& c) { c.setClusterRules(dictionary()); }},
    {"dataset after an empty domain", [](CLI& c) { c.setAccountDefaults("", kNoDictionary); }},
    {"empty Array after an empty domain", [](CLI& c) { c.setDomainAliases("", kNoArray); }},
    {"setDomainRules empty Array", [](CLI& c) { c.setDomainRules("x.org", kNoArray); }},
    {"setAccountAliases empty Array", [](CLI& c) { c.setAccountAliases("joe@x.org", kNoArray); }},
    {"setAccountAliases String", [](CLI& c) { c.setAccountAliases("joe@x.org", DataSet("alias")); }},
    {"setAccountRules Dictionary", [](CLI& c) { c.setAccountRules("joe@x.org", dictionary()); }},
    {"setAccountRules null handle", [](CLI& c) { c.setAccountRules("joe@x.org", DataSet()); }},
    {"createGroup empty Dictionary", [](CLI& c) { c.createGroup("staff@x.org", kNoDictionary); }},
    {"setMailboxACL empty Dictionary", [](CLI& c) { c.setMailboxACL("joe@x.org", "INBOX", kNoDictionary, ""); }},
    {"setMailboxAliases Array", [](CLI& c) { c.setMailboxAliases("joe@x.org", array()); }},
    {"mergeMailboxACL Array", [](CLI& c) { c.mergeMailboxACL("joe@x.org", "INBOX", array(), ""); }},
    {"mergeMailboxACL null handle", [](CLI& c) { c.mergeMailboxACL("joe@x.org", "INBOX", DataSet(), "admin@x.org"); }},
};

TEST(CliCommandRefusalThreadTest, RefusedArgumentsSendNothing) {
    ConnectionScript script = clitest::loggedIn();
    for (std::size_t i = 0; i < std::size(kRefusals); ++i) script.expectLine("Noop").send("200 OK\r\n");
    clitest::quits(script);
    ScriptedServer server({script});
    {
        CLI client = clitest::connectTo(server);
        for (const Refusal& refusal : kRefusals) {
            SCOPED_TRACE(refusal.what);
            try {
                refusal.call(client);
                ADD_FAILURE() << "not refused";
            } catch (const tmg::ProtocolException& e) {
                EXPECT_EQ(typeid(e), typeid(tmg::ProtocolException));
                EXPECT_EQ(e.getMessage(), "invalid or missing argument");
                EXPECT_EQ(e.getCode(), 0);
            }
            client.execute("Noop");
        }
    }
    ASSERT_TRUE(server.waitUntilDone(Milliseconds(5000)));
    std::vector<std::string> expected{clitest::kApopLine, "inline"};
    expected.insert(expected.end(), std::size(kRefusals), "Noop");
    expected.push_back("Quit");
    EXPECT_EQ(server.lines(0), expected);
}

}  // namespace
