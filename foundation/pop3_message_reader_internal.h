#pragma once

// Internal to the POP3 client: the line splitter of a RETR reply, apart from the socket so
// that it can be fed in any pieces.

#include <cstddef>
#include <iosfwd>
#include <string>

namespace tmg::detail {

// Takes the bytes of a RETR reply, status line first, in pieces of any size, and writes
// the message to out: every line with a single "\n", ".." at a line's start as ".", ending
// at a line of exactly ".". A line ends at CR LF, a lone LF or a lone CR; only a line after
// the status line, a CR LF or a lone LF is subject to the dot rules, so what follows a lone
// CR is written unchanged. A CR at the end of a piece waits for the next piece.
class Pop3MessageReader {
public:
    explicit Pop3MessageReader(std::ostream& sink) : out(sink) {}

    // Returns true once the end line has been read; later bytes are ignored.
    bool feed(const char* data, std::size_t length);
    bool feed(const std::string& bytes) { return feed(bytes.data(), bytes.size()); }
    bool finished() const { return done; }

private:
    // Handles one line (without its end); true when it ends the message.
    bool takeLine(const char* line, std::size_t length, bool endsWithLf);

    std::ostream& out;
    std::string pending;       // the unfinished last line, a trailing CR included
    std::size_t scanned = 0;   // bytes of pending known to hold no line end
    bool inStatusLine = true;
    bool dotRules = true;
    bool done = false;
};

}  // namespace tmg::detail
