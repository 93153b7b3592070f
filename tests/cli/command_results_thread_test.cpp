// What the command methods make of the server's replies: string results, the two composites
// that read a list and write it back, the password check and the cluster probe.

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
using Lines = std::vector<std::string>;

DataSet strings(const std::vector<std::string>& texts) {
    DataSet value(DataSetKind::Array);
    for (const std::string& text : texts) value->array.push_back(DataSet(text));
    return value;
}

DataSet rights(const std::vector<std::pair<std::string, std::string>>& entries) {
    DataSet value(DataSetKind::Dictionary);
    for (const auto& entry : entries) value->dictionary[entry.first] = DataSet(entry.second);
    return value;
}

void expectRefused(const std::function<void()>& action) {
    try {
        action();
        ADD_FAILURE() << "not refused";
    } catch (const tmg::ProtocolException& e) {
        EXPECT_EQ(e.getMessage(), "invalid or missing argument");
    }
}

// One exchange of a case: the line the client must send and the reply it gets.
struct Step {
    std::string line;
    std::string reply;
};

// Plays the steps, then a sentinel "Noop", so a case that sends one line too many or too few
// shows in the recording; returns the lines sent after the login.
Lines play(const std::vector<Step>& steps, const std::function<void(CLI&)>& action) {
    ConnectionScript script = clitest::loggedIn();
    for (const Step& step : steps) script.expectLine().send(step.reply);
    script.expectLine().send("200 OK\r\n");
    clitest::quits(script);
    ScriptedServer server({script});
    {
        CLI client = clitest::connectTo(server);
        action(client);
        client.execute("Noop");
    }
    EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));
    Lines sent = server.lines(0);
    return Lines(sent.begin() + std::min<std::size_t>(2, sent.size()), sent.end());
}

Lines linesOf(const std::vector<Step>& steps) {
    Lines lines;
    for (const Step& step : steps) lines.push_back(step.line);
    lines.push_back("Noop");
    lines.push_back("Quit");
    return lines;
}

