#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "foundation/socket.h"

namespace tmg {

// A POP3 client (RFC 1939) over one TCP connection: connect and read the greeting, log in
// with APOP or USER and PASS, ask the mailbox size, retrieve and delete messages, quit.
//
// States: 0 not connected, 1 greeting read, 2 logged in. An operation called in another
// state than its own throws ProtocolException and sends nothing. A reply that does not
// begin with "+OK" (in any case) makes the client say QUIT and close (state 0) before the
// operation throws; the server's text is then in lastResponse. A broken connection throws
// ConnectionResetException, closes the socket and leaves the state as it was.
//
// The socket's time-outs start at 0, so every operation blocks until the server answers;
// set socket.receiveTimeoutMs and friends before connect to bound the waits. One thread
// uses one client at a time. There is no owning destructor: the owner calls quit.
class Pop3Client {
public:
    // State 0. Throws SocketException "Invalid IP Address" for a text that is no dotted
    // address, UnableToConnectException, InvalidServerPromptException for a greeting
    // other than "+OK".
    void connect(const std::string& address, std::uint16_t port);
    // State 1. A user, or with USER and PASS a password, holding CR or LF throws
    // InvalidLoginException before anything is sent (state stays 1). APOP needs a time
    // stamp in the greeting (InvalidServerPromptException). A refused login throws
    // InvalidLoginException.
    void login(const std::string& user, const std::string& password, bool useApop);
    // State 2. The message count of the STAT reply, 0 when the reply holds no number.
    // Throws InvalidServerResponseException when refused.
    int status();
    // State 2. Writes message number to out: every line ended by a single "\n", the
    // dot-stuffing undone, without the final "." line. Throws
    // InvalidServerResponseException when refused (lastResponse then holds the reply).
    void retrieve(std::uint32_t number, std::ostream& out);
    // State 2. Deletes message number. Throws InvalidServerResponseException when refused.
    void remove(std::uint32_t number);
    // Any state: says QUIT and closes when connected; state 0. Never throws.
    void quit();

    // Reads one reply into reply: chunks until one holds a line feed (bytes after it are
    // kept), then, with trim, without trailing blanks, tabs, CR and LF. True when it
    // begins with "+OK"; otherwise the client quits and the result is false. Throws
    // ConnectionResetException when the connection fails first.
    bool readResponse(std::string& reply, bool trim);

    // "APOP " + user + " " + the MD5 in lower-case hex of the greeting's first time stamp
    // ("<" through the first ">" after it) followed by password; no line end. Throws
    // InvalidServerPromptException when the greeting holds no stamp.
    static std::string apopCommand(const std::string& greeting, const std::string& user, const std::string& password);

    // The greeting line, trimmed; kept for APOP.
    std::string greeting;
    Socket socket;
    int state = 0;
    // The last reply read by connect, login, status, remove and a refused retrieve.
    std::string lastResponse;
};

}  // namespace tmg
