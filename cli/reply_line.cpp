#include "cli/reply_line.h"

#include "foundation/exception.h"

namespace cgp::cli_internal {

namespace {

const char* const kTrimmed = " \t\r\n";

}  // namespace

bool takeThroughLineFeed(std::string& line, std::string& buffer, std::size_t& start) {
    std::string::size_type end = start < buffer.size() ? buffer.find('\n', start) : std::string::npos;
    if (end == std::string::npos) {
        if (start < buffer.size()) line.append(buffer, start, std::string::npos);
        buffer.clear();
        start = 0;
        return false;
    }
    line.append(buffer, start, end + 1 - start);
    start = end + 1;
    if (start == buffer.size()) {
        buffer.clear();
        start = 0;
    }
    return true;
}

std::string trimReplyText(const std::string& text) {
    std::string::size_type first = text.find_first_not_of(kTrimmed);
    if (first == std::string::npos) return std::string();
    std::string::size_type last = text.find_last_not_of(kTrimmed);
    return text.substr(first, last - first + 1);
}

ReplyLine splitReplyLine(const std::string& line) {
    std::string::size_type blank = line.find(' ');
    if (blank == 0) throw tmg::InvalidServerResponseException(trimReplyText(line));

    std::string::size_type end = blank == std::string::npos ? line.size() : blank;
    std::uint32_t code = 0;
    std::string::size_type i = 0;
    for (; i < end && line[i] >= '0' && line[i] <= '9'; ++i) {
        code = code * 10 + static_cast<std::uint32_t>(line[i] - '0');
        // Past the largest code: stop before the value could overflow.
        if (code > 65535) throw tmg::ProtocolException(line);
    }
    if (code == 0) throw tmg::ProtocolException(line);

    ReplyLine reply;
    reply.code = static_cast<std::uint16_t>(code);
    reply.success = code == 200 || code == 201;
    if (blank != std::string::npos) {
        if (reply.success)
            reply.text.assign(line, blank + 1, std::string::npos);
        else
            reply.text = trimReplyText(line.substr(blank + 1));
    }
    return reply;
}

}  // namespace cgp::cli_internal
