#pragma once

#include <cstddef>
#include <istream>
#include <string>

namespace tmg {

// Reads one line up to a line feed (consumed, not stored; a carriage return is kept) or the
// end of the stream (which sets eofbit; a read that meets the end at once yields an empty
// line). At most limit characters are stored; the rest of a longer line is read past
// without storing it, or, when skipRest is false, left unread after its first character
// beyond the limit. Returns true when the line was longer than limit. The line's storage
// is reused, so a warm buffer is never reallocated, and a line of any length costs at most
// limit bytes.
bool readLine(std::istream& in, std::string& line, std::size_t limit = std::string::npos,
              bool skipRest = true);

}  // namespace tmg
