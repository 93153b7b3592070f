#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/command_line.h"
#include "cli_test_server.h"
#include "foundation/exception.h"

namespace {

using cgp::CLI;
using cgp::DataSet;
using cgp::DataSetKind;
using cgp::cli_internal::Command;
using clitest::ConnectionScript;
using clitest::Milliseconds;
using clitest::ScriptedServer;
using Lines = std::vector<std::string>;

void expectRefused(const std::function<void()>& action) {
    try {
        action();
        ADD_FAILURE() << "not refused";
    } catch (const tmg::ProtocolException& e) {
        EXPECT_EQ(e.getMessage(), "invalid or missing argument");
        EXPECT_EQ(e.getCode(), 0);
    }
}

TEST(CliCommandThreadTest, ResultsThroughTheBuilder) {
    ConnectionScript script = clitest::loggedIn();
    script.expectLine("GetModule SMTP").send("201 {Log = All;}\r\n");
    script.expectLine("GetSNMPElement a").send("201 abc\r\n");
    script.expectLine("GetSNMPElement b").send("201 [SGVsbG8=]\r\n");
    script.expectLine("GetSNMPElement c").send("201 {a = b;}\r\n");
    script.expectLine("GetSNMPElement d").send("200 OK\r\n\"x y\"\r\n");
    script.expectLine("UpdateModule SMTP {Log = Low;}").send("520 no such module \r\n");
    script.expectLine("RejectQueueMessage 12 \"spam\\eand \\\"more\\\"\"").send("200 OK\r\n");
    script.expectLine("Noop").send("200 OK\r\n");
    clitest::quits(script);
    ScriptedServer server({script});
    CLI client = clitest::connectTo(server);

    DataSet module = Command(client, "GetModule").word("SMTP").resultDataSet();
    EXPECT_EQ(DataSet::toString(module, false), "{Log = All;}");
    EXPECT_EQ(Command(client, "GetSNMPElement").word("a").resultString(), "abc");
    EXPECT_EQ(Command(client, "GetSNMPElement").word("b").resultString(), "Hello");
    EXPECT_EQ(Command(client, "GetSNMPElement").word("c").resultString(), "");
    EXPECT_EQ(Command(client, "GetSNMPElement").word("d").resultString(), "x y");

    DataSet settings(DataSetKind::Dictionary);
    settings->dictionary["Log"] = DataSet("Low");
    try {
        Command(client, "UpdateModule").word("SMTP").dataSet(settings, DataSetKind::Dictionary).resultNone();
        ADD_FAILURE() << "no exception";
    } catch (const cgp::CLIException& e) {
        EXPECT_EQ(e.getCode(), 520);
        EXPECT_EQ(e.getMessage(), "no such module");
    }
    // The client stays usable after an error reply and after a refused argument.
    expectRefused([&] {
        Command(client, "UpdateModule").word("SMTP").dataSet(DataSet(DataSetKind::Dictionary), DataSetKind::Dictionary)
            .resultNone();
    });
    expectRefused([&] { Command(client, "GetModule").word("").resultDataSet(); });
    Command(client, "RejectQueueMessage").word("12").when(true).quoted("spam\r\nand \"more\"").end().resultNone();
    client.execute("Noop");
    EXPECT_TRUE(server.waitForLines(10, Milliseconds(5000)));
}

TEST(CliCommandThreadTest, LineBreaksInArgumentsAreRefusedUnsent) {
    const std::string breaks[] = {"\r", "\n", std::string(1, '\0'), "\r\n"};
    struct Form { const char* name; std::function<void(CLI&, const std::string&)> send; };
    const Form forms[] = {
        {"word", [](CLI& c, const std::string& t) { Command(c, "GetAccountSettings").word(t).resultDataSet(); }},
        {"in quotes", [](CLI& c, const std::string& t) { Command(c, "SetClientIPs").inQuotes(t).resultNone(); }},
        {"optional word", [](CLI& c, const std::string& t) { Command(c, "ListAccounts").when(true).word(t).end().resultDataSet(); }},
        {"sendCommand", [](CLI& c, const std::string& t) { c.sendCommand("Noop" + t); }},
        {"execute", [](CLI& c, const std::string& t) { c.execute("DeleteAccount a" + t + "Shutdown"); }},
        {"sendLine", [](CLI& c, const std::string& t) { c.sendLine(t + "Shutdown"); }},
    };
    ConnectionScript script = clitest::loggedIn();
    std::size_t sentinels = std::size(breaks) * std::size(forms);
    for (std::size_t i = 0; i < sentinels; ++i) script.expectLine("Noop").send("200 OK\r\n");
    clitest::quits(script);
    ScriptedServer server({script});
    CLI client = clitest::connectTo(server);
    for (const Form& form : forms) {
        for (const std::string& bad : breaks) {
            SCOPED_TRACE(std::string(form.name) + " " + std::to_string(static_cast<int>(bad[0])));
            expectRefused([&] { form.send(client, "a" + bad + "Shutdown"); });
            // Nothing went out: the next line the server gets is the sentinel.
            client.execute("Noop");
        }
    }
    client.quit();
    EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));
    Lines expected{clitest::kApopLine, "inline"};
    expected.insert(expected.end(), sentinels, "Noop");
    expected.push_back("Quit");
    EXPECT_EQ(server.lines(0), expected);
    EXPECT_EQ(server.received(0).find('\0'), std::string::npos);
}

TEST(CliCommandThreadTest, LineBreaksInLoginValuesCloseWithoutQuit) {
    struct Case { const char* name; CLI::LoginMethod method; std::string user, password; Lines sent; };
    const Case cases[] = {
        {"APOP user", CLI::LoginApop, "joe\r\nShutdown", "pw", {}},
        {"user", CLI::LoginUser, "joe\nShutdown", "pw", {}},
        {"pass", CLI::LoginUser, "joe", std::string("pw\0x", 4), {"user joe"}},
        {"web user", CLI::LoginWebUser, "joe", "pw\rShutdown", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectionScript script = ConnectionScript().send(clitest::kGreeting);
        if (c.method == CLI::LoginUser && !c.sent.empty()) script.expectLine().send("300 go on\r\n");
        ScriptedServer server({script});
        expectRefused([&] { CLI client("127.0.0.1", server.port(), c.user, c.password, c.method); });
        EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));
        EXPECT_EQ(server.lines(0), c.sent);
    }
    // The APOP line carries a digest of the password, not the password: any bytes will do.
    ConnectionScript script = ConnectionScript().send(clitest::kGreeting).expectLine().send("200 OK\r\n")
                                  .expectLine("inline").send("200 OK\r\n");
    clitest::quits(script);
    ScriptedServer server({script});
    { CLI client("127.0.0.1", server.port(), "joe", "pw\r\nShutdown", CLI::LoginApop); }
    EXPECT_TRUE(server.waitUntilDone(Milliseconds(5000)));
    EXPECT_EQ(server.lines(0).size(), 3u);
}

}  // namespace
