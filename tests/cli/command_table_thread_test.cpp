// Every command method of the administration client against the scripted server: the line it
// sends, the reply it reads and what it makes of it. One row per method, a second row where a
// method has optional elements, with them left out.

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "cli/cli.h"
#include "cli_test_server.h"

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
    value->array.push_back(DataSet("two words"));
    return value;
}

DataSet acl() {
    DataSet value(DataSetKind::Dictionary);
    value->dictionary["bob"] = DataSet("lrsw");
    return value;
}

// The reply for each result kind, and what the method must return for it.
const char* const kNoneReply = "200 OK\r\n";
const char* const kDataSetReply = "201 {Key = Value;}\r\n";
const char* const kDataSetText = "{Key = Value;}";
const char* const kStringReply = "201 \"a text\"\r\n";
const char* const kStringText = "a text";

struct Exchange {
    std::string line;   // what the client must send
    std::string reply;  // what the fake answers
};

struct Row {
    const char* method;
    std::vector<Exchange> exchanges;
    std::function<void(CLI&)> callAndCheck;
};

// Each macro calls the method by its name, so the row's name is the method it runs, and
// fixes the result type at compile time.
#define NONE(method, args, line)                                                                  \
    Row {                                                                                         \
        #method, {{line, kNoneReply}}, [](CLI& c) {                                               \
            static_assert(std::is_void_v<decltype(c.method args)>, #method " returns nothing");   \
            c.method args;                                                                        \
        }                                                                                         \
    }
#define DATA(method, args, line)                                                                  \
    Row {                                                                                         \
        #method, {{line, kDataSetReply}}, [](CLI& c) {                                            \
            static_assert(std::is_same_v<decltype(c.method args), DataSet>, #method " returns a dataset"); \
            EXPECT_EQ(DataSet::toString(c.method args, false), kDataSetText);                     \
        }                                                                                         \
    }
#define TEXT(method, args, line)                                                                  \
    Row {                                                                                         \
        #method, {{line, kStringReply}}, [](CLI& c) {                                             \
            static_assert(std::is_same_v<decltype(c.method args), std::string>, #method " returns a text"); \
            EXPECT_EQ(c.method args, kStringText);                                                \
        }                                                                                         \
    }
#define BOOL(method, args, line)                                                                  \
    Row {                                                                                         \
        #method, {{line, kNoneReply}}, [](CLI& c) {                                               \
            static_assert(std::is_same_v<decltype(c.method args), bool>, #method " returns a flag"); \
            EXPECT_TRUE(c.method args);                                                           \
        }                                                                                         \
    }
#define COMPOSITE(method, args, ...)                                                              \
    Row {                                                                                         \
        #method, __VA_ARGS__, [](CLI& c) {                                                        \
            static_assert(std::is_void_v<decltype(c.method args)>, #method " returns nothing");   \
            c.method args;                                                                        \
        }                                                                                         \
    }

