#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace tmg {

// One IPv4 socket descriptor with connect, send and receive time-outs and a buffer of bytes
// that readLine received beyond the last line it returned.
//
// Descriptor convention: fd 0 means "no socket". Every operation on a socket whose fd is 0
// or below fails at once without any system call (its exception with throwOnError, else
// false). Descriptors 1 and 2 are used when given, but close never closes 0, 1 or 2.
//
// Errors: operations that can fail take a trailing throwOnError. With it they throw the
// exception named at each operation (message = the class name, code 0); without it they
// return false. The state after a failure is the same either way: every failed send,
// receive, peek or wait closes the socket (fd 0 afterwards).
//
// No SIGPIPE is ever raised: every send passes MSG_NOSIGNAL, so a closed peer shows as a
// failed send.
//
// The object is copyable; a copy holds the same descriptor number and its own copy of the
// receive buffer, and closing one copy does not touch the other's fd. There is no owning
// destructor: the owner calls close. One thread uses one socket at a time.
class Socket {
public:
    Socket() = default;
    explicit Socket(int descriptor) : fd(descriptor) {}
    Socket(int descriptor, std::uint64_t value) : fd(descriptor), extra(value) {}

    // Sets the process-wide initialised flag; always true. cleanup clears it.
    static bool initialize();
    static void cleanup();

    // An AF_INET address with the port in network byte order and the address from the
    // dotted text (inet_aton). A text that is no address gives address 0 with the port,
    // or throws SocketException "Invalid IP Address".
    static sockaddr_in parseAddress(const std::string& text, std::uint16_t port, bool throwOnError);
    // The same conversion, only the 32-bit address in network byte order (0 on failure).
    static std::uint32_t parseAddressValue(const std::string& text, bool throwOnError);

    // Replaces any previous descriptor (closing it) with a new TCP socket, or UDP when udp
    // is true. Throws SocketException.
    bool create(bool udp, bool throwOnError);
    // Switches O_NONBLOCK; no system call when the mode is already as asked.
    // Throws SocketException.
    bool setNonBlocking(bool on, bool throwOnError);
    // Back to blocking mode, empties the receive buffer, closes the descriptor when it is 3
    // or more, and sets fd to 0. Never fails.
    void close();

    // Waits up to ms milliseconds for the socket to become readable (or writable). True when
    // it did; on a time-out or an error the socket is closed and the result is false.
    bool waitReady(unsigned ms, bool forWriting);
    // True exactly when nothing arrives within ms milliseconds; never closes the socket.
    bool noDataWithin(unsigned ms);

    // Connects to address. With connectTimeoutMs the connect runs in non-blocking mode and
    // waits that long; a refused or failed connect closes the socket. Afterwards the socket
    // is non-blocking when a send or receive time-out is set. Empties the receive buffer.
    // Throws UnableToConnectException.
    bool connect(const sockaddr_in& address, bool throwOnError);
    // Sends all of text (and "\r\n" when appendCrlf). With sendTimeoutMs each stall may last
    // that long before the send fails; without it the send blocks. An empty text sends
    // nothing and succeeds. Throws ConnectionResetException.
    bool send(const std::string& text, bool appendCrlf, bool throwOnError);
    // Replaces out with the next chunk received (at most 4096 bytes, one recv). With
    // receiveTimeoutMs it waits that long for data; without, it blocks. A peer that closed
    // is a failure. On failure out is emptied, except when the socket has no descriptor.
    // Does not look at the receive buffer. Throws ConnectionResetException.
    bool receive(std::string& out, bool throwOnError);
    // Fills line with the next line: the text up to the next LF, without it and without
    // one CR before it. Receives as needed; bytes after the LF stay buffered for the next
    // call. On failure line holds what was gathered. Throws ConnectionResetException.
    bool readLine(std::string& line, bool throwOnError);
    // Reads up to count bytes without consuming them. Without a receive time-out it blocks
    // until some bytes are there and returns them. With one it waits for data, then polls
    // every 50 ms until count bytes are there or the time-out has been slept away, and
    // returns what is there. A count of 0 is true and empty. Throws ConnectionResetException.
    bool peek(std::string& out, std::uint8_t count, bool throwOnError);

    // Server side. listen binds to port on every address (SO_REUSEADDR) with a backlog of
    // 5. A refused bind or listen leaves the descriptor open and throws
    // PortAlreadyUsedException.
    bool listen(std::uint16_t port, bool throwOnError);
    // Waits for one connection and puts it into client (whose previous descriptor and
    // buffer are dropped first), in blocking mode; peer gets its address. False when none
    // could be accepted; never throws.
    bool accept(Socket& client, sockaddr_in& peer);
    // accept, then a check that the peer does not open with plain text: the client's
    // connect and send time-outs become 0 and its receive time-out receiveTimeout, and up to
    // 3 bytes are peeked. A letter among them (in either case), or no bytes in time, is a
    // refusal: the client is closed and InvalidSSLCertificateOrKeyException is thrown.
    // No encryption is done: an accepted connection is used in the clear. The peeked bytes
    // stay unread.
    bool acceptSecure(Socket& client, sockaddr_in& peer, unsigned receiveTimeout, bool throwOnError);

    // Mode as last set through setNonBlocking.
    bool nonBlocking = false;
    // 0: connect blocks without a limit.
    int connectTimeoutMs = 0;
    // 0: send blocks without a limit.
    int sendTimeoutMs = 0;
    // 0: receive and peek block without a limit.
    int receiveTimeoutMs = 0;
    int fd = 0;
    // Carried with the object; no operation reads it.
    std::uint64_t extra = 0;

protected:
    // receiveBuffer[receiveStart..] holds the bytes readLine has not returned yet. A
    // deriving line reader that keeps line ends (the administration client) takes its
    // lines from here too, so both readers share one buffer; connect and close empty it.
    std::string receiveBuffer;
    std::size_t receiveStart = 0;

private:
    bool sendAll(const char* data, std::size_t length);
    bool receiveChunk(std::string& out);
    void dropBuffer();
};

}  // namespace tmg
