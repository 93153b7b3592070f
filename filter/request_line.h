#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace cgp {

// One request line of the filter protocol, split into its three fields.
struct RequestLine {
    std::string seq;         // the sequence number as typed; empty when the line has none
    std::string command;     // the command word, lower-cased; empty when missing
    std::string parameters;  // the rest of the line, inner blanks and trailing CR kept
};

// The longest request line the engine takes, without its line feed. A longer one is read
// past without being held and refused.
constexpr std::size_t maxRequestLine = 1024 * 1024;

// Splits a line (without its line feed) over blanks, carriage returns and line feeds; tabs
// are not delimiters. Leading delimiters are skipped; seq and command each run to the next
// delimiter; parameters are the whole rest from the first non-delimiter after command.
// Missing fields are empty. Never fails. The line's storage becomes the parameters, so a
// line moved in is not copied.
RequestLine splitRequestLine(std::string line);

// Reads an unsigned 32-bit decimal number from the start of text: leading white space and
// one "+" are passed over, then at least one digit; what follows the digits is ignored
// ("12abc" is 12, "007" is 7). Returns false, with number 0, when there is no digit, when
// a "-" comes first, or when the value does not fit in 32 bits.
bool readRequestNumber(const std::string& text, std::uint32_t& number);

}  // namespace cgp