const std::vector<Row>& commandTable() {
    static const std::vector<Row> rows = {
        // Server and cluster.
        NONE(rejectQueueMessage, ("12", "hello world"), "RejectQueueMessage 12 \"hello world\""),
        NONE(rejectQueueMessage, ("12", ""), "RejectQueueMessage 12"),
        NONE(releaseSMTPQueue, ("relay.x.org"), "ReleaseSMTPQueue relay.x.org"),
        NONE(shutdown, (), "Shutdown"),
        NONE(refreshOSData, (), "RefreshOSData"),
        NONE(updateModule, ("SMTP", dictionary()), "UpdateModule SMTP {Key = Value;}"),
        DATA(getModule, ("SMTP"), "GetModule SMTP"),
        TEXT(getSNMPElement, ("1.3.6.1.2.1.1.3.0"), "GetSNMPElement 1.3.6.1.2.1.1.3.0"),
        TEXT(getTempClientIPs, (), "GetTempClientIPs"),
        TEXT(getCurrentController, (), "GetCurrentController"),
        DATA(getClusterDomainDefaults, (), "GetClusterDomainDefaults"),
        BOOL(tryGetClusterDomainDefaults, (), "GetClusterDomainDefaults"),
        NONE(setClusterIntercept, (dictionary()), "SetClusterIntercept {Key = Value;}"),
        DATA(getClusterIntercept, (), "GetClusterIntercept"),
        NONE(setServerIntercept, (dictionary()), "SetServerIntercept {Key = Value;}"),
        DATA(getServerIntercept, (), "GetServerIntercept"),
        NONE(setClusterRouterTable, ("<a>=b\nc=d"), "SetClusterRouterTable \"<a>=b\\ec=d\""),
        TEXT(getClusterRouterTable, (), "GetClusterRouterTable"),
        NONE(setRouterSettings, (dictionary()), "SetRouterSettings {Key = Value;}"),
        DATA(getRouterSettings, (), "GetRouterSettings"),
        NONE(setRouterTable, ("<a>=b\nc=d"), "SetRouterTable \"<a>=b\\ec=d\""),
        TEXT(getRouterTable, (), "GetRouterTable"),
        NONE(setClusterRules, (array()), "SetClusterRules (one,\"two words\")"),
        DATA(getClusterRules, (), "GetClusterRules"),
        NONE(setServerRules, (array()), "SetServerRules (one,\"two words\")"),
        DATA(getServerRules, (), "GetServerRules"),
        NONE(setClusterProtection, (dictionary()), "SetClusterProtection {Key = Value;}"),
        DATA(getClusterProtection, (), "GetClusterProtection"),
        NONE(setBanned, (dictionary()), "SetBanned {Key = Value;}"),
        NONE(setProtection, (dictionary()), "SetProtection {Key = Value;}"),
        DATA(getBanned, (), "GetBanned"),
        DATA(getProtection, (), "GetProtection"),
        DATA(getClusterBanned, (), "GetClusterBanned"),
        NONE(setClusterLANIPs, ("10.0.0.1, 10.1.0.0/16"), "SetClusterLANIPs \"10.0.0.1, 10.1.0.0/16\""),
        NONE(setClusterBlacklistedIPs, ("10.0.0.1, 10.1.0.0/16"), "SetClusterBlacklistedIPs \"10.0.0.1, 10.1.0.0/16\""),
        TEXT(getClusterWhiteHoleIPs, (), "GetClusterWhiteHoleIPs"),
        TEXT(getClusterClientIPs, (), "GetClusterClientIPs"),
        TEXT(getClusterLANIPs, (), "GetClusterLANIPs"),
        TEXT(getClusterBlacklistedIPs, (), "GetClusterBlacklistedIPs"),
        NONE(setClientIPs, ("10.0.0.1, 10.1.0.0/16"), "SetClientIPs \"10.0.0.1, 10.1.0.0/16\""),
        NONE(setLANIPs, ("10.0.0.1, 10.1.0.0/16"), "SetLANIPs \"10.0.0.1, 10.1.0.0/16\""),
        NONE(setBlacklistedIPs, ("10.0.0.1, 10.1.0.0/16"), "SetBlacklistedIPs \"10.0.0.1, 10.1.0.0/16\""),
        TEXT(getWhiteHoleIPs, (), "GetWhiteHoleIPs"),
        TEXT(getClientIPs, (), "GetClientIPs"),
        TEXT(getBlacklistedIPs, (), "GetBlacklistedIPs"),
        TEXT(getLANIPs, (), "GetLANIPs"),
        NONE(removeClusterAlert, ("20261210T120000"), "RemoveClusterAlert 20261210T120000"),
        NONE(postClusterAlert, ("hello world"), "PostClusterAlert \"hello world\""),
        NONE(setClusterAlerts, (dictionary()), "SetClusterAlerts {Key = Value;}"),
        DATA(getClusterAlerts, (), "GetClusterAlerts"),
        NONE(removeServerAlert, ("20261210T120000"), "RemoveServerAlert 20261210T120000"),
        NONE(postServerAlert, ("hello world"), "PostServerAlert \"hello world\""),
        NONE(setServerAlerts, (dictionary()), "SetServerAlerts {Key = Value;}"),
        DATA(getServerAlerts, (), "GetServerAlerts"),
        NONE(storeClusterSkinFile, ("My Skin", "login.wssp", "<b class=\"x\">\\\\"),
             "StoreClusterSkinFile \"My Skin\" FILE \"login.wssp\" DATA \"<b class=\"x\">\\\\\""),
        DATA(listClusterSkinFiles, ("My Skin"), "ListClusterSkinFiles \"My Skin\""),
        NONE(deleteClusterSkin, ("My Skin"), "DeleteClusterSkin \"My Skin\""),
        NONE(createClusterSkin, ("My Skin"), "CreateClusterSkin \"My Skin\""),
        DATA(listClusterSkins, (), "ListClusterSkins"),
        DATA(listServerSkins, (), "ListServerSkins"),
        NONE(updateClusterAccountDefaults, (dictionary()), "UpdateClusterAccountDefaults {Key = Value;}"),
        NONE(updateClusterDomainDefaults, (dictionary()), "UpdateClusterDomainDefaults {Key = Value;}"),
        DATA(getDirectoryIntegration, (), "GetDirectoryIntegration"),
        DATA(getServerWebUserDefaults, (), "GetServerWebUserDefaults"),
        DATA(getDomainDefaults, (), "GetDomainDefaults"),
        NONE(setAllAccountsDefaults, (dictionary()), "SetAllAccountsDefaults {Key = Value;}"),
        NONE(updateAllAccountsDefaults, (dictionary()), "UpdateAllAccountsDefaults {Key = Value;}"),
        NONE(setClusterDirectoryIntegration, (dictionary()), "SetClusterDirectoryIntegration {Key = Value;}"),
        NONE(setClusterWebUserDefaults, (dictionary()), "SetClusterWebUserDefaults {Key = Value;}"),
        NONE(reloadDirectoryDomains, (), "ReloadDirectoryDomains"),

        // Accounts, domains, lists and web users.
        NONE(resetAccountStat, ("joe@x.org"), "ResetAccountStat joe@x.org"),
        DATA(getAccountStat, ("joe@x.org"), "GetAccountStat joe@x.org"),
        NONE(deleteAccount, ("joe@x.org"), "DeleteAccount joe@x.org"),
        DATA(getAccountSubscription, ("joe@x.org"), "GetAccountSubscription joe@x.org"),
        DATA(getAccountSettings, ("joe@x.org"), "GetAccountSettings joe@x.org"),
        DATA(getEffectiveWebUser, ("joe@x.org"), "GetEffectiveWebUser joe@x.org"),
        DATA(getAccountRPOP, ("joe@x.org"), "GetAccountRPOP joe@x.org"),
        DATA(getAccountAliases, ("joe@x.org"), "GetAccountAliases joe@x.org"),
        DATA(getAccountRules, ("joe@x.org"), "GetAccountRules joe@x.org"),
        DATA(getAccountRights, ("joe@x.org"), "GetAccountRights joe@x.org"),
        DATA(getWebUser, ("joe@x.org"), "GetWebUser joe@x.org"),
        DATA(getAccountEffectiveSettings, ("joe@x.org"), "getAccountEffectiveSettings joe@x.org"),
        DATA(getAccountAlerts, ("joe@x.org"), "GetAccountAlerts joe@x.org"),
        DATA(getAccountLists, ("joe@x.org"), "GetAccountLists joe@x.org"),
        DATA(getWebFilesInfo, ("joe@x.org"), "GetWebFilesInfo joe@x.org"),
        NONE(processBounce, ("joe@x.org", "bob@y.org", true), "ProcessBounce joe@x.org FATAL FOR bob@y.org"),
        NONE(processBounce, ("joe@x.org", "bob@y.org", false), "ProcessBounce joe@x.org FOR bob@y.org"),
        DATA(route, ("bob@y.org", true), "Route bob@y.org mail"),
        DATA(route, ("bob@y.org", false), "Route bob@y.org"),
        NONE(resetDomainStat, ("x.org"), "ResetDomainStat x.org"),
        DATA(getDomainStat, ("x.org"), "GetDomainStat x.org"),
        DATA(listDomains, (), "ListDomains"),
        TEXT(mainDomainName, (), "MainDomainName"),
        TEXT(getDomainLocation, ("x.org"), "GetDomainLocation x.org"),
        DATA(getDomainSettings, ("x.org"), "getDomainSettings x.org"),
        DATA(getDomainSettings, (""), "getDomainSettings"),
        NONE(setDomainSettings, ("x.org", dictionary()), "SetDomainSettings x.org {Key = Value;}"),
        NONE(setDomainSettings, ("", dictionary()), "SetDomainSettings {Key = Value;}"),
        NONE(updateDomainSettings, ("x.org", dictionary()), "UpdateDomainSettings x.org {Key = Value;}"),
        NONE(updateDomainSettings, ("", dictionary()), "UpdateDomainSettings {Key = Value;}"),
        DATA(getDomainAlerts, ("x.org"), "GetDomainAlerts x.org"),
        DATA(getDomainAlerts, (""), "GetDomainAlerts"),
        DATA(getDomainAliases, ("x.org"), "GetDomainAliases x.org"),
        DATA(getDomainAliases, (""), "GetDomainAliases"),
        NONE(createDirectoryDomain, ("x.org", dictionary()), "CreateDirectoryDomain x.org {Key = Value;}"),
        NONE(createDirectoryDomain, ("x.org", DataSet(DataSetKind::Dictionary)), "CreateDirectoryDomain x.org"),
        NONE(createSharedDomain, ("x.org", dictionary()), "CreateSharedDomain x.org {Key = Value;}"),
        NONE(createSharedDomain, ("x.org", DataSet(DataSetKind::Dictionary)), "CreateSharedDomain x.org"),
        // Settings without keys are left out unchecked, whatever their kind.
        NONE(createSharedDomain, ("x.org", array()), "CreateSharedDomain x.org"),
        NONE(deleteDomain, ("x.org", true), "DeleteDomain x.org force"),
        NONE(deleteDomain, ("x.org", false), "DeleteDomain x.org"),
        NONE(deleteDirectoryRecords, ("x.org"), "deleteDirectoryRecords x.org"),
        NONE(deleteDirectoryRecords, (""), "deleteDirectoryRecords"),
        DATA(listAdminDomains, ("x.org"), "ListAdminDomains x.org"),
        DATA(listAdminDomains, (""), "ListAdminDomains"),
        DATA(listAccounts, ("x.org"), "ListAccounts x.org"),
        DATA(listAccounts, (""), "ListAccounts"),
        NONE(setAccountDefaults, ("x.org", dictionary()), "SetAccountDefaults x.org {Key = Value;}"),
        NONE(setAccountDefaults, ("", dictionary()), "SetAccountDefaults {Key = Value;}"),
        NONE(updateAccountDefaults, ("x.org", dictionary()), "UpdateAccountDefaults x.org {Key = Value;}"),
        NONE(updateAccountDefaults, ("", dictionary()), "UpdateAccountDefaults {Key = Value;}"),
        DATA(getAccountTemplate, ("x.org"), "GetAccountTemplate x.org"),
        DATA(getAccountTemplate, (""), "GetAccountTemplate"),
        NONE(updateAccountTemplate, ("x.org", dictionary()), "UpdateAccountTemplate x.org {Key = Value;}"),
        NONE(updateAccountTemplate, ("", dictionary()), "UpdateAccountTemplate {Key = Value;}"),
        DATA(listGroups, ("x.org"), "ListGroups x.org"),
        DATA(listGroups, (""), "ListGroups"),
        DATA(getGroup, ("staff@x.org"), "GetGroup staff@x.org"),
        DATA(listForwarders, ("x.org"), "ListForwarders x.org"),
        DATA(listForwarders, (""), "ListForwarders"),
        DATA(getList, ("news@x.org"), "GetList news@x.org"),
        NONE(deleteList, ("news@x.org"), "deleteList news@x.org"),
        DATA(getDomainLists, ("x.org"), "GetDomainLists x.org"),
        DATA(getDomainLists, (""), "GetDomainLists"),
        DATA(listLists, ("x.org"), "ListLists x.org"),
        DATA(listLists, (""), "ListLists"),
        NONE(clearWebUserCache, ("x.org"), "ClearWebUserCache x.org"),
        NONE(putWebUserInterface, ("x.org", "login.wssp", "SGVsbG8="),
             "PutWebUserInterface x.org FILE \"login.wssp\" DATA SGVsbG8="),
        DATA(listWebUserInterface, ("x.org", "login.wssp"), "ListWebUserInterface x.org FILE \"login.wssp\""),
        DATA(listWebUserInterface, ("x.org", ""), "ListWebUserInterface x.org"),
        NONE(killWebUserSession, ("S123"), "KillWebUserSession S123"),
        DATA(getWebUserSession, ("S123"), "GetWebUserSession S123"),
        TEXT(createWebUserSession, ("joe@x.org", "bob@y.org", "My Skin"),
             "CreateWebUserSession joe@x.org ADDRESS bob@y.org SKIN \"My Skin\""),
        TEXT(createWebUserSession, ("joe@x.org", "bob@y.org", ""), "CreateWebUserSession joe@x.org ADDRESS bob@y.org"),
        DATA(listDomainSkins, ("x.org"), "ListDomainSkins x.org"),
        DATA(listDomainSkins, (""), "ListDomainSkins"),

        // Accounts.
        NONE(createAccount, ("joe@x.org", dictionary(), "MultiMailbox", true),
             "CreateAccount joe@x.org MultiMailbox external {Key = Value;}"),
        NONE(createAccount, ("joe@x.org", DataSet(DataSetKind::Dictionary), "", false), "CreateAccount joe@x.org"),
        NONE(createAccount, ("joe@x.org", DataSet(), "", true), "CreateAccount joe@x.org external"),
        NONE(renameAccount, ("joe@x.org", "jim@x.org"), "RenameAccount joe@x.org into jim@x.org"),
        TEXT(getAccountLocation, ("joe@x.org"), "GetAccountLocation joe@x.org"),
        NONE(setAccountSettings, ("joe@x.org", dictionary()), "SetAccountSettings joe@x.org {Key = Value;}"),
        NONE(updateAccountSettings, ("joe@x.org", dictionary()), "UpdateAccountSettings joe@x.org {Key = Value;}"),
        NONE(setAccountPassword, ("joe@x.org", "p w"), "SetAccountPassword joe@x.org TO \"p w\""),
        BOOL(verifyAccountPassword, ("joe@x.org", "p w"), "VerifyAccountPassword joe@x.org PASSWORD \"p w\""),
        NONE(setAccountAliases, ("joe@x.org", array()), "SetAccountAliases joe@x.org (one,\"two words\")"),
        NONE(setAccountRules, ("joe@x.org", array()), "SetAccountRules joe@x.org (one,\"two words\")"),
        NONE(setAccountRules, ("joe@x.org", DataSet(DataSetKind::Array)), "SetAccountRules joe@x.org ()"),
        NONE(setAccountRights, ("joe@x.org", array()), "SetAccountRights joe@x.org (one,\"two words\")"),
        NONE(setAccountRPOP, ("joe@x.org", array()), "SetAccountRPOP joe@x.org (one,\"two words\")"),
        NONE(setAccountAlerts, ("joe@x.org", dictionary()), "SetAccountAlerts joe@x.org {Key = Value;}"),
        NONE(postAccountAlert, ("joe@x.org", "hello world"), "PostAccountAlert joe@x.org ALERT \"hello world\""),
        NONE(removeAccountAlert, ("joe@x.org", "20261210T120000"), "RemoveAccountAlert joe@x.org ALERT 20261210T120000"),
        NONE(setAccountSubscription, ("joe@x.org", array()), "SetAccountSubscription joe@x.org (one,\"two words\")"),
        COMPOSITE(addAccountSubscription, ("joe@x.org", DataSet("Drafts")),
                  {{"GetAccountSubscription joe@x.org", "201 (INBOX,Sent)\r\n"},
                   {"SetAccountSubscription joe@x.org (INBOX,Sent,Drafts)", kNoneReply}}),
        NONE(setWebUser, ("joe@x.org", dictionary()), "SetWebUser joe@x.org {Key = Value;}"),
        DATA(getAccountInfo, ("joe@x.org", "LastLogin"), "GetAccountInfo joe@x.org Key LastLogin"),
        NONE(removeAccountSubset, ("joe@x.org", "Notes"), "RemoveAccountSubset joe@x.org SUBSET Notes"),

        // Mailboxes.
        NONE(createMailbox, ("joe@x.org", "INBOX/Sent Items", "admin@x.org"),
             "CreateMailbox joe@x.org MAILBOX \"INBOX/Sent Items\" AUTH admin@x.org"),
        NONE(createMailbox, ("joe@x.org", "INBOX/Sent Items", ""),
             "CreateMailbox joe@x.org MAILBOX \"INBOX/Sent Items\""),
        NONE(deleteMailbox, ("joe@x.org", "INBOX/Sent Items", "admin@x.org"),
             "DeleteMailbox joe@x.org MAILBOX \"INBOX/Sent Items\" AUTH admin@x.org"),
        NONE(deleteMailbox, ("joe@x.org", "INBOX/Sent Items", ""),
             "DeleteMailbox joe@x.org MAILBOX \"INBOX/Sent Items\""),
        NONE(deleteMailboxes, ("joe@x.org", "Archive", "admin@x.org"),
             "DeleteMailbox joe@x.org MAILBOXES \"Archive\" AUTH admin@x.org"),
        NONE(deleteMailboxes, ("joe@x.org", "Archive", ""), "DeleteMailbox joe@x.org MAILBOXES \"Archive\""),
        NONE(renameMailbox, ("joe@x.org", "INBOX/Sent Items", "New Name", "admin@x.org"),
             "RenameMailbox joe@x.org MAILBOX \"INBOX/Sent Items\" INTO \"New Name\" AUTH admin@x.org"),
        NONE(renameMailbox, ("joe@x.org", "INBOX/Sent Items", "New Name", ""),
             "RenameMailbox joe@x.org MAILBOX \"INBOX/Sent Items\" INTO \"New Name\""),
        NONE(renameMailboxes, ("joe@x.org", "Archive", "New Name", "admin@x.org"),
             "RenameMailbox joe@x.org MAILBOXES \"Archive\" INTO \"New Name\" AUTH admin@x.org"),
        NONE(renameMailboxes, ("joe@x.org", "Archive", "New Name", ""),
             "RenameMailbox joe@x.org MAILBOXES \"Archive\" INTO \"New Name\""),
        DATA(listMailboxes, ("joe@x.org", "I*", "admin@x.org"),
             "ListMailboxes joe@x.org FILTER \"I*\" AUTH admin@x.org"),
        DATA(listMailboxes, ("joe@x.org", "", ""), "ListMailboxes joe@x.org"),
        DATA(getMailboxInfo, ("joe@x.org", "INBOX/Sent Items", "admin@x.org"),
             "GetMailboxInfo joe@x.org MAILBOX \"INBOX/Sent Items\" AUTH admin@x.org"),
        DATA(getMailboxInfo, ("joe@x.org", "INBOX/Sent Items", ""),
             "GetMailboxInfo joe@x.org MAILBOX \"INBOX/Sent Items\""),
        NONE(updateMailboxInfo, ("joe@x.org", "INBOX/Sent Items", dictionary()),
             "UpdateMailboxInfo joe@x.org MAILBOX \"INBOX/Sent Items\" {Key = Value;}"),
        NONE(setMailboxClass, ("joe@x.org", "INBOX/Sent Items", "IPF.Contact", "admin@x.org"),
             "SetMailboxClass joe@x.org MAILBOX \"INBOX/Sent Items\" AUTH admin@x.org CLASS IPF.Contact"),
        NONE(setMailboxClass, ("joe@x.org", "INBOX/Sent Items", "IPF.Contact", ""),
             "SetMailboxClass joe@x.org MAILBOX \"INBOX/Sent Items\" CLASS IPF.Contact"),
        DATA(getMailboxACL, ("joe@x.org", "INBOX/Sent Items", "admin@x.org"),
             "GetMailboxACL joe@x.org MAILBOX \"INBOX/Sent Items\" AUTH admin@x.org"),
        DATA(getMailboxACL, ("joe@x.org", "INBOX/Sent Items", ""),
             "GetMailboxACL joe@x.org MAILBOX \"INBOX/Sent Items\""),
        NONE(setMailboxACL, ("joe@x.org", "INBOX/Sent Items", dictionary(), "admin@x.org"),
             "SetMailboxACL joe@x.org MAILBOX \"INBOX/Sent Items\" AUTH admin@x.org {Key = Value;}"),
        NONE(setMailboxACL, ("joe@x.org", "INBOX/Sent Items", dictionary(), ""),
             "SetMailboxACL joe@x.org MAILBOX \"INBOX/Sent Items\" {Key = Value;}"),
        COMPOSITE(mergeMailboxACL, ("joe@x.org", "INBOX", acl(), "admin@x.org"),
                  {{"GetMailboxACL joe@x.org MAILBOX \"INBOX\" AUTH admin@x.org", "201 {anyone = lr;}\r\n"},
                   {"SetMailboxACL joe@x.org MAILBOX \"INBOX\" AUTH admin@x.org {anyone = \"\";bob = lrsw;}", kNoneReply}}),
        COMPOSITE(mergeMailboxACL, ("joe@x.org", "INBOX", acl(), ""),
                  {{"GetMailboxACL joe@x.org MAILBOX \"INBOX\"", "201 {bob = l;}\r\n"},
                   {"SetMailboxACL joe@x.org MAILBOX \"INBOX\" {bob = lrsw;}", kNoneReply}}),
        TEXT(getMailboxRights, ("joe@x.org", "INBOX/Sent Items", "admin@x.org"),
             "GetMailboxRights joe@x.org MAILBOX \"INBOX/Sent Items\" AUTH admin@x.org"),
        DATA(getMailboxAliases, ("joe@x.org"), "GetMailboxAliases joe@x.org"),
        NONE(setMailboxAliases, ("joe@x.org", dictionary()), "setMailboxAliases joe@x.org {Key = Value;}"),

        // Domains, groups, forwarders and mailing lists.
        NONE(createDomain, ("x.org", dictionary()), "CreateDomain x.org {Key = Value;}"),
        NONE(createDomain, ("x.org", DataSet(DataSetKind::Dictionary)), "CreateDomain x.org"),
        NONE(createDomain, ("x.org", DataSet("a = b")), "CreateDomain x.org"),
        NONE(renameDomain, ("x.org", "jim@x.org"), "RenameDomain x.org into jim@x.org"),
        DATA(getDomainEffectiveSettings, ("x.org"), "getDomainEffectiveSettings x.org"),
        DATA(getDomainEffectiveSettings, (""), "getDomainEffectiveSettings"),
        NONE(setDomainAliases, ("x.org", array()), "SetDomainAliases x.org (one,\"two words\")"),
        NONE(setDomainAliases, ("", array()), "SetDomainAliases (one,\"two words\")"),
        DATA(getDomainRules, ("x.org"), "GetDomainRules x.org"),
        NONE(setDomainRules, ("x.org", array()), "SetDomainRules x.org (one,\"two words\")"),
        NONE(setDomainAlerts, ("x.org", dictionary()), "SetDomainAlerts x.org {Key = Value;}"),
        NONE(setDomainAlerts, ("", dictionary()), "SetDomainAlerts {Key = Value;}"),
        NONE(postDomainAlert, ("x.org", "hello world"), "PostDomainAlert x.org ALERT \"hello world\""),
        NONE(removeDomainAlert, ("x.org", "20261210T120000"), "RemoveDomainAlert x.org ALERT 20261210T120000"),
        NONE(insertDirectoryRecords, ("x.org"), "insertDirectoryRecords x.org"),
        NONE(insertDirectoryRecords, (""), "insertDirectoryRecords"),
        DATA(getAccountDefaults, ("x.org"), "GetAccountDefaults x.org"),
        DATA(getAccountDefaults, (""), "GetAccountDefaults"),
        NONE(setAccountTemplate, ("x.org", dictionary()), "SetAccountTemplate x.org {Key = Value;}"),
        NONE(setAccountTemplate, ("", dictionary()), "SetAccountTemplate {Key = Value;}"),
        DATA(getWebUserDefaults, ("x.org"), "GetWebUserDefaults x.org"),
        DATA(getWebUserDefaults, (""), "GetWebUserDefaults"),
        NONE(setWebUserDefaults, ("x.org", dictionary()), "SetWebUserDefaults x.org {Key = Value;}"),
        NONE(setWebUserDefaults, ("", dictionary()), "SetWebUserDefaults {Key = Value;}"),
        NONE(createGroup, ("staff@x.org", dictionary()), "CreateGroup staff@x.org {Key = Value;}"),
        NONE(setGroup, ("staff@x.org", dictionary()), "SetGroup staff@x.org {Key = Value;}"),
        NONE(renameGroup, ("staff@x.org", "jim@x.org"), "RenameGroup staff@x.org into jim@x.org"),
        NONE(deleteGroup, ("staff@x.org"), "DeleteGroup staff@x.org"),
        NONE(createForwarder, ("fwd@x.org", "bob@y.org"), "CreateForwarder fwd@x.org to bob@y.org"),
        TEXT(getForwarder, ("fwd@x.org"), "GetForwarder fwd@x.org"),
        NONE(deleteForwarder, ("fwd@x.org"), "DeleteForwarder fwd@x.org"),
        NONE(createList, ("news@x.org", "owner@x.org"), "CreateList news@x.org for owner@x.org"),
        NONE(renameList, ("news@x.org", "jim@x.org"), "RenameList news@x.org into jim@x.org"),
        NONE(updateList, ("news@x.org", dictionary()), "UpdateList news@x.org {Key = Value;}"),
        NONE(list, ("news@x.org", "subscribe", "sub@z.org", true, true),
             "List news@x.org subscribe silently confirm sub@z.org"),
        NONE(list, ("news@x.org", "subscribe", "sub@z.org", false, false), "List news@x.org subscribe sub@z.org"),
        DATA(listSubscribers, ("news@x.org", "I*", 10), "ListSubscribers news@x.org FILTER \"I*\" 10"),
        DATA(listSubscribers, ("news@x.org", "", 0), "ListSubscribers news@x.org"),
        DATA(listSubscribers, ("news@x.org", "", 10), "ListSubscribers news@x.org FILTER \"\" 10"),
        DATA(listSubscribers, ("news@x.org", "I*", -1), "ListSubscribers news@x.org FILTER \"I*\""),
        DATA(getSubscriberInfo, ("news@x.org", "sub@z.org"), "GetSubscriberInfo news@x.org NAME sub@z.org"),
        NONE(setPostingMode, ("news@x.org", "sub@z.org", "moderate"),
             "SetPostingMode news@x.org FOR sub@z.org moderate"),

        // Server and cluster settings, address lists, modules and the log.
        NONE(setClusterAccountDefaults, (dictionary()), "SetClusterAccountDefaults {Key = Value;}"),
        DATA(getClusterAccountDefaults, (), "GetClusterAccountDefaults"),
        DATA(getAllAccountsDefaults, (), "GetAllAccountsDefaults"),
        NONE(setClusterDomainDefaults, (dictionary()), "SetClusterDomainDefaults {Key = Value;}"),
        NONE(setDomainDefaults, (dictionary()), "SetDomainDefaults {Key = Value;}"),
        NONE(updateDomainDefaults, (dictionary()), "UpdateDomainDefaults {Key = Value;}"),
        NONE(setServerWebUserDefaults, (dictionary()), "SetServerWebUserDefaults {Key = Value;}"),
        DATA(getClusterWebUserDefaults, (), "GetClusterWebUserDefaults"),
        NONE(setDirectoryIntegration, (dictionary()), "SetDirectoryIntegration {Key = Value;}"),
        DATA(getClusterDirectoryIntegration, (), "GetClusterDirectoryIntegration"),
        NONE(setWhiteHoleIPs, ("10.0.0.1, 10.1.0.0/16"), "SetWhiteHoleIPs \"10.0.0.1, 10.1.0.0/16\""),
        NONE(setClusterWhiteHoleIPs, ("10.0.0.1, 10.1.0.0/16"), "SetClusterWhiteHoleIPs \"10.0.0.1, 10.1.0.0/16\""),
        NONE(setClusterClientIPs, ("10.0.0.1, 10.1.0.0/16"), "SetClusterClientIPs \"10.0.0.1, 10.1.0.0/16\""),
        NONE(setModule, ("SMTP", dictionary()), "SetModule SMTP {Key = Value;}"),
        NONE(writeLog, (5, "hello"), "WriteLog 5 hello"),
        NONE(writeLog, (-1, "a\\b\n"), "WriteLog -1 \"a\\\\\\\\b\\\\e\""),

        // Skins and web files.
        NONE(createServerSkin, ("My Skin"), "CreateServerSkin \"My Skin\""),
        NONE(renameServerSkin, ("My Skin", "New Name"), "RenameServerSkin \"My Skin\" INTO \"New Name\""),
        NONE(deleteServerSkin, ("My Skin"), "DeleteServerSkin \"My Skin\""),
        DATA(listServerSkinFiles, ("My Skin"), "ListServerSkinFiles \"My Skin\""),
        DATA(readServerSkinFile, ("My Skin", "login.wssp"), "ReadServerSkinFile \"My Skin\" FILE \"login.wssp\""),
        NONE(storeServerSkinFile, ("My Skin", "login.wssp", "<b class=\"x\">\\\\"),
             "StoreServerSkinFile \"My Skin\" FILE \"login.wssp\" DATA \"<b class=\"x\">\\\\\""),
        NONE(deleteServerSkinFile, ("My Skin", "login.wssp"),
             "StoreServerSkinFile \"My Skin\" FILE \"login.wssp\" DELETE"),
        NONE(renameClusterSkin, ("My Skin", "New Name"), "RenameClusterSkin \"My Skin\" INTO \"New Name\""),
        DATA(readClusterSkinFile, ("My Skin", "login.wssp"), "ReadClusterSkinFile \"My Skin\" FILE \"login.wssp\""),
        NONE(deleteClusterSkinFile, ("My Skin", "login.wssp"),
             "StoreClusterSkinFile \"My Skin\" FILE \"login.wssp\" DELETE"),
        NONE(createDomainSkin, ("x.org", "My Skin"), "CreateDomainSkin x.org SKIN \"My Skin\""),
        NONE(createDomainSkin, ("", "My Skin"), "CreateDomainSkin \"My Skin\""),
        NONE(renameDomainSkin, ("x.org", "My Skin", "New Name"),
             "RenameDomainSkin x.org SKIN \"My Skin\" INTO \"New Name\""),
        NONE(renameDomainSkin, ("", "My Skin", "New Name"), "RenameDomainSkin \"My Skin\" INTO \"New Name\""),
        NONE(deleteDomainSkin, ("x.org", "My Skin"), "DeleteDomainSkin x.org SKIN \"My Skin\""),
        NONE(deleteDomainSkin, ("", "My Skin"), "DeleteDomainSkin \"My Skin\""),
        DATA(listDomainSkinFiles, ("x.org", "My Skin"), "ListDomainSkinFiles x.org SKIN \"My Skin\""),
        DATA(listDomainSkinFiles, ("", "My Skin"), "ListDomainSkinFiles \"My Skin\""),
        DATA(readDomainSkinFile, ("x.org", "My Skin", "login.wssp"),
             "ReadDomainSkinFile x.org SKIN \"My Skin\" FILE \"login.wssp\""),
        DATA(readDomainSkinFile, ("", "My Skin", "login.wssp"), "ReadDomainSkinFile \"My Skin\" FILE \"login.wssp\""),
        NONE(storeDomainSkinFile, ("x.org", "My Skin", "login.wssp", "<b class=\"x\">\\\\"),
             "StoreDomainSkinFile x.org SKIN \"My Skin\" FILE \"login.wssp\" DATA \"<b class=\"x\">\\\\\""),
        NONE(storeDomainSkinFile, ("", "My Skin", "login.wssp", "<b class=\"x\">\\\\"),
             "StoreDomainSkinFile \"My Skin\" FILE \"login.wssp\" DATA \"<b class=\"x\">\\\\\""),
        NONE(deleteDomainSkinFile, ("x.org", "My Skin", "login.wssp"),
             "StoreDomainSkinFile x.org SKIN \"My Skin\" FILE \"login.wssp\" DELETE"),
        NONE(deleteDomainSkinFile, ("", "My Skin", "login.wssp"),
             "StoreDomainSkinFile \"My Skin\" FILE \"login.wssp\" DELETE"),
        TEXT(getWebUserInterface, ("x.org", "login.wssp"), "GetWebUserInterface x.org FILE \"login.wssp\""),
        NONE(deleteWebUserInterface, ("x.org", "login.wssp"), "DeleteWebUserInterface x.org FILE \"login.wssp\""),
        DATA(listWebFiles, ("joe@x.org", "docs/"), "ListWebFiles joe@x.org PATH \"docs/\""),
        DATA(listWebFiles, ("joe@x.org", ""), "ListWebFiles joe@x.org"),
        DATA(getWebFile, ("joe@x.org", "login.wssp"), "GetWebFile joe@x.org FILE \"login.wssp\""),
        DATA(getWebFilePart, ("joe@x.org", "login.wssp", 4096u, 100u),
             "GetWebFile joe@x.org FILE \"login.wssp\" OFFSET 4096 SIZE 100"),
        NONE(putWebFile, ("joe@x.org", "login.wssp", "SGVsbG8="),
             "PutWebFile joe@x.org FILE \"login.wssp\" DATA SGVsbG8="),
        NONE(putWebFileAt, ("joe@x.org", "login.wssp", "SGVsbG8=", 4096u),
             "PutWebFile joe@x.org FILE \"login.wssp\" OFFSET 4096 DATA SGVsbG8="),
        NONE(renameWebFile, ("joe@x.org", "login.wssp", "New Name"),
             "RenameWebFile joe@x.org FILE \"login.wssp\" INTO \"New Name\""),
        NONE(deleteWebFile, ("joe@x.org", "login.wssp"), "DeleteWebFile joe@x.org FILE \"login.wssp\""),
    };
    return rows;
}

