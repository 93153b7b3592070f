// Feeds arbitrary bytes to the administration client's reply reading as it receives them:
// cut into chunks of sizes the input chooses, framed into lines, and each line split into
// code and text. Framing must lose, add and reorder no byte and give lines that end at
// their first line feed; splitting may only answer or throw the two malformed-reply errors.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/reply_line.h"
#include "foundation/exception.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool isTrimmed(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void checkSplit(const std::string& line) {
    try {
        cgp::cli_internal::ReplyLine reply = cgp::cli_internal::splitReplyLine(line);
        check(reply.code >= 1);
        check(line[0] >= '0' && line[0] <= '9');
        check(reply.success == (reply.code == 200 || reply.code == 201));
        check(reply.text.size() < line.size());
        if (reply.success) {
            check(line.compare(line.size() - reply.text.size(), std::string::npos, reply.text) == 0);
        } else if (!reply.text.empty()) {
            check(!isTrimmed(reply.text.front()) && !isTrimmed(reply.text.back()));
            check(line.find(reply.text) != std::string::npos);
        }
    } catch (const tmg::InvalidServerResponseException& e) {
        check(!line.empty() && line[0] == ' ');
        check(e.getMessage().size() < line.size() && e.getCode() == 0);
    } catch (const tmg::ProtocolException& e) {
        check(e.getMessage() == line && e.getCode() == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the chunk sizes, 1 to 16 bytes, repeating.
    unsigned seed = data[0];
    std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::string pending, line, framed;
    std::size_t start = 0, at = 0;
    while (at < input.size() || start < pending.size()) {
        if (start == pending.size()) {
            std::size_t length = 1 + (seed % 16);
            seed = seed * 1103515245u + 12345u;
            pending = input.substr(at, length);
            at += pending.size();
        }
        if (!cgp::cli_internal::takeThroughLineFeed(line, pending, start)) continue;
        check(!line.empty() && line.back() == '\n' && line.find('\n') == line.size() - 1);
        checkSplit(line);
        framed += line;
        line.clear();
    }
    // What is left never saw a line feed; the client would wait for more.
    check(line.find('\n') == std::string::npos);
    check(framed + line == input);
    if (!line.empty()) checkSplit(line);
    return 0;
}
