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
#include "loopback_responder.h"
#include "timing.h"

namespace {

using bench::Responder;

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
