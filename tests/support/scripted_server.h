#pragma once

// A scripted TCP server on the loopback interface, the fake peer of client tests (the
// administration protocol, POP3, probes). It listens on 127.0.0.1 at a port the system
// picks, runs on a thread of its own, and plays one script per accepted connection, in the
// order the connections come. Everything it receives is recorded and can be read while it
// runs or after.
//
//     testsupport::ScriptedServer server({
//         testsupport::ConnectionScript()
//             .send("+OK ready\r\n")
//             .expectLine("USER joe")
//             .send("+OK\r\n-ERR no\r\n")     // two lines in one write
//             .expectLine("QUIT")
//             .close(),
//     });
//     runClientAgainst("127.0.0.1", server.port());
//     EXPECT_EQ(server.lines(0), (std::vector<std::string>{"USER joe", "QUIT"}));
//
// Nothing here waits without bound: every wait for the client has a limit (the patience of
// ServerOptions), and the destructor stops the thread at once whatever the scripts are
// doing. Expectations that fail are test failures of the test that owns the server (the
// test framework accepts them from the server's thread); they also stay readable through
// problems().

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

using Milliseconds = std::chrono::milliseconds;

// The steps one connection plays, in order. Built by chaining; copied into the server.
// A line is what the client sends up to "\n"; its "\r\n" or "\n" is not part of it.
class ConnectionScript {
public:
    // Waits for the next line from the client. With `line`, it must equal the received line;
    // with `check`, check(line) must be true (`what` names the expectation in failures).
    // A mismatch, the client's close or the patience running out is a test failure and ends
    // the connection (the server closes it).
    ConnectionScript& expectLine();
    ConnectionScript& expectLine(const std::string& line);
    ConnectionScript& expectLine(std::function<bool(const std::string&)> check, const std::string& what);

    // Sends bytes in one write (several lines at once, or part of one). If the client has
    // gone, the connection ends without a test failure: what the client did is for the test
    // to judge.
    ConnectionScript& send(const std::string& bytes);
    // Sends each piece in a write of its own with `gap` between them, so the client sees a
    // reply arrive in parts.
    ConnectionScript& sendSplit(const std::vector<std::string>& pieces, Milliseconds gap);
    // Waits without reading (what the client sends meanwhile is read at the next step).
    ConnectionScript& pause(Milliseconds time);

    // Closes the connection in the orderly way (the client reads the end of the stream).
    // Steps after it are not played.
    ConnectionScript& close();
    // Closes the connection abortively: the client's next read or write fails with
    // ECONNRESET. Steps after it are not played.
    ConnectionScript& reset();
    // Waits for the client to close its side, recording whatever it sends before; the
    // patience running out is a test failure.
    ConnectionScript& expectClose();

    // After the last step (unless it is close() or reset()) the server goes on reading and
    // recording until the client closes, the patience runs out or the server stops, then
    // closes the connection; none of these is a failure.

private:
    friend class ScriptedServer;
    enum class Kind { ExpectLine, Send, Pause, Close, Reset, ExpectClose };
    struct Step {
        Kind kind;
        std::string text;  // the bytes to send, or the expected line / its description
        std::function<bool(const std::string&)> check;  // empty: any line will do
        Milliseconds time{0};
    };
    std::vector<Step> steps;
};

struct ServerOptions {
    // The longest wait for one line, for the client's close, or for a send to go out.
    Milliseconds patience{5000};
};

class ScriptedServer {
public:
    // Listens on 127.0.0.1 at a free port and starts the thread. Connection i (counting from
    // 0) plays scripts[i]; connections beyond the scripts are accepted, recorded and closed
    // at once. If the port cannot be opened, that is a test failure and port() is 0.
    explicit ScriptedServer(std::vector<ConnectionScript> scripts, ServerOptions options = {});
    // Stops (see stop()).
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    // The port the server listens on (in host order); valid as soon as the constructor ends.
    std::uint16_t port() const { return listenPort; }

    // Ends every wait of the thread, closes the open connection and the listening socket and
    // joins the thread. Scripts not played by then are dropped without a failure. Idempotent;
    // the recordings stay readable.
    void stop();

    // Recordings; each call takes the server's mutex and returns a copy.
    // Connections accepted so far.
    std::size_t connections() const;
    // Every byte received on connection i (empty for a connection not accepted).
    std::string received(std::size_t connection) const;
    // The complete lines received on connection i, in order (a last piece without "\n" is in
    // received() only).
    std::vector<std::string> lines(std::size_t connection) const;
    // The complete lines of all connections, connection after connection.
    std::vector<std::string> allLines() const;
    // The failed expectations so far, one sentence each; each was also a test failure.
    std::vector<std::string> problems() const;

    // Bounded waits for the thread to reach a point; each returns whether it did in time.
    bool waitForConnections(std::size_t count, Milliseconds timeout) const;
    bool waitForLines(std::size_t count, Milliseconds timeout) const;  // over all connections
    // Every script played to its end (its connection closed).
    bool waitUntilDone(Milliseconds timeout) const;

private:
    struct Connection {
        std::string bytes;
        std::vector<std::string> lines;
    };
    class Player;

    void run();
    void acceptExtra();
    int acceptOne();  // -1 once stopping
    void problem(const std::string& sentence);
    std::size_t lineCount() const;  // callers hold `mutex`

    std::vector<ConnectionScript> scripts;
    ServerOptions options;
    int listener = -1;
    int wake[2] = {-1, -1};  // written once by stop(); readable from then on
    std::uint16_t listenPort = 0;
    std::thread thread;

    mutable std::mutex mutex;  // guards everything below
    mutable std::condition_variable changed;
    std::vector<Connection> record;
    std::vector<std::string> failures;
    std::size_t scriptsDone = 0;
    bool stopped = false;
};

}  // namespace testsupport
