#pragma once

#include <cstdint>
#include <exception>
#include <istream>
#include <set>
#include <string>
#include <vector>

#include "foundation/condition.h"
#include "foundation/mutex.h"
#include "foundation/noncopyable.h"

namespace cgp {

class Helper;

// One accepted request on its way to the handler. The engine is not owned. In sequential
// mode the record lives on the command loop's stack; in threaded mode it is made with new
// for the worker, which deletes it.
struct FilterRequest {
    std::uint32_t number;    // the request number read from the sequence number
    Helper* helper;          // the engine whose processRequest handles it
    std::string command;     // lower-cased command word
    std::string parameters;  // the rest of the request line, as read
};

// The engine of the mail server's External Filter protocol: a command loop that reads one
// request per line, answers the protocol's own commands (INTF, KEY, QUIT) and every
// malformed line itself, and hands each well-formed request of a supported command to
// processRequest of the subclass. Every answer is one tmg::outline on standard output.
//
// A subclass supplies isSupportedCommand and processRequest, and may change the announced
// protocol version and what happens on QUIT:
//
//   class Filter : public cgp::Helper {
//   public:
//       Filter() : Helper(false, "REJECTED") {}
//       bool isSupportedCommand(const std::string& c) const override { return c == "file"; }
//       void processRequest(std::uint32_t n, const std::string&, const std::string& path) override {
//           tmg::outline() << n << " OK";
//       }
//   };
//
// Answers written by the loop (seq is the sequence number as typed, REJECTED the refusal
// word given to the constructor):
//   empty line                         "(null) FAILURE"
//   no command word                    seq FAILURE
//   anything after QUIT                seq REJECTED "QUIT command received, filter is shut down. Please restart the filter."
//   INTF [version]                     seq INTF <protocolVersion(version)>
//   KEY ...                            seq OK
//   QUIT                               seq OK "Filter is shut down and waiting for standard output to be closed"
//   seq not a 32-bit number            seq REJECTED "Error: seqID should be a number"
//   no parameters                      seq FAILURE "Missing parameter(s)"
//   unsupported command                seq FAILURE
// Command words are compared case-insensitively. A request that comes before any INTF is
// handled as if INTF 3 had come first.
//
// Threaded mode: each accepted request runs processRequest on a detached thread of its
// own, logged "* [n] Thread processing started" and, once processRequest has returned,
// "* [n] Thread processing done"; answers leave in the order the workers finish and are
// matched by their numbers (n is the request number in decimal: seq 007 is 7). The loop
// adds two refusals there:
//   50 or more requests in flight      n REJECTED "Too many requests in queue (<count>), try again in a few seconds."
//   n already in flight                n REJECTED "This request ID is already in use (<n>), try again in a few seconds."
// A number may be used again once its worker is done. When no thread can be started, the
// loop handles the request itself, with the same log lines. processRequest runs on several
// threads at once: whatever it shares between requests the subclass must guard.
class Helper : private tmg::noncopyable {
public:
    // threaded: hand each accepted request to a worker thread of its own instead of
    // handling it on the loop's thread (see above).
    // refusalWord: the status word of refusals ("REJECTED" for message filters).
    Helper(bool threaded, const std::string& refusalWord);
    virtual ~Helper();

    // The command loop over standard input; see run(std::istream&).
    void run();

    // The command loop: logs "Ready to receive INTF command.", then reads and answers
    // lines until the input ends or fails. In sequential mode each answer is written before
    // the next line is read. A line longer than maxRequestLine is read past, never held
    // whole, and answered as a request the engine does not take: seq FAILURE (the QUIT
    // refusal after QUIT, "(null) FAILURE" when its start holds no seq). Errors are not
    // caught here: whatever processRequest throws, and the tmg::Exception "unhandled
    // exception request" (code 0) raised for the command
    // "crash", leave run() and reach its caller, which should log them and end the
    // process with a non-zero status. In threaded mode an error of a worker leaves run()
    // after the line being handled when it is noticed, or at the end of the input; only
    // the first one is kept. However run() ends, it returns or throws only once every
    // worker has finished, so the engine may be destroyed at once. run() can be called
    // once per engine.
    void run(std::istream& input);

    // The request worker: calls processRequest of the request's engine with its number,
    // command and parameters. Returns null. In threaded mode it then takes the number out
    // of the in-flight set, logs "Thread processing done" and deletes the request (which
    // must come from new); an error of processRequest is kept for run() instead of
    // leaving here.
    static void* handleRequest(FilterRequest* request);

    // Joins lines with one line feed between neighbours and stores the result, quoted by
    // escapeString, in out (so line feeds travel as "\e").
    static void joinLines(const std::vector<std::string>& lines, std::string& out);

    // The protocol version to announce when version requested is asked for (1 when INTF
    // came without one, 0 when it was not a number). This engine speaks version 3.
    virtual int protocolVersion(int requested);

    // Called when QUIT is accepted, before its answer is written. Does nothing here.
    virtual void onQuit();

    // Handles one accepted request and writes its answer, which begins with number in
    // decimal. command is lower-cased and supported; parameters are not empty.
    virtual void processRequest(std::uint32_t number, const std::string& command, const std::string& parameters) = 0;

    // Whether processRequest handles command (already lower-cased).
    virtual bool isSupportedCommand(const std::string& command) const = 0;

private:
    // Answers one line, or hands it on; quitDone is the loop's shut-down state.
    void answerLine(std::string line, bool& quitDone);
    // Answers a line that was too long to be read whole, from its start.
    void answerOverlongLine(std::string start, bool quitDone);
    // Where a threaded engine accepts a checked request.
    void acceptThreaded(std::uint32_t number, const std::string& command, const std::string& parameters);
    // A worker's closing steps.
    void closeRequest(FilterRequest* request);
    // Returns once no worker is left.
    void waitForWorkers();
    // Throws the first error of a worker, once every worker has finished.
    void rethrowWorkerError();

    bool intfDone;
    tmg::MutexInterface mutex;          // guards inFlight, workers and workerError
    const bool threaded;
    std::set<std::uint32_t> inFlight;   // request numbers on worker threads
    const std::string refusalPrefix;    // " " + refusal word + " "
    unsigned workers;                   // accepted requests whose worker has not finished
    tmg::Condition workersDone;         // signalled, under mutex, as each worker finishes
    std::exception_ptr workerError;     // the first error a worker met
};

}  // namespace cgp
