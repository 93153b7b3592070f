#include "filter/helper.h"

#include <cxxabi.h>

#include <climits>
#include <iostream>
#include <memory>
#include <new>

#include "filter/quoting.h"
#include "filter/request_line.h"
#include "foundation/exception.h"
#include "foundation/log_line.h"
#include "foundation/output_line.h"
#include "foundation/read_line.h"
#include "foundation/thread.h"

namespace cgp {

namespace {

constexpr int kProtocolVersion = 3;

// The most request numbers in flight at once in threaded mode.
constexpr std::size_t kMaxInFlight = 50;

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

void* workerStart(void* request) { return Helper::handleRequest(static_cast<FilterRequest*>(request)); }

}  // namespace

Helper::Helper(bool threadedMode, const std::string& refusalWord)
    : intfDone(false),
      mutex(tmg::LockRank::EngineInFlight),
      threaded(threadedMode),
      refusalPrefix(" " + refusalWord + " "),
      workers(0) {}

Helper::~Helper() = default;

int Helper::protocolVersion(int) { return kProtocolVersion; }

void Helper::onQuit() {}

void Helper::run() { run(std::cin); }

void Helper::run(std::istream& input) {
    tmg::logline() << "Ready to receive INTF command.";
    bool quitDone = false;
    std::string line;
    try {
        for (;;) {
            if (!input.good()) break;
            bool overlong = tmg::readLine(input, line, maxRequestLine);
            if (line.empty() && (input.eof() || input.fail())) break;
            if (overlong)
                answerOverlongLine(std::move(line), quitDone);
            else
                answerLine(std::move(line), quitDone);
            rethrowWorkerError();
        }
    } catch (...) {
        // Also a cancellation's unwinding, which must go on: waiting and rethrowing does.
        waitForWorkers();
        throw;
    }
    waitForWorkers();
    rethrowWorkerError();
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
    // Only this thread adds numbers, so the set cannot gain one between the look and the
    // insertion.
    std::size_t count;
    bool inUse;
    {
        tmg::MutexLock lock(&mutex);
        count = inFlight.size();
        inUse = inFlight.count(number) != 0;
    }
    if (count >= kMaxInFlight) {
        tmg::outline() << number << refusalPrefix << "\"Too many requests in queue (" << count
                       << "), try again in a few seconds.\"";
        return;
    }
    if (inUse) {
        tmg::outline() << number << refusalPrefix << "\"This request ID is already in use (" << number
                       << "), try again in a few seconds.\"";
        return;
    }
    // Whatever may fail for want of memory comes before the worker is counted: a count
    // that no worker takes back would keep run() waiting for ever.
    std::unique_ptr<FilterRequest> request(new FilterRequest{number, this, command, parameters});
    {
        tmg::MutexLock lock(&mutex);
        inFlight.insert(number);
        ++workers;
    }
    tmg::logline(number) << "Thread processing started";
    bool started = false;
    try {
        tmg::Thread worker(workerStart, request.get(), true);
        started = worker->running;
    } catch (const std::bad_alloc&) {
    }
    FilterRequest* handed = request.release();
    if (!started) handleRequest(handed);
}

void* Helper::handleRequest(FilterRequest* request) {
    Helper* helper = request->helper;
    if (!helper->threaded) {
        helper->processRequest(request->number, request->command, request->parameters);
        return nullptr;
    }
    try {
        helper->processRequest(request->number, request->command, request->parameters);
    } catch (abi::__forced_unwind&) {
        helper->closeRequest(request);
        throw;
    } catch (...) {
        tmg::MutexLock lock(&helper->mutex);
        if (!helper->workerError) helper->workerError = std::current_exception();
    }
    helper->closeRequest(request);
    return nullptr;
}

void Helper::closeRequest(FilterRequest* request) {
    const std::uint32_t number = request->number;
    {
        tmg::MutexLock lock(&mutex);
        inFlight.erase(number);
    }
    tmg::logline(number) << "Thread processing done";
    delete request;
    // The signal is given under the mutex: the loop cannot see the count reach 0, return
    // and let the engine go before this worker has stopped touching it.
    tmg::MutexLock lock(&mutex);
    --workers;
    workersDone.signal();
}

void Helper::waitForWorkers() {
    for (;;) {
        {
            tmg::MutexLock lock(&mutex);
            if (workers == 0) return;
        }
        workersDone.wait();
    }
}

void Helper::rethrowWorkerError() {
    std::exception_ptr error;
    {
        tmg::MutexLock lock(&mutex);
        error = workerError;
    }
    if (!error) return;
    waitForWorkers();
    std::rethrow_exception(error);
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
