// Feeds arbitrary bytes to the filter protocol engine as request lines: the split and the
// sequence number of each line on their own, then the whole command loop over them. The
// loop must answer every line with exactly one line, and never crash; the only error it
// may raise is the one for the "crash" command.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "filter/helper.h"
#include "filter/request_line.h"
#include "foundation/exception.h"
#include "foundation/output_line.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool isDelimiter(char c) { return c == ' ' || c == '\r' || c == '\n'; }

void checkLine(const std::string& line) {
    cgp::RequestLine r = cgp::splitRequestLine(line);
    for (char c : r.seq) check(!isDelimiter(c));
    for (char c : r.command) check(!isDelimiter(c) && !(c >= 'A' && c <= 'Z'));
    check(r.parameters.empty() || !isDelimiter(r.parameters[0]));
    check(r.seq.size() + r.command.size() + r.parameters.size() <= line.size());
    if (r.seq.empty()) check(r.command.empty() && r.parameters.empty());

    std::uint32_t number = 12345;
    bool ok = cgp::readRequestNumber(r.seq, number);
    if (!ok) check(number == 0);
    if (ok && r.seq.find_first_not_of("0123456789") == std::string::npos)
        check(std::to_string(number) == r.seq.substr(std::min(r.seq.find_first_not_of('0'), r.seq.size() - 1)));
}

class Engine : public cgp::Helper {
public:
    Engine() : Helper(false, "REJECTED") {}
    void processRequest(std::uint32_t number, const std::string&, const std::string& parameters) override {
        tmg::outline() << number << " OK " << parameters.size();
    }
    bool isSupportedCommand(const std::string& command) const override { return command == "file"; }
};

// How many lines the loop reads from text: every piece ended by a line feed, and a last
// piece without one when it is not empty.
std::size_t linesIn(const std::string& text) {
    std::size_t count = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') ++count, start = i + 1;
    return count + (start < text.size() ? 1 : 0);
}

std::size_t linesOut(const std::string& text) {
    std::size_t count = 0;
    for (char c : text) count += c == '\n';
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::istringstream lines(input);
    for (std::string line; std::getline(lines, line);) checkLine(line);

    std::istringstream in(input);
    std::stringbuf captured;
    std::streambuf* saved = std::cout.rdbuf(&captured);
    bool crashed = false;
    Engine engine;
    try {
        engine.run(in);
    } catch (const tmg::Exception& e) {
        crashed = true;
        check(std::string(e.what()) == "unhandled exception request");
    }
    std::cout.rdbuf(saved);

    const std::string out = captured.str();
    check(!out.empty() && out.back() == '\n');
    if (!crashed) {
        // One ready line, one answer per line read, and at most one QUIT log line.
        std::size_t expected = 1 + linesIn(input);
        std::size_t written = linesOut(out);
        check(written == expected || written == expected + 1);
    }
    return 0;
}
