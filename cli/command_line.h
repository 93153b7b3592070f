#pragma once

#include <cstdint>
#include <string>

#include "formats/dataset.h"

// Internal to cli/: the builder of administration command lines. Every command method of
// cgp::CLI is one expression over it, in the order of the line's elements:
//
//   DataSet CLI::getAccountStat(const std::string& account) {
//       return Command(*this, "GetAccountStat").word(account).resultDataSet();
//   }
//   void CLI::setMailboxClass(const std::string& account, const std::string& mailbox,
//                             const std::string& mailboxClass, const std::string& authAccount) {
//       Command(*this, "SetMailboxClass").word(account).keyword("MAILBOX").inQuotes(mailbox)
//           .when(!authAccount.empty()).keyword("AUTH").word(authAccount).end()
//           .keyword("CLASS").quoted(mailboxClass).resultNone();
//   }
//
// Elements. Each is appended after exactly one blank; nothing follows the last one.
//   keyword(k)               the fixed word as it stands
//   word(t)                  the text as given
//   quoted(t)                the dataset writer's one-line string: escaped with
//                            escapeString, between double quotes unless the escaped text is
//                            non-empty and only letters, digits, "_" and "."
//   inQuotes(t)              a double quote, the text as given, a double quote
//   dataSet(v, kind)         v in the dataset writer's one-line form
//   dataSetOfKind(v, kind)   the same, but an empty value of the kind passes
//   number(n)                decimal, int32 or uint64, in the classic locale whatever the
//                            global one
//
// Checks. word, quoted and inQuotes require a non-empty text; dataSet requires a value of
// the kind (String, Array or Dictionary) that is not empty; dataSetOfKind only the kind.
// A failed check throws tmg::ProtocolException "invalid or missing argument" (code 0) at
// once, while the line is built, so nothing is sent. The checks run in line order; the
// tables check in parameter order, which throws the same exception.
//
// Optional elements. when(condition) opens a group that end() closes; its elements are
// appended only when the condition holds and are never checked (its dataSet takes no
// kind). A group cannot be left open: the terminals exist only outside it.
//
// Terminals, one per result of the tables; each sends the line with CLI::execute, so an
// error reply throws cgp::CLIException and a line holding CR, LF or NUL is refused by
// CLI::sendLine before a byte goes out.
//   resultNone()       nothing
//   resultDataSet()    CLI::getResponseData()
//   resultString()     the parsed reply's text: a String's text, a Data node's bytes, an
//                      empty text for any other kind
//
// A Command refers to its client and its arguments: use it within the one expression.
// A member that reads its reply another way (the probe that must not throw on an error
// reply) builds a CommandLine and passes its text() to CLI::sendLine, then reads with
// CLI::readResponse(false).

namespace cgp {

class CLI;

namespace cli_internal {

extern const char* const kInvalidArgument;  // "invalid or missing argument"

// Throw tmg::ProtocolException "invalid or missing argument" on a failed check.
void requireText(const std::string& text);
// String: a String with a non-empty text; Array: an Array with elements; Dictionary: a
// Dictionary with keys; any other expected kind always fails.
void requireNonEmptyDataSet(const DataSet& value, DataSetKind expected);
// The value is of the expected kind (String, Array or Dictionary), empty or not.
void requireDataSetKind(const DataSet& value, DataSetKind expected);
// The condition of an optional settings element: a Dictionary with at least one key. Any
// other value, a null handle included, is false.
bool hasKeys(const DataSet& value);
// A line to send holds no CR, LF or NUL: any of them would end it early and let the rest
// run as a command of its own.
void requireSingleLine(const std::string& line);

// The number in decimal, classic locale.
std::string decimalText(std::int32_t value);
std::string decimalText(std::uint64_t value);

template <class Owner>
class OptionalElements;

// The text of the line being built.
class LineText {
public:
    explicit LineText(const char* command) : line(command) {}
    const std::string& text() const { return line; }

protected:
    void appendKeyword(const char* keyword);
    void appendWord(const std::string& text);
    void appendQuoted(const std::string& text);
    void appendInQuotes(const std::string& text);
    void appendDataSet(const DataSet& value);
    void appendNumber(std::int32_t value);
    void appendNumber(std::uint64_t value);

    std::string line;

    template <class Owner>
    friend class OptionalElements;
};

// The checked elements, returning the builder itself so that calls chain.
template <class Self>
class LineElements : public LineText {
public:
    using LineText::LineText;

    Self& keyword(const char* keyword) {
        appendKeyword(keyword);
        return self();
    }
    Self& word(const std::string& text) {
        requireText(text);
        appendWord(text);
        return self();
    }
    Self& quoted(const std::string& text) {
        requireText(text);
        appendQuoted(text);
        return self();
    }
    Self& inQuotes(const std::string& text) {
        requireText(text);
        appendInQuotes(text);
        return self();
    }
    Self& dataSet(const DataSet& value, DataSetKind required) {
        requireNonEmptyDataSet(value, required);
        appendDataSet(value);
        return self();
    }
    Self& dataSetOfKind(const DataSet& value, DataSetKind kind) {
        requireDataSetKind(value, kind);
        appendDataSet(value);
        return self();
    }
    Self& number(std::int32_t value) {
        appendNumber(value);
        return self();
    }
    Self& number(std::uint64_t value) {
        appendNumber(value);
        return self();
    }
    OptionalElements<Self> when(bool condition) { return OptionalElements<Self>(self(), condition); }

private:
    Self& self() { return static_cast<Self&>(*this); }
};

// A group of optional elements: written only under its condition, never checked.
template <class Owner>
class OptionalElements {
public:
    OptionalElements(Owner& line, bool condition) : owner(line), on(condition) {}

    OptionalElements& keyword(const char* keyword) {
        if (on) owner.appendKeyword(keyword);
        return *this;
    }
    OptionalElements& word(const std::string& text) {
        if (on) owner.appendWord(text);
        return *this;
    }
    OptionalElements& quoted(const std::string& text) {
        if (on) owner.appendQuoted(text);
        return *this;
    }
    OptionalElements& inQuotes(const std::string& text) {
        if (on) owner.appendInQuotes(text);
        return *this;
    }
    OptionalElements& dataSet(const DataSet& value) {
        if (on) owner.appendDataSet(value);
        return *this;
    }
    OptionalElements& number(std::int32_t value) {
        if (on) owner.appendNumber(value);
        return *this;
    }
    OptionalElements& number(std::uint64_t value) {
        if (on) owner.appendNumber(value);
        return *this;
    }
    // Closes the group.
    Owner& end() { return owner; }

private:
    Owner& owner;
    bool on;
};

// A line built without a client: its text only.
class CommandLine final : public LineElements<CommandLine> {
public:
    using LineElements::LineElements;
};

// A line built for a client, sent by one of the terminals.
class Command final : public LineElements<Command> {
public:
    Command(CLI& target, const char* command) : LineElements(command), client(target) {}
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    void resultNone();
    DataSet resultDataSet();
    std::string resultString();

private:
    CLI& client;
};

}  // namespace cli_internal
}  // namespace cgp
