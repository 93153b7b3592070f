#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace tmg {

// Base64 in two alphabets: the standard one of RFC 4648 ("+", "/", "=" padding) and the
// modified one of IMAP mailbox names ("+", ",", no padding). No line breaks are written.
// The decoder takes both alphabets at once: "/" and "," both stand for 63.

// Writes the Base64 text of the bytes to out; modified selects the mailbox-name alphabet.
void base64EncodeTo(std::string_view bytes, std::ostream& out, bool modified = false);

// The Base64 text of the bytes as a string.
std::string base64Encode(std::string_view bytes, bool modified = false);

// Outcome of a decode. ok is false when a byte outside both alphabets (and not "=") was met;
// position is then that byte's index. When ok is true, position is the number of characters
// read, rounded up to whole groups of four (a short last group counts as padded).
struct Base64DecodeResult {
    bool ok;
    std::size_t position;
};

// Decodes text in groups of four characters and writes the bytes to out. A missing tail is
// taken as "=" padding. A group that starts with padding, or whose second character is
// padding, yields nothing; "=" inside the text does not end decoding. On a bad byte the
// bytes of the groups before it have been written and decoding stops.
Base64DecodeResult base64DecodeTo(std::string_view text, std::ostream& out);

// The decoded bytes; failed is set when a bad byte stopped decoding (the bytes before it are
// returned).
std::string base64Decode(std::string_view text, bool& failed);

// The decoded bytes, up to the first bad byte; a failure is not reported.
std::string base64Decode(std::string_view text);

}  // namespace tmg
