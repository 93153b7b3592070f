#include "foundation/pop3_client.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ostream>

#include "foundation/case_fold.h"
#include "foundation/exception.h"
#include "foundation/md5.h"
#include "foundation/pop3_message_reader_internal.h"

namespace tmg {

namespace {

// A status line is short (512 bytes in RFC 1939); a peer that sends this much without a
// line end is not speaking POP3, and reading on would only grow the buffer.
constexpr std::size_t kMaxReplyLine = 64 * 1024;

void trimEnd(std::string& text) {
    std::size_t keep = text.find_last_not_of(" \t\r\n");
    text.erase(keep == std::string::npos ? 0 : keep + 1);
}

bool hasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

// The first decimal number of the text, as istream >> int reads it: 0 when there is none,
// clamped at the ends of int.
int leadingNumber(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(begin, &end, 10);
    if (end == begin) return 0;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

std::string Pop3Client::apopCommand(const std::string& greeting, const std::string& user, const std::string& password) {
    std::size_t open = greeting.find('<');
    if (open == std::string::npos) throw InvalidServerPromptException();
    std::size_t close = greeting.find('>', open);
    if (close == std::string::npos) throw InvalidServerPromptException();
    Md5 md5;
    md5.update(std::string_view(greeting).substr(open, close - open + 1));
    md5.update(password);
    return "APOP " + user + " " + md5ToHex(md5.final());
}

bool Pop3Client::readResponse(std::string& reply, bool trim) {
    reply.clear();
    std::string chunk;
    // TCP may split a reply anywhere; it is whole once its line feed is there.
    for (;;) {
        socket.receive(chunk, true);
        std::size_t searchFrom = reply.size();
        reply += chunk;
        if (reply.find('\n', searchFrom) != std::string::npos) break;
        if (reply.size() > kMaxReplyLine) {
            quit();
            return false;
        }
    }
    if (trim) trimEnd(reply);
    if (reply.size() >= 3 && startsWithNoCase(reply, "+OK")) return true;
    quit();
    return false;
}

void Pop3Client::connect(const std::string& address, std::uint16_t port) {
    if (state != 0) throw ProtocolException();
    sockaddr_in peer = Socket::parseAddress(address, port, true);
    socket.create(false, false);
    socket.connect(peer, true);
    if (!readResponse(lastResponse, true)) throw InvalidServerPromptException();
    state = 1;
    greeting = lastResponse;
}

void Pop3Client::login(const std::string& user, const std::string& password, bool useApop) {
    if (state != 1) throw ProtocolException();
    // A line break would end the command early and let the rest pass as commands of its own.
    if (hasLineBreak(user) || (!useApop && hasLineBreak(password))) throw InvalidLoginException();
    if (useApop) {
        socket.send(apopCommand(greeting, user, password), true, true);
        if (!readResponse(lastResponse, true)) throw InvalidLoginException();
    } else {
        socket.send("USER " + user, true, true);
        if (!readResponse(lastResponse, true)) throw InvalidLoginException();
        socket.send("PASS " + password, true, true);
        if (!readResponse(lastResponse, true)) throw InvalidLoginException();
    }
    state = 2;
}

int Pop3Client::status() {
    if (state != 2) throw ProtocolException();
    socket.send("STAT", true, true);
    if (!readResponse(lastResponse, true)) throw InvalidServerResponseException();
    return lastResponse.size() > 4 ? leadingNumber(lastResponse.substr(4)) : 0;
}

void Pop3Client::retrieve(std::uint32_t number, std::ostream& out) {
    if (state != 2) throw ProtocolException();
    socket.send("RETR " + std::to_string(number), true, true);
    std::string chunk;
    if (!readResponse(chunk, false)) {
        trimEnd(chunk);
        lastResponse = chunk;
        throw InvalidServerResponseException();
    }
    detail::Pop3MessageReader reader(out);
    while (!reader.feed(chunk)) socket.receive(chunk, true);
}

void Pop3Client::remove(std::uint32_t number) {
    if (state != 2) throw ProtocolException();
    socket.send("DELE " + std::to_string(number), true, true);
    if (!readResponse(lastResponse, false)) throw InvalidServerResponseException();
}

void Pop3Client::quit() {
    if (socket.fd > 0) {
        socket.send("QUIT", true, false);
        std::string ignored;
        socket.receive(ignored, false);
        socket.close();
    }
    state = 0;
}

}  // namespace tmg