TEST(CliStringResultThreadTest, StringValueOfTheParsedReply) {
    struct Case { const char* reply; std::string text; };
    const Case cases[] = {
        {"201 \"a text\"\r\n", "a text"},
        {"201 word\r\n", "word"},
        {"201 [SGVsbG8=]\r\n", "Hello"},
        {"201 {a = b;}\r\n", ""},
        {"201 (a,b)\r\n", ""},
        {"200 OK\r\n\"on the next line\"\r\n", "on the next line"},
        {"200 OK\r\n[AAEC]\r\n", std::string("\0\1\2", 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        std::string text;
        Lines sent = play({{"GetForwarder fwd@x.org", c.reply}},
                          [&](CLI& client) { text = client.getForwarder("fwd@x.org"); });
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(sent, linesOf({{"GetForwarder fwd@x.org", ""}}));
    }
}

TEST(CliStringResultThreadTest, ErrorReplyKeepsTheClientUsable) {
    Lines sent = play({{"GetWebUserInterface x.org FILE \"a\"", "512 unknown file \r\n"}}, [](CLI& client) {
        try {
            client.getWebUserInterface("x.org", "a");
            ADD_FAILURE() << "no exception";
        } catch (const cgp::CLIException& e) {
            EXPECT_EQ(e.getCode(), 512);
            EXPECT_EQ(e.getMessage(), "unknown file");
        }
    });
    EXPECT_EQ(sent, linesOf({{"GetWebUserInterface x.org FILE \"a\"", ""}}));
}

struct CompositeCase {
    const char* what;
    std::vector<Step> steps;
    std::function<void(CLI&)> action;
};

void runComposites(const std::vector<CompositeCase>& cases) {
    for (const CompositeCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(play(c.steps, c.action), linesOf(c.steps));
    }
}

TEST(CliCompositeThreadTest, AddAccountSubscription) {
    const std::string get = "GetAccountSubscription joe@x.org";
    auto add = [](DataSet mailboxes) {
        return [mailboxes](CLI& client) { client.addAccountSubscription("joe@x.org", mailboxes); };
    };
    auto addRefused = [](DataSet mailboxes) {
        return [mailboxes](CLI& client) {
            expectRefused([&] { client.addAccountSubscription("joe@x.org", mailboxes); });
        };
    };
    runComposites({
        {"a String present: nothing more sent", {{get, "201 (Sent,INBOX)\r\n"}}, add(DataSet("INBOX"))},
        {"a String absent: added last, the server's order kept",
         {{get, "201 (Sent,INBOX)\r\n"}, {"SetAccountSubscription joe@x.org (Sent,INBOX,Drafts)", "200 OK\r\n"}},
         add(DataSet("Drafts"))},
        {"letter case counts",
         {{get, "201 (inbox)\r\n"}, {"SetAccountSubscription joe@x.org (inbox,INBOX)", "200 OK\r\n"}},
         add(DataSet("INBOX"))},
        {"an Array: sorted, each name once",
         {{get, "201 (Sent,INBOX,Sent)\r\n"},
          {"SetAccountSubscription joe@x.org (Drafts,INBOX,Sent,\"a b\")", "200 OK\r\n"}},
         add(strings({"a b", "INBOX", "Drafts"}))},
        {"an empty Array on a subscription: rewritten sorted",
         {{get, "201 (b,a)\r\n"}, {"SetAccountSubscription joe@x.org (a,b)", "200 OK\r\n"}},
         add(DataSet(DataSetKind::Array))},
        {"an empty list: one line sent, then the check", {{get, "201 ()\r\n"}}, addRefused(DataSet(DataSetKind::Array))},
        {"a reply that is no list is not overwritten", {{get, "201 {a = b;}\r\n"}}, addRefused(DataSet("INBOX"))},
        {"nor by an Array", {{get, "201 {a = b;}\r\n"}}, addRefused(strings({"INBOX"}))},
        {"an error of the first command sends nothing more", {{get, "512 no such account\r\n"}},
         [](CLI& client) { EXPECT_THROW(client.addAccountSubscription("joe@x.org", DataSet("x")), cgp::CLIException); }},
    });
}

TEST(CliCompositeThreadTest, MergeMailboxACL) {
    const std::string get = "GetMailboxACL joe@x.org MAILBOX \"INBOX\"";
    const std::string set = "SetMailboxACL joe@x.org MAILBOX \"INBOX\"";
    auto merge = [](DataSet acl, std::string authAccount) {
        return [acl, authAccount](CLI& client) { client.mergeMailboxACL("joe@x.org", "INBOX", acl, authAccount); };
    };
    auto mergeRefused = [](DataSet acl) {
        return [acl](CLI& client) { expectRefused([&] { client.mergeMailboxACL("joe@x.org", "INBOX", acl, ""); }); };
    };
    runComposites({
        {"identities the acl does not name keep no rights",
         {{get, "201 {anyone = lr;Bob = lrs;}\r\n"}, {set + " {Bob = \"\";anyone = \"\";bob = lrsw;}", "200 OK\r\n"}},
         merge(rights({{"bob", "lrsw"}}), "")},
        {"named identities take the given rights",
         {{get, "201 {anyone = lr;bob = l;}\r\n"}, {set + " {anyone = l;bob = lrsw;}", "200 OK\r\n"}},
         merge(rights({{"bob", "lrsw"}, {"anyone", "l"}}), "")},
        {"with AUTH on both commands",
         {{get + " AUTH admin@x.org", "201 {anyone = lr;}\r\n"},
          {set + " AUTH admin@x.org {anyone = \"\";bob = lrsw;}", "200 OK\r\n"}},
         merge(rights({{"bob", "lrsw"}}), "admin@x.org")},
        {"an empty acl empties every right",
         {{get, "201 {anyone = lr;}\r\n"}, {set + " {anyone = \"\";}", "200 OK\r\n"}},
         merge(DataSet(DataSetKind::Dictionary), "")},
        {"an empty acl on an empty list: one line sent, then the check", {{get, "201 {}\r\n"}},
         mergeRefused(DataSet(DataSetKind::Dictionary))},
        {"an acl of the wrong kind: nothing sent", {}, mergeRefused(strings({"bob"}))},
        {"a null acl: nothing sent", {}, mergeRefused(DataSet())},
        {"a reply that is no Dictionary is not overwritten", {{get, "201 (anyone)\r\n"}},
         mergeRefused(rights({{"bob", "l"}}))},
    });
}

TEST(CliVerifyAccountPasswordThreadTest, RefusalCodesGiveFalse) {
    const std::string line = "VerifyAccountPassword joe@x.org PASSWORD secret";
    struct Case { const char* reply; bool result; };
    for (const Case& c : {Case{"200 OK\r\n", true}, Case{"515 wrong password\r\n", false},
                          Case{"513 unknown account\r\n", false}}) {
        SCOPED_TRACE(c.reply);
        bool result = !c.result;
        EXPECT_EQ(play({{line, c.reply}}, [&](CLI& client) { result = client.verifyAccountPassword("joe@x.org", "secret"); }),
                  linesOf({{line, ""}}));
        EXPECT_EQ(result, c.result);
    }
    play({{line, "520 server busy\r\n"}}, [](CLI& client) {
        try {
            client.verifyAccountPassword("joe@x.org", "secret");
            ADD_FAILURE() << "no exception";
        } catch (const cgp::CLIException& e) {
            EXPECT_EQ(e.getCode(), 520);
            EXPECT_EQ(e.getMessage(), "server busy");
        }
    });
}

TEST(CliVerifyAccountPasswordThreadTest, FailuresAfterARefusalAreNoWrongPassword) {
    const std::string line = "VerifyAccountPassword joe@x.org PASSWORD secret";
    // A 515 leaves replyCode at 515; a reply that never comes must not read as that refusal.
    ConnectionScript script = clitest::loggedIn();
    script.expectLine(line).send("515 wrong password\r\n").expectLine(line).send("20").close();
    ScriptedServer server({script});
    {
        CLI client = clitest::connectTo(server);
        EXPECT_FALSE(client.verifyAccountPassword("joe@x.org", "secret"));
        EXPECT_THROW(client.verifyAccountPassword("joe@x.org", "secret"), tmg::ConnectionResetException);
    }
    EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));

    // Nor a garbled one.
    Lines sent = play({{line, "515 wrong password\r\n"}, {line, "garbage\r\n"}}, [&](CLI& client) {
        EXPECT_FALSE(client.verifyAccountPassword("joe@x.org", "secret"));
        try {
            client.verifyAccountPassword("joe@x.org", "secret");
            ADD_FAILURE() << "no exception";
        } catch (const tmg::ProtocolException& e) {
            EXPECT_EQ(typeid(e), typeid(tmg::ProtocolException));
            EXPECT_EQ(e.getMessage(), "garbage\r\n");
        }
    });
    EXPECT_EQ(sent, linesOf({{line, ""}, {line, ""}}));
}

