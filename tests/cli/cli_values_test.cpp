#include "cli/cli.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "foundation/exception.h"

namespace {

using cgp::CLI;
using cgp::DataSet;
using cgp::DataSetKind;

// A copy would close the one descriptor twice.
static_assert(!std::is_copy_constructible_v<CLI> && !std::is_copy_assignable_v<CLI>);
static_assert(CLI::LoginUser == 0 && CLI::LoginApop == 1 && CLI::LoginWebUser == 2);

TEST(CliValuesTest, QuoteAndNeedsQuoting) {
    struct Case { std::string text; std::string quoted; bool needsQuoting; };
    const Case cases[] = {
        {"", "\"\"", true},
        {"abcXYZ", "abcXYZ", false},
        {"a_1.b", "a_1.b", false},
        {"user@example.com", "\"user@example.com\"", false},
        {"a-b", "\"a-b\"", false},
        {"a b", "\"a b\"", true},
        {"a\"b", "\"a\\\"b\"", true},
        {"caf\xc3\xa9", "\"caf\xc3\xa9\"", true},
        {"x\ny", "\"x\\ey\"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CLI::quote(c.text), c.quoted);
        EXPECT_EQ(CLI::needsQuoting(c.text), c.needsQuoting);
    }
}

TEST(CliValuesTest, TextAndData) {
    DataSet value(DataSetKind::Dictionary);
    value->dictionary["k"] = DataSet("a b");
    EXPECT_EQ(CLI::toText(value), "{k = \"a b\";}");
    DataSet parsed = CLI::parseData("{k = \"a b\";}\r\n");
    EXPECT_TRUE(parsed->equals(value));
    EXPECT_EQ(CLI::parseData("(unterminated\r\n").kind(), DataSetKind::Empty);
}

TEST(CliValuesTest, ArgumentChecks) {
    auto refused = [](const std::function<void()>& check) {
        try {
            check();
        } catch (const tmg::ProtocolException& e) {
            return e.getMessage() == "invalid or missing argument" && e.getCode() == 0;
        }
        return false;
    };
    DataSet array(DataSetKind::Array);
    array->array.push_back(DataSet("x"));
    EXPECT_TRUE(refused([] { CLI::requireString(""); }));
    EXPECT_FALSE(refused([] { CLI::requireString("a"); }));
    EXPECT_TRUE(refused([] { CLI::requireDataSet(DataSet(DataSetKind::Array), DataSetKind::Array); }));
    EXPECT_TRUE(refused([&] { CLI::requireDataSet(array, DataSetKind::Dictionary); }));
    EXPECT_TRUE(refused([&] { CLI::requireDataSet(array, DataSetKind::Data); }));
    EXPECT_FALSE(refused([&] { CLI::requireDataSet(array, DataSetKind::Array); }));
}

TEST(CliValuesTest, DescribeCurrentException) {
    auto describe = [](const std::function<void()>& thrower) {
        try {
            thrower();
        } catch (...) {
            return CLI::describeCurrentException();
        }
        return std::string("nothing thrown");
    };
    EXPECT_EQ(describe([] { throw tmg::InvalidLoginException("Invalid username or password (x)"); }),
              "Invalid username or password");
    EXPECT_EQ(describe([] { throw cgp::CLIException("unknown account", 513); }), "unknown account");
    EXPECT_EQ(describe([] { throw tmg::InvalidServerResponseException("odd"); }), "odd");
    EXPECT_EQ(describe([] { throw tmg::InvalidServerPromptException(); }), "InvalidServerPromptException");
    EXPECT_EQ(describe([] { throw tmg::UnableToConnectException(); }), "Unable to connect to server");
    EXPECT_EQ(describe([] { throw tmg::ConnectionResetException(); }), "Connection with the server has reset");
    EXPECT_EQ(describe([] { throw tmg::SocketException("Invalid IP Address"); }), "Unhandled error");
    EXPECT_EQ(describe([] { throw tmg::UnableToResolveAddressException(); }), "Unhandled error");
    EXPECT_THROW(describe([] { throw tmg::Exception("Invalid Dataset Type", 0); }), tmg::Exception);
    EXPECT_THROW(describe([] { throw std::runtime_error("x"); }), std::runtime_error);
    EXPECT_EQ(CLI::describeCurrentException(), "");
}

}  // namespace
