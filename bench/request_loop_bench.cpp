// Cost of the filter protocol engine's command loop per request line, against a bare loop
// that reads the same lines and writes one flushed line each to the same sink.
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "filter/helper.h"
#include "foundation/output_line.h"
#include "timing.h"

namespace {

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

class Engine : public cgp::Helper {
public:
    Engine() : Helper(false, "REJECTED") {}
    void processRequest(std::uint32_t number, const std::string&, const std::string&) override {
        tmg::outline() << number << " OK";
    }
    bool isSupportedCommand(const std::string& command) const override { return command == "file"; }
};

}  // namespace

int main() {
    const int kLines = 300000;
    std::string input;
    for (int i = 1; i <= kLines; ++i) input += std::to_string(i) + " FILE /var/spool/queue/" + std::to_string(i) + ".msg\n";

    NullBuffer sink;
    std::streambuf* saved = std::cout.rdbuf(&sink);
    double baseline = secondsFor([&] {
        std::istringstream in(input);
        for (std::string line; std::getline(in, line);) {
            std::string answer = line.substr(0, line.find(' ')) + " OK\n";
            std::cout.write(answer.data(), static_cast<std::streamsize>(answer.size()));
            std::cout.flush();
        }
    });
    double engine = secondsFor([&] {
        std::istringstream in(input);
        Engine e;
        e.run(in);
    });
    std::cout.rdbuf(saved);

    std::printf("request loop: %d lines, engine %.3f s, bare loop %.3f s, ratio %.2f (%.0f ns per line)\n", kLines,
                engine, baseline, engine / baseline, engine / kLines * 1e9);
    return 0;
}