TEST(CliClusterProbeThreadTest, SuccessCodesSayCluster) {
    struct Case { const char* reply; bool cluster; };
    for (const Case& c : {Case{"200 OK\r\n", true}, Case{"201 {Key = Value;}\r\n", true},
                          Case{"500 unknown command\r\n", false}, Case{"512 not a cluster\r\n", false}}) {
        SCOPED_TRACE(c.reply);
        bool cluster = !c.cluster;
        Lines sent = play({{"GetClusterDomainDefaults", c.reply}},
                          [&](CLI& client) { cluster = client.tryGetClusterDomainDefaults(); });
        EXPECT_EQ(cluster, c.cluster);
        EXPECT_EQ(sent, linesOf({{"GetClusterDomainDefaults", ""}}));
    }
    // The data of a 201 is left unread in replyData.
    play({{"GetClusterDomainDefaults", "201 {Key = Value;}\r\n"}}, [](CLI& client) {
        EXPECT_TRUE(client.tryGetClusterDomainDefaults());
        EXPECT_EQ(client.replyData, "{Key = Value;}\r\n");
    });
}

TEST(CliClusterProbeThreadTest, MalformedReplyThrows) {
    play({{"GetClusterDomainDefaults", "not a reply\r\n"}, {"GetClusterDomainDefaults", " 200 OK\r\n"}},
         [](CLI& client) {
             EXPECT_THROW(client.tryGetClusterDomainDefaults(), tmg::ProtocolException);
             EXPECT_THROW(client.tryGetClusterDomainDefaults(), tmg::InvalidServerResponseException);
         });
}

}  // namespace
