#include "filter/helper.h"

#include <climits>
#include <iostream>

#include "filter/quoting.h"
#include "filter/request_line.h"
#include "foundation/exception.h"
#include "foundation/log_line.h"
#include "foundation/output_line.h"
#include "foundation/read_line.h"

namespace cgp {

namespace {

constexpr int kProtocolVersion = 3;

const char kQuitRefusal[] = "\"QUIT command received, filter is shut down. Please restart the filter.\"";
const char kShutDownText[] = "\"Filter is shut down and waiting for standard output to be closed\"";
const char kNotANumber[] = "\"Error: seqID should be a number\"";
const char kMissingParameters[] = "\"Missing parameter(s)\"";

// The version asked for by INTF: 1 without a text, 0 when it is not a number.
int requestedVersion(const std::string& parameters) {
    if (parameters.empty()) return 1;
    std::uint32_t version = 0;
    if (!readRequestNumber(parameters, version) || version > static_cast<std::uint32_t>(INT_MAX)) return 0;
    return static_cast<int>(version);
}

}  // namespace

Helper::Helper(bool threaded, const std::string& refusalWord)
    : intfDone(false), threaded(threaded), refusalPrefix(" " + refusalWord + " ") {}

Helper::~Helper() = default;

int Helper::protocolVersion(int) { return kProtocolVersion; }

void Helper::onQuit() {}

void Helper::run() { run(std::cin); }

void Helper::run(std::istream& input) {
    tmg::logline() << "Ready to receive INTF command.";
    bool quitDone = false;
    std::string line;
    for (;;) {
        if (!input.good()) return;
        bool overlong = tmg::readLine(input, line, maxRequestLine);
        if (line.empty() && (input.eof() || input.fail())) return;
        if (overlong) answerOverlongLine(std::move(line), quitDone);
        else answerLine(std::move(line), quitDone);
    }
}

void Helper::answerOverlongLine(std::string start, bool quitDone) {
    const RequestLine line = splitRequestLine(std::move(start));
    if (line.seq.empty()) tmg::outline() << "(null) FAILURE";
    else if (quitDone) tmg::outline() << line.seq << refusalPrefix << kQuitRefusal;
    else tmg::outline() << line.seq << " FAILURE";
}

void Helper::answerLine(std::string text, bool& quitDone) {
    RequestLine line = splitRequestLine(std::move(text));
    const std::string& seq = line.seq;
    if (seq.empty()) {
        tmg::outline() << "(null) FAILURE";
        return;
    }
    std::uint32_t number = 0;
    readRequestNumber(seq, number);

    if (line.command.empty() && !quitDone) {
        tmg::outline() << seq << " FAILURE";
        return;
    }
    if (quitDone) {
        tmg::outline() << seq << refusalPrefix << kQuitRefusal;
        return;
    }
    if (line.command == "intf") {
        intfDone = true;
        tmg::outline() << seq << " INTF " << protocolVersion(requestedVersion(line.parameters));
        return;
    }
    if (line.command == "key") {
        tmg::outline() << seq << " OK";
        return;
    }
    if (line.command == "quit") {
        tmg::logline(seq) << "Filter is shutting down...";
        onQuit();
        tmg::outline() << seq << " OK " << kShutDownText;
        quitDone = true;
        return;
    }
    if (line.command == "crash") throw tmg::Exception("unhandled exception request", 0);

    if (number == 0 && seq != "0") {
        tmg::outline() << seq << refusalPrefix << kNotANumber;
        return;
    }
    if (line.parameters.empty()) {
        tmg::outline() << seq << " FAILURE " << kMissingParameters;
        return;
    }
    if (!isSupportedCommand(line.command)) {
        tmg::outline() << seq << " FAILURE";
        return;
    }
    if (!intfDone) {
        protocolVersion(kProtocolVersion);
        intfDone = true;
    }
    if (threaded) {
        acceptThreaded(number, line.command, line.parameters);
        return;
    }
    FilterRequest request{number, this, std::move(line.command), std::move(line.parameters)};
    handleRequest(&request);
}

void Helper::acceptThreaded(std::uint32_t number, const std::string& command, const std::string& parameters) {
    // Requests are handed to worker threads once the thread layer is there; until then
    // they are handled here, in turn, like a sequential engine's.
    FilterRequest request{number, this, command, parameters};
    handleRequest(&request);
}

void* Helper::handleRequest(FilterRequest* request) {
    request->helper->processRequest(request->number, request->command, request->parameters);
    return nullptr;
}

void Helper::joinLines(const std::vector<std::string>& lines, std::string& out) {
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) joined.push_back('\n');
        joined += lines[i];
    }
    out = escapeString(joined);
}

}  // namespace cgp
