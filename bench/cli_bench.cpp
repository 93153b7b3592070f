// The administration client against a loopback responder, each figure with its baseline
// from the same run: round trips of a command without result against a bare write and
// read loop over the same responder, and a multi-megabyte 201 dataset reply read through
// getResponseData against parsing the same text alone.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "formats/dataset.h"
#include "formats/dataset_reader.h"
#include "timing.h"

namespace {

const int kRoundTrips = 5000;
const int kAccounts = 40000;

// Settings-shaped dataset text of a few megabytes, one line.
std::string bigDataSetText() {
    std::string text = "{";
    for (int a = 0; a < kAccounts; ++a) {
        text += "user" + std::to_string(a) + " = {RealName = \"User Number " + std::to_string(a) +
                "\"; MaxAccountSize = 100M; Rules = ((1, Spam, (\"Header Field\", is, \"X-Spam*\"), (Discard)));};";
    }
    return text + "}";
}

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

// The floor: the same exchange with one send and one recv per round trip.
double bareRoundTrips(std::uint16_t port) {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    char buffer[4096];
    ::recv(s, buffer, sizeof buffer, 0);  // the greeting
    double seconds = secondsFor([&] {
        for (int i = 0; i < kRoundTrips; ++i) {
            ::send(s, "Noop\r\n", 6, MSG_NOSIGNAL);
            ::recv(s, buffer, sizeof buffer, 0);
        }
    });
    ::send(s, "Quit\r\n", 6, MSG_NOSIGNAL);
    ::recv(s, buffer, sizeof buffer, 0);
    ::close(s);
    return kRoundTrips / seconds;
}

}  // namespace

int main() {
    std::string text = bigDataSetText();
    Responder responder(text);
    double megabytes = static_cast<double>(text.size()) / 1e6;

    // Each figure is the best of three rounds, the two sides taking turns.
    double bare = 0, client = 0;
    {
        cgp::CLI cli("127.0.0.1", responder.port, "bench", "pw", cgp::CLI::LoginWebUser);
        for (int round = 0; round < 3; ++round) {
            bare = std::max(bare, bareRoundTrips(responder.port));
            client = std::max(client, kRoundTrips / secondsFor([&] {
                                          for (int i = 0; i < kRoundTrips; ++i) cli.execute("Noop");
                                      }));
        }
    }
    std::printf("round trips of a command without result: client %.0f/s, bare write/read %.0f/s, ratio %.2f\n",
                client, bare, client / bare);

    const std::string line = text + "\r\n";
    double parseSeconds = 1e9, replySeconds = 1e9;
    std::size_t keys = 0;
    {
        cgp::CLI cli("127.0.0.1", responder.port, "bench", "pw", cgp::CLI::LoginWebUser);
        for (int round = 0; round < 3; ++round) {
            parseSeconds = std::min(parseSeconds, secondsFor([&] { keys = cgp::parseDataSetText(line)->dictionary.size(); }));
            replySeconds = std::min(replySeconds, secondsFor([&] {
                                        cli.execute("Get");
                                        keys = cli.getResponseData()->dictionary.size();
                                    }));
        }
    }
    double parseRate = megabytes / parseSeconds;
    double replyRate = megabytes / replySeconds;
    std::printf("%.1f MB 201 dataset reply (%zu keys): getResponseData %.1f MB/s, parseDataSetText %.1f MB/s, ratio %.2f\n",
                megabytes, keys, replyRate, parseRate, replyRate / parseRate);
    return 0;
}
