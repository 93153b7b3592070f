#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <string>

// Two connected local sockets, closed when the object goes (each end unless released).
// A SOCK_SEQPACKET pair keeps every write a chunk of its own for the reader.
class SocketPair {
public:
    explicit SocketPair(int type = SOCK_STREAM) {
        if (::socketpair(AF_UNIX, type, 0, ends) != 0) ends[0] = ends[1] = -1;
    }
    ~SocketPair() {
        closeEnd(0);
        closeEnd(1);
    }
    SocketPair(const SocketPair&) = delete;
    SocketPair& operator=(const SocketPair&) = delete;

    bool ok() const { return ends[0] >= 0; }
    // The end under test (handed to a tmg::Socket) and the peer's end.
    int ours() const { return ends[0]; }
    int theirs() const { return ends[1]; }
    void closeEnd(int which) {
        if (ends[which] >= 0) ::close(ends[which]);
        ends[which] = -1;
    }
    // Forgets an end that a tmg::Socket closes itself.
    int release(int which) {
        int fd = ends[which];
        ends[which] = -1;
        return fd;
    }
    // The peer sends no more: reads on our end see the end of the stream.
    void endWrites() const { ::shutdown(ends[1], SHUT_WR); }
    // Writes text from the peer's end as one write.
    bool write(const std::string& text) const {
        return ::send(ends[1], text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
    }
    // What the peer's end has received so far, without waiting.
    std::string drain() const {
        std::string got;
        char buffer[4096];
        ssize_t n;
        while ((n = ::recv(ends[1], buffer, sizeof buffer, MSG_DONTWAIT)) > 0) got.append(buffer, static_cast<size_t>(n));
        return got;
    }

private:
    int ends[2];
};