#undef NONE
#undef DATA
#undef TEXT
#undef BOOL
#undef COMPOSITE

TEST(CliCommandTableThreadTest, EveryMethodSendsItsLineAndReadsItsResult) {
    const std::vector<Row>& rows = commandTable();
    ConnectionScript script = clitest::loggedIn();
    std::vector<std::string> expected{clitest::kApopLine, "inline"};
    for (const Row& row : rows) {
        for (const Exchange& exchange : row.exchanges) {
            // Any line gets its row's reply, so one wrong line shows alone instead of ending the
            // session; the lines are compared below.
            script.expectLine().send(exchange.reply);
            expected.push_back(exchange.line);
        }
    }
    clitest::quits(script);
    expected.push_back("Quit");
    ScriptedServer server({script});
    {
        CLI client = clitest::connectTo(server);
        for (const Row& row : rows) {
            SCOPED_TRACE(row.method);
            row.callAndCheck(client);
        }
    }
    ASSERT_TRUE(server.waitUntilDone(Milliseconds(5000)));

    std::vector<std::string> sent = server.lines(0);
    ASSERT_EQ(sent.size(), expected.size());
    std::size_t at = 2;
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < row.exchanges.size(); ++i, ++at)
            EXPECT_EQ(sent[at], expected[at]) << row.method;
    }
    EXPECT_EQ(sent.back(), "Quit");
}

TEST(CliCommandTableThreadTest, TheTableHoldsEveryCommandMethodOnce) {
    std::set<std::string> names;
    std::string previous;
    for (const Row& row : commandTable()) {
        // A method's second row (optional elements left out) follows its first.
        if (row.method != previous) {
            EXPECT_TRUE(names.insert(row.method).second) << row.method << " twice";
        }
        previous = row.method;
    }
    EXPECT_EQ(names.size(), 223u);
}

}  // namespace
