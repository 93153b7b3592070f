// Line reading over sockets against a baseline measured in the same run: POP3 retrieve of a
// 20 MB message (16- and 80-byte lines) from a loopback server, and Socket::readLine over
// a socket pair. The baseline recvs 4096 bytes at a time, splits at CR/LF in a plain loop
// and writes each line to the same null stream. Best of 5 rounds each.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>

#include "foundation/pop3_client.h"
#include "foundation/socket.h"
#include "timing.h"

namespace {

constexpr std::size_t kMessageBytes = 20 * 1024 * 1024;
constexpr int kRounds = 5;

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Lines of lineLength bytes (CR LF included) up to about kMessageBytes.
std::string messageBody(std::size_t lineLength) {
    std::string line(lineLength - 2, 'x');
    line += "\r\n";
    std::string body;
    body.reserve(kMessageBytes + lineLength);
    while (body.size() < kMessageBytes) body += line;
    return body;
}

// The plain way: chunks of 4096, lines cut at CR or LF, a CR LF pair as one end.
std::size_t baselineLines(int fd, std::ostream& out, bool stopAtDot) {
    char chunk[4096];
    std::string partial;
    std::size_t lines = 0;
    bool lastWasCr = false;
    for (;;) {
        ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0) return lines;
        std::size_t start = 0;
        for (std::size_t i = 0; i < static_cast<std::size_t>(got); ++i) {
            char c = chunk[i];
            if (c != '\r' && c != '\n') continue;
            if (c == '\n' && lastWasCr && i == start && partial.empty()) {
                lastWasCr = false;
                start = i + 1;
                continue;
            }
            lastWasCr = c == '\r';
            const char* text = chunk + start;
            std::size_t length = i - start;
            if (!partial.empty()) {
                partial.append(text, length);
                text = partial.data();
                length = partial.size();
            }
            if (stopAtDot && length == 1 && text[0] == '.') return lines;
            out.write(text, static_cast<std::streamsize>(length));
            out.put('\n');
            ++lines;
            partial.clear();
            start = i + 1;
            if (c == '\r' && i + 1 < static_cast<std::size_t>(got) && chunk[i + 1] == '\n') {
                ++start;
                ++i;
                lastWasCr = false;
            }
        }
        partial.append(chunk + start, static_cast<std::size_t>(got) - start);
    }
}

// Serves `rounds` connections on listener: reads the command line, sends reply, closes.
void serve(tmg::Socket& listener, const std::string& reply, int rounds) {
    for (int r = 0; r < rounds; ++r) {
        tmg::Socket client;
        sockaddr_in peer{};
        if (!listener.accept(client, peer)) return;
        std::string line;
        client.readLine(line, false);
        client.send(reply, false, false);
        client.close();
    }
}

tmg::Socket connectTo(std::uint16_t port) {
    tmg::Socket socket;
    socket.create(false, true);
    socket.connect(tmg::Socket::parseAddress("127.0.0.1", port, true), true);
    return socket;
}

double bestOf(const std::function<void()>& round) {
    double best = 1e9;
    for (int r = 0; r < kRounds; ++r) best = std::min(best, secondsFor(round));
    return best;
}

void retrieveCase(std::size_t lineLength, std::ostream& out) {
    const std::string reply = "+OK message follows\r\n" + messageBody(lineLength) + ".\r\n";
    tmg::Socket listener;
    listener.create(false, true);
    listener.listen(0, true);
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(listener.fd, reinterpret_cast<sockaddr*>(&bound), &length);
    const std::uint16_t port = ntohs(bound.sin_port);

    std::thread server([&] { serve(listener, reply, 2 * kRounds); });
    double baseline = bestOf([&] {
        tmg::Socket socket = connectTo(port);
        socket.send("RETR 1", true, true);
        baselineLines(socket.fd, out, true);
        socket.close();
    });
    double ours = bestOf([&] {
        tmg::Pop3Client client;
        client.socket = connectTo(port);
        client.state = 2;
        client.retrieve(1, out);
        client.socket.close();
    });
    server.join();
    listener.close();
    std::printf("retrieve, %zu-byte lines: baseline %.1f ms, retrieve %.1f ms, ratio %.2f\n", lineLength,
                baseline * 1e3, ours * 1e3, ours / baseline);
}

void readLineCase(std::size_t lineLength, std::ostream& out) {
    const std::string body = messageBody(lineLength);
    auto overPair = [&](const std::function<void(int)>& reader) {
        int ends[2];
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, ends);
        std::thread writer([&] {
            tmg::Socket socket(ends[1]);
            socket.send(body, false, false);
            ::shutdown(ends[1], SHUT_WR);
        });
        reader(ends[0]);
        writer.join();
        ::close(ends[0]);
        ::close(ends[1]);
    };
    double baseline = bestOf([&] { overPair([&](int fd) { baselineLines(fd, out, false); }); });
    double ours = bestOf([&] {
        overPair([&](int fd) {
            tmg::Socket socket(fd);
            std::string line;
            while (socket.readLine(line, false)) {
                out.write(line.data(), static_cast<std::streamsize>(line.size()));
                out.put('\n');
            }
        });
    });
    std::printf("readLine, %zu-byte lines: baseline %.1f ms, readLine %.1f ms, ratio %.2f\n", lineLength,
                baseline * 1e3, ours * 1e3, ours / baseline);
}

}  // namespace

int main() {
    NullBuffer discard;
    std::ostream out(&discard);
    for (std::size_t lineLength : {16, 80}) retrieveCase(lineLength, out);
    for (std::size_t lineLength : {16, 80}) readLineCase(lineLength, out);
    return 0;
}
