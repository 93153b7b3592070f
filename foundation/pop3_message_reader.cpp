#include "foundation/pop3_message_reader_internal.h"

#include <ostream>

namespace tmg::detail {

bool Pop3MessageReader::takeLine(const char* line, std::size_t length, bool endsWithLf) {
    if (inStatusLine) {
        inStatusLine = false;
        return false;
    }
    if (dotRules && length > 0 && line[0] == '.') {
        if (length == 1) return true;
        if (line[1] == '.') {
            ++line;
            --length;
        }
    }
    // A line that ends with LF in the input can go out with that LF in one write.
    if (endsWithLf) {
        out.write(line, static_cast<std::streamsize>(length + 1));
    } else {
        out.write(line, static_cast<std::streamsize>(length));
        out.put('\n');
    }
    return false;
}

bool Pop3MessageReader::feed(const char* data, std::size_t length) {
    if (done) return true;
    // Lines wholly inside this piece are taken from it directly; only the unfinished tail
    // is copied, so a long line costs its length once.
    const char* bytes = data;
    std::size_t size = length;
    std::size_t from = 0;
    if (!pending.empty()) {
        pending.append(data, length);
        bytes = pending.data();
        size = pending.size();
        from = scanned;
    }
    std::size_t lineStart = 0;
    std::size_t i = from;
    for (; i < size; ++i) {
        char c = bytes[i];
        if (c != '\r' && c != '\n') continue;
        std::size_t endLength = 1;
        bool lone = false;
        if (c == '\r') {
            if (i + 1 == size) break;
            if (bytes[i + 1] == '\n')
                endLength = 2;
            else
                lone = true;
        }
        bool afterStatus = inStatusLine;
        // The line's LF is its own last byte when it is a lone LF.
        bool endsWithLf = c == '\n';
        if (takeLine(bytes + lineStart, i - lineStart, endsWithLf)) {
            done = true;
            pending.clear();
            return true;
        }
        dotRules = afterStatus || !lone;
        lineStart = i + endLength;
        i = lineStart - 1;
    }
    std::string tail(bytes + lineStart, size - lineStart);
    scanned = (i < size ? i : size) - lineStart;
    pending.swap(tail);
    return false;
}

}  // namespace tmg::detail
