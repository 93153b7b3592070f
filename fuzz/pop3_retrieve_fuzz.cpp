// Feeds arbitrary bytes to the RETR line splitter as a server's reply: once whole, once in
// pieces whose sizes come from the input. The pieces must not change the message or where
// it ends, and no CR may reach the output (every CR ends a line).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "foundation/pop3_message_reader_internal.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t step = data[0] % 7 + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;

    std::ostringstream whole;
    tmg::detail::Pop3MessageReader wholeReader(whole);
    bool wholeDone = wholeReader.feed(bytes, length);

    std::ostringstream pieces;
    tmg::detail::Pop3MessageReader pieceReader(pieces);
    bool pieceDone = false;
    for (std::size_t at = 0, n = step; at < length; at += n, n = n % 5 + step) {
        std::size_t take = n < length - at ? n : length - at;
        pieceDone = pieceReader.feed(bytes + at, take);
    }
    if (length == 0) pieceDone = pieceReader.feed(bytes, 0);

    check(wholeDone == pieceDone);
    check(whole.str() == pieces.str());
    check(whole.str().find('\r') == std::string::npos);
    check(whole.str().size() <= 2 * length);
    return 0;
}
