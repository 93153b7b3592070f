#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Internal to cli/: the framing and splitting of administration reply lines, as functions
// over bytes alone, so that they are tested and fuzzed without a socket. cgp::CLI's
// readLine and readResponse are these functions over its receive buffer.

namespace cgp::cli_internal {

// Line framing over a receive buffer whose unread bytes are buffer[start..]. Appends the
// unread bytes through the first line feed to line and returns true; start moves past
// them, and the bytes after that line feed stay unread. Without a line feed every unread
// byte goes onto line, the buffer is emptied (start 0) and the result is false: the caller
// receives the next chunk into the buffer and calls again. The line end stays as received
// (CR LF, or a lone LF). Never throws but for lack of memory.
bool takeThroughLineFeed(std::string& line, std::string& buffer, std::size_t& start);

// The parts of one reply line.
struct ReplyLine {
    std::uint16_t code = 0;    // 1 to 65535
    bool success = false;      // code 200 or 201
    // Success: everything after the first blank, line end included. Any other code: that
    // text trimmed of blanks, tabs, CRs and LFs at both ends. Empty when the line holds no
    // blank.
    std::string text;
};

// Splits one reply line (as readLine returns it, line end included).
// - A line beginning with a blank throws tmg::InvalidServerResponseException whose
//   message is the line trimmed of blanks, tabs, CRs and LFs at both ends.
// - The code is the decimal digits the line begins with (a sign or a blank is no digit).
//   No digits, a code of 0 or one above 65535 throws tmg::ProtocolException whose message
//   is the line exactly as given. A large code never wraps round into a small one.
// Any other line gives its parts; an error code is a result here, not an exception.
ReplyLine splitReplyLine(const std::string& line);

// The text trimmed of blanks, tabs, CRs and LFs at both ends.
std::string trimReplyText(const std::string& text);

}  // namespace cgp::cli_internal
