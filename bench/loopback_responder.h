#pragma once

// A fake administration server for the benchmarks, on 127.0.0.1 with plain POSIX calls.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace bench {

// Answers the protocol on 127.0.0.1 with plain POSIX calls, one thread per connection: a
// greeting, then one reply per line ("Get" gets the big 201 reply, "Quit" ends the connection, anything else "200 OK").
class Responder {
public:
    explicit Responder(const std::string& data) : reply201("201 " + data + "\r\n") {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener, 4);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        thread = std::thread([this] { run(); });
    }
    // Every client has closed by now, so the connection threads end too.
    ~Responder() {
        ::shutdown(listener, SHUT_RDWR);
        ::close(listener);
        thread.join();
        for (std::thread& t : connections) t.join();
    }

    std::uint16_t port = 0;

private:
    void run() {
        for (;;) {
            int peer = ::accept(listener, nullptr, nullptr);
            if (peer < 0) return;
            connections.emplace_back([this, peer] {
                serve(peer);
                ::close(peer);
            });
        }
    }
    static bool sendAll(int peer, const std::string& bytes) {
        for (std::size_t at = 0; at < bytes.size();) {
            ssize_t n = ::send(peer, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n <= 0) return false;
            at += static_cast<std::size_t>(n);
        }
        return true;
    }
    void serve(int peer) {
        if (!sendAll(peer, "200 ready <1.2@bench>\r\n")) return;
        std::string pending;
        char chunk[4096];
        for (;;) {
            std::size_t end;
            while ((end = pending.find('\n')) == std::string::npos) {
                ssize_t n = ::recv(peer, chunk, sizeof chunk, 0);
                if (n <= 0) return;
                pending.append(chunk, static_cast<std::size_t>(n));
            }
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line.rfind("Quit", 0) == 0) {
                sendAll(peer, "200 bye\r\n");
                return;
            }
            if (!sendAll(peer, line.rfind("Get", 0) == 0 ? reply201 : std::string("200 OK\r\n"))) return;
        }
    }

    std::string reply201;
    int listener = -1;
    std::thread thread;
    std::vector<std::thread> connections;  // one per client, touched by `thread` only until it ends
};

}  // namespace bench
