#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <locale>
#include <sstream>
#include <string>

#include "foundation/exception.h"

namespace {

using cgp::DataSet;
using cgp::DataSetKind;
using cgp::cli_internal::CommandLine;

DataSet array(std::initializer_list<const char*> elements) {
    DataSet value(DataSetKind::Array);
    for (const char* e : elements) value->array.push_back(DataSet(e));
    return value;
}

DataSet dictionary(std::initializer_list<std::pair<const char*, const char*>> entries) {
    DataSet value(DataSetKind::Dictionary);
    for (const auto& e : entries) value->dictionary[e.first] = DataSet(e.second);
    return value;
}

void expectInvalidArgument(void (*build)()) {
    try {
        build();
        ADD_FAILURE() << "no exception";
    } catch (const tmg::ProtocolException& e) {
        EXPECT_EQ(e.getMessage(), "invalid or missing argument");
        EXPECT_EQ(e.getCode(), 0);
    }
}

TEST(CommandLineTest, ArgumentForms) {
    struct Case { std::string built; std::string expected; };
    const Case cases[] = {
        {CommandLine("Shutdown").text(), "Shutdown"},
        {CommandLine("deleteList").word("list@example.com").text(), "deleteList list@example.com"},
        {CommandLine("RenameAccount").word("a").keyword("into").word("b").text(), "RenameAccount a into b"},
        // word and in quotes: nothing escaped.
        {CommandLine("X").word("a\"b\\c d").text(), "X a\"b\\c d"},
        {CommandLine("SetClientIPs").inQuotes("1.2.3.4 \"x\" \\").text(), "SetClientIPs \"1.2.3.4 \"x\" \\\""},
        // quoted: the dataset writer's one-line string.
        {CommandLine("X").quoted("abc_1.2").text(), "X abc_1.2"},
        {CommandLine("X").quoted("a b").text(), "X \"a b\""},
        {CommandLine("X").quoted("a-b@c").text(), "X \"a-b@c\""},
        {CommandLine("SetRouterTable").quoted("<a>=b\n<c>=d\n").text(), "SetRouterTable \"<a>=b\\e<c>=d\\e\""},
        {CommandLine("X").quoted("q\"\\\t\r").text(), "X \"q\\\"\\\\\\t\""},
        {CommandLine("X").quoted(std::string("n\0l", 3)).text(), "X \"n\\0l\""},
        // dataset: one-line form.
        {CommandLine("SetServerRules").dataSet(array({"a b", "c"}), DataSetKind::Array).text(),
         "SetServerRules (\"a b\",c)"},
        {CommandLine("UpdateModule").word("SMTP").dataSet(dictionary({{"k", "v"}, {"a", "1 2"}}), DataSetKind::Dictionary).text(),
         "UpdateModule SMTP {a = \"1 2\";k = v;}"},
        {CommandLine("X").dataSet(DataSet("s"), DataSetKind::String).text(), "X s"},
        {CommandLine("SetAccountRules").word("a").dataSetOfKind(array({}), DataSetKind::Array).text(),
         "SetAccountRules a ()"},
        // numbers.
        {CommandLine("WriteLog").number(std::int32_t{5}).quoted("text").text(), "WriteLog 5 text"},
        {CommandLine("WriteLog").number(std::int32_t{-1}).text(), "WriteLog -1"},
        {CommandLine("X").number(std::numeric_limits<std::int32_t>::min()).text(), "X -2147483648"},
        {CommandLine("X").number(std::uint64_t{0}).number(std::numeric_limits<std::uint64_t>::max()).text(),
         "X 0 18446744073709551615"},
        // optional groups: written under their condition only, never checked.
        {CommandLine("ListMailboxes").word("a").when(false).keyword("FILTER").inQuotes("f").end()
             .when(true).keyword("AUTH").word("b").end().text(),
         "ListMailboxes a AUTH b"},
        {CommandLine("ListSubscribers").word("l").when(true).keyword("FILTER").inQuotes("").end()
             .when(true).number(std::int32_t{10}).end().text(),
         "ListSubscribers l FILTER \"\" 10"},
        {CommandLine("CreateDomain").word("d").when(false).dataSet(DataSet(DataSetKind::Dictionary)).end().text(),
         "CreateDomain d"},
        {CommandLine("RejectQueueMessage").word("m").when(true).quoted("").end().text(), "RejectQueueMessage m \"\""},
        {CommandLine("CreateDomainSkin").when(true).word("d").keyword("SKIN").end().inQuotes("s").text(),
         "CreateDomainSkin d SKIN \"s\""},
        {CommandLine("X").when(true).word("").dataSet(DataSet()).end().text(), "X  "},
    };
    for (const Case& c : cases) EXPECT_EQ(c.built, c.expected);
}

TEST(CommandLineTest, RequiredArgumentsAreChecked) {
    expectInvalidArgument([] { CommandLine("X").word(""); });
    expectInvalidArgument([] { CommandLine("X").quoted(""); });
    expectInvalidArgument([] { CommandLine("X").inQuotes(""); });
    expectInvalidArgument([] { CommandLine("X").dataSet(DataSet(), DataSetKind::Dictionary); });
    expectInvalidArgument([] { CommandLine("X").dataSet(DataSet(DataSetKind::Dictionary), DataSetKind::Dictionary); });
    expectInvalidArgument([] { CommandLine("X").dataSet(array({"a"}), DataSetKind::Dictionary); });
    expectInvalidArgument([] { CommandLine("X").dataSet(array({}), DataSetKind::Array); });
    expectInvalidArgument([] { CommandLine("X").dataSet(dictionary({{"a", "b"}}), DataSetKind::Array); });
    expectInvalidArgument([] { CommandLine("X").dataSet(DataSet(""), DataSetKind::String); });
    expectInvalidArgument([] { CommandLine("X").dataSet(DataSet(DataSetKind::Data), DataSetKind::Data); });
    expectInvalidArgument([] { CommandLine("X").dataSet(DataSet(DataSetKind::Empty), DataSetKind::Empty); });
    expectInvalidArgument([] { CommandLine("X").dataSetOfKind(dictionary({}), DataSetKind::Array); });
    expectInvalidArgument([] { CommandLine("X").dataSetOfKind(DataSet(), DataSetKind::Array); });
}

TEST(CommandLineTest, SingleLineCheck) {
    using cgp::cli_internal::requireSingleLine;
    requireSingleLine("Noop");
    requireSingleLine("X \"a\\eb\" \t \x7f \xff");
    for (const std::string& bad : {std::string("a\rb"), std::string("a\nb"), std::string("a\0b", 3),
                                   std::string("Noop\r\n"), std::string("\n")}) {
        SCOPED_TRACE(bad);
        try {
            requireSingleLine(bad);
            ADD_FAILURE() << "accepted";
        } catch (const tmg::ProtocolException& e) {
            EXPECT_EQ(e.getMessage(), "invalid or missing argument");
        }
    }
}

// A numeric facet that groups every three digits with a comma: a stream imbued with the
// global locale would write 4096 as "4,096".
struct GroupingPunct : std::numpunct<char> {
    char do_thousands_sep() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(CommandLineTest, NumbersIgnoreTheGlobalLocale) {
    std::locale previous = std::locale::global(std::locale(std::locale::classic(), new GroupingPunct));
    std::string line = CommandLine("GetWebFile").number(std::uint64_t{4096}).number(std::int32_t{-1234567}).text();
    std::ostringstream grouped;
    grouped << 4096;
    std::locale::global(previous);
    EXPECT_EQ(grouped.str(), "4,096");  // the global locale does group
    EXPECT_EQ(line, "GetWebFile 4096 -1234567");
}

TEST(CommandLineTest, HasKeysOnlyForADictionaryWithKeys) {
    using cgp::cli_internal::hasKeys;
    EXPECT_TRUE(hasKeys(dictionary({{"a", "b"}})));
    EXPECT_FALSE(hasKeys(DataSet(DataSetKind::Dictionary)));
    EXPECT_FALSE(hasKeys(array({"a"})));
    EXPECT_FALSE(hasKeys(DataSet("a")));
    EXPECT_FALSE(hasKeys(DataSet()));
    // Written without a check inside a group, however the value looks.
    EXPECT_EQ(CommandLine("CreateDomain").word("x.org").when(hasKeys(DataSet())).dataSet(DataSet()).end().text(),
              "CreateDomain x.org");
}

}  // namespace
