#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace tmg {

// Mailbox names in the modified UTF-7 of IMAP: printable ASCII (0x20-0x7E) stands for
// itself and every other run of characters is big-endian UTF-16 in the modified Base64
// ("+", ",", no padding) between the shift character and "-". imapForm selects "&" as the
// shift character; false selects "+", as in plain UTF-7. The shift character itself is
// written as shift and "-". None of these functions throws or fails.

// Writes the encoded form of an 8-bit text (each byte one character, U+0000-U+00FF).
void utf7EncodeTo(std::string_view text, std::ostream& out, bool imapForm);
std::string utf7Encode(std::string_view text, bool imapForm);

// Writes the decoded name as UTF-8. In the IMAP form an "&" inside a run starts the run
// afresh; in the other form a "+" inside a run is the Base64 digit 62, as the encoder
// writes it. A UTF-16 surrogate pair inside one run becomes one 4-byte character; a lone
// surrogate is written as its own 3 bytes. Base64 text after a bad character of a run, and
// half a UTF-16 unit at its end, are left out; a run that the text does not close with "-"
// is left out entirely. Bytes outside runs pass unchanged, "-" too.
void utf7DecodeTo(std::string_view text, std::ostream& out, bool imapForm);
std::string utf7Decode(std::string_view text, bool imapForm);

}  // namespace tmg
