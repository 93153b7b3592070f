#include "cli/command_line.h"

#include <charconv>

#include "foundation/exception.h"
#include "formats/dataset_writer.h"

namespace cgp::cli_internal {

const char* const kInvalidArgument = "invalid or missing argument";

namespace {

[[noreturn]] void invalidArgument() { throw tmg::ProtocolException(kInvalidArgument); }

bool isCheckedKind(DataSetKind kind) {
    return kind == DataSetKind::String || kind == DataSetKind::Array || kind == DataSetKind::Dictionary;
}

template <class Number>
std::string decimal(Number value) {
    // to_chars never consults a locale, so no global locale can add separators.
    char digits[24];
    std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    return std::string(digits, end.ptr);
}

}  // namespace

void requireText(const std::string& text) {
    if (text.empty()) invalidArgument();
}

void requireNonEmptyDataSet(const DataSet& value, DataSetKind expected) {
    requireDataSetKind(value, expected);
    const data_set& node = *value.get();
    bool empty = expected == DataSetKind::String ? node.stringValue.empty()
                 : expected == DataSetKind::Array ? node.array.empty()
                                                  : node.dictionary.empty();
    if (empty) invalidArgument();
}

void requireDataSetKind(const DataSet& value, DataSetKind expected) {
    if (!isCheckedKind(expected) || value.kind() != expected) invalidArgument();
}

bool hasKeys(const DataSet& value) {
    return value.kind() == DataSetKind::Dictionary && !value->dictionary.empty();
}

void requireSingleLine(const std::string& line) {
    if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) invalidArgument();
}

std::string decimalText(std::int32_t value) { return decimal(value); }
std::string decimalText(std::uint64_t value) { return decimal(value); }

void LineText::appendKeyword(const char* keyword) {
    line += ' ';
    line += keyword;
}

void LineText::appendWord(const std::string& text) {
    line += ' ';
    line += text;
}

void LineText::appendQuoted(const std::string& text) {
    line += ' ';
    line += quoteDataSetWord(text);
}

void LineText::appendInQuotes(const std::string& text) {
    line += " \"";
    line += text;
    line += '"';
}

void LineText::appendDataSet(const DataSet& value) {
    line += ' ';
    line += DataSet::toString(value, false);
}

void LineText::appendNumber(std::int32_t value) {
    line += ' ';
    line += decimalText(value);
}

void LineText::appendNumber(std::uint64_t value) {
    line += ' ';
    line += decimalText(value);
}

}  // namespace cgp::cli_internal
