#include "tests/support/scripted_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <deque>

#include <gtest/gtest.h>

namespace testsupport {

// ---- the script

ConnectionScript& ConnectionScript::expectLine() {
    steps.push_back({Kind::ExpectLine, "any line", nullptr, Milliseconds(0)});
    return *this;
}

ConnectionScript& ConnectionScript::expectLine(const std::string& line) {
    steps.push_back({Kind::ExpectLine, "\"" + line + "\"",
                     [line](const std::string& got) { return got == line; }, Milliseconds(0)});
    return *this;
}

ConnectionScript& ConnectionScript::expectLine(std::function<bool(const std::string&)> check,
                                               const std::string& what) {
    steps.push_back({Kind::ExpectLine, what, std::move(check), Milliseconds(0)});
    return *this;
}

ConnectionScript& ConnectionScript::send(const std::string& bytes) {
    steps.push_back({Kind::Send, bytes, nullptr, Milliseconds(0)});
    return *this;
}

ConnectionScript& ConnectionScript::sendSplit(const std::vector<std::string>& pieces, Milliseconds gap) {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) pause(gap);
        send(pieces[i]);
    }
    return *this;
}

ConnectionScript& ConnectionScript::pause(Milliseconds time) {
    steps.push_back({Kind::Pause, "", nullptr, time});
    return *this;
}

ConnectionScript& ConnectionScript::close() {
    steps.push_back({Kind::Close, "", nullptr, Milliseconds(0)});
    return *this;
}

ConnectionScript& ConnectionScript::reset() {
    steps.push_back({Kind::Reset, "", nullptr, Milliseconds(0)});
    return *this;
}

ConnectionScript& ConnectionScript::expectClose() {
    steps.push_back({Kind::ExpectClose, "", nullptr, Milliseconds(0)});
    return *this;
}

// ---- one connection

namespace {

using Clock = std::chrono::steady_clock;

enum class Wait { Ready, TimedOut, Stopping };

// Waits until fd is ready for `events`, the deadline passes or the wake pipe is written.
Wait waitFor(int fd, short events, int wakeFd, Clock::time_point deadline) {
    for (;;) {
        auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now()).count();
        if (left < 0) left = 0;
        if (left > 60000) left = 60000;  // a far deadline: wait in slices
        struct pollfd fds[2] = {{wakeFd, POLLIN, 0}, {fd, events, 0}};
        int n = poll(fds, fd >= 0 ? 2 : 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Wait::Stopping;
        if (fds[0].revents != 0) return Wait::Stopping;
        if (n > 0) return Wait::Ready;
        if (Clock::now() >= deadline) return Wait::TimedOut;
    }
}

}  // namespace

class ScriptedServer::Player {
public:
    Player(ScriptedServer& owner, std::size_t number, int socket) : server(owner), index(number), fd(socket) {}
    ~Player() {
        if (fd >= 0) ::close(fd);
    }

    void play(const ConnectionScript& script) {
        for (const ConnectionScript::Step& step : script.steps) {
            if (!playStep(step)) return;
        }
        // Record what the client still sends, until it closes; no expectation is left.
        for (;;) {
            Read got = readMore(deadline());
            if (got != Read::Data) return;
        }
    }

private:
    enum class Read { Data, End, TimedOut, Stopping };

    Clock::time_point deadline() const { return Clock::now() + server.options.patience; }
    std::string name() const { return "connection " + std::to_string(index) + ": "; }

    bool playStep(const ConnectionScript::Step& step) {
        using Kind = ConnectionScript::Kind;
        switch (step.kind) {
        case Kind::ExpectLine: {
            auto until = deadline();
            while (pending.empty()) {
                Read got = readMore(until);
                if (got == Read::Stopping) return false;
                if (got == Read::End || got == Read::TimedOut) {
                    server.problem(name() + "expected " + step.text + ", got " +
                                   (got == Read::End ? "the client's close" : "nothing in time"));
                    return false;
                }
            }
            std::string line = pending.front();
            pending.pop_front();
            if (step.check && !step.check(line)) {
                server.problem(name() + "expected " + step.text + ", got \"" + line + "\"");
                return false;
            }
            return true;
        }
        case Kind::Send:
            return sendAll(step.text);
        case Kind::Pause:
            return waitFor(-1, 0, server.wake[0], Clock::now() + step.time) == Wait::TimedOut;
        case Kind::Close:
            ::shutdown(fd, SHUT_WR);
            ::close(fd);
            fd = -1;
            return false;
        case Kind::Reset: {
            struct linger abortive = {1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
            ::close(fd);
            fd = -1;
            return false;
        }
        case Kind::ExpectClose: {
            auto until = deadline();
            for (;;) {
                Read got = readMore(until);
                if (got == Read::End) return true;
                if (got == Read::Stopping) return false;
                if (got == Read::TimedOut) {
                    server.problem(name() + "expected the client to close, it did not in time");
                    return false;
                }
            }
        }
        }
        return false;
    }

    bool sendAll(const std::string& bytes) {
        std::size_t done = 0;
        auto until = deadline();
        while (done < bytes.size()) {
            ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                Wait w = waitFor(fd, POLLOUT, server.wake[0], until);
                if (w == Wait::Ready) continue;
                if (w == Wait::TimedOut) server.problem(name() + "the client did not take a send in time");
                return false;
            }
            return false;  // the client has gone
        }
        return true;
    }

    // Reads what is there (waiting until `until`), records it and queues complete lines.
    Read readMore(Clock::time_point until) {
        Wait w = waitFor(fd, POLLIN, server.wake[0], until);
        if (w == Wait::Stopping) return Read::Stopping;
        if (w == Wait::TimedOut) return Read::TimedOut;
        char buffer[4096];
        ssize_t n;
        do {
            n = ::recv(fd, buffer, sizeof buffer, 0);
        } while (n < 0 && errno == EINTR);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Read::Data;
        if (n <= 0) return Read::End;
        std::string chunk(buffer, static_cast<std::size_t>(n));
        partial += chunk;
        std::vector<std::string> complete;
        std::size_t feed;
        while ((feed = partial.find('\n')) != std::string::npos) {
            std::string line = partial.substr(0, feed);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            partial.erase(0, feed + 1);
            complete.push_back(line);
            pending.push_back(line);
        }
        {
            std::lock_guard<std::mutex> lock(server.mutex);
            Connection& connection = server.record[index];
            connection.bytes += chunk;
            connection.lines.insert(connection.lines.end(), complete.begin(), complete.end());
        }
        server.changed.notify_all();
        return Read::Data;
    }

    ScriptedServer& server;
    std::size_t index;
    int fd;
    std::string partial;              // received bytes after the last line end
    std::deque<std::string> pending;  // complete lines no step has taken yet
};

// ---- the server

ScriptedServer::ScriptedServer(std::vector<ConnectionScript> scriptList, ServerOptions serverOptions)
    : scripts(std::move(scriptList)), options(serverOptions) {
    if (pipe2(wake, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "scripted server: pipe failed";
        return;
    }
    listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "scripted server: cannot listen on 127.0.0.1";
        return;
    }
    listenPort = ntohs(address.sin_port);
    thread = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer() {
    stop();
    for (int fd : {wake[0], wake[1]})
        if (fd >= 0) ::close(fd);
}

void ScriptedServer::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopped) return;
        stopped = true;
    }
    if (wake[1] >= 0) {
        char byte = 0;
        ssize_t ignored = ::write(wake[1], &byte, 1);
        (void)ignored;
    }
    if (thread.joinable()) thread.join();
    if (listener >= 0) ::close(listener);
    listener = -1;
    changed.notify_all();
}

int ScriptedServer::acceptOne() {
    for (;;) {
        if (waitFor(listener, POLLIN, wake[0], Clock::time_point::max()) != Wait::Ready) return -1;
        int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            // Every write leaves at once: the pieces of a split reply would otherwise wait
            // for the client's delayed acknowledgement, some 40 ms each.
            int on = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            {
                std::lock_guard<std::mutex> lock(mutex);
                record.emplace_back();
            }
            changed.notify_all();
            return fd;
        }
        if (errno != EINTR && errno != ECONNABORTED && errno != EAGAIN) return -1;
    }
}

void ScriptedServer::run() {
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        int fd = acceptOne();
        if (fd < 0) return;
        Player(*this, i, fd).play(scripts[i]);
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++scriptsDone;
        }
        changed.notify_all();
    }
    for (;;) {
        int fd = acceptOne();
        if (fd < 0) return;
        ::close(fd);
    }
}

void ScriptedServer::problem(const std::string& sentence) {
    ADD_FAILURE() << "scripted server, " << sentence;
    {
        std::lock_guard<std::mutex> lock(mutex);
        failures.push_back(sentence);
    }
    changed.notify_all();
}

std::size_t ScriptedServer::connections() const {
    std::lock_guard<std::mutex> lock(mutex);
    return record.size();
}

std::string ScriptedServer::received(std::size_t connection) const {
    std::lock_guard<std::mutex> lock(mutex);
    return connection < record.size() ? record[connection].bytes : std::string();
}

std::vector<std::string> ScriptedServer::lines(std::size_t connection) const {
    std::lock_guard<std::mutex> lock(mutex);
    return connection < record.size() ? record[connection].lines : std::vector<std::string>();
}

std::vector<std::string> ScriptedServer::allLines() const {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> all;
    for (const Connection& connection : record) all.insert(all.end(), connection.lines.begin(), connection.lines.end());
    return all;
}

std::vector<std::string> ScriptedServer::problems() const {
    std::lock_guard<std::mutex> lock(mutex);
    return failures;
}

std::size_t ScriptedServer::lineCount() const {
    std::size_t count = 0;
    for (const Connection& connection : record) count += connection.lines.size();
    return count;
}

bool ScriptedServer::waitForConnections(std::size_t count, Milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return record.size() >= count; });
}

bool ScriptedServer::waitForLines(std::size_t count, Milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return lineCount() >= count; });
}

bool ScriptedServer::waitUntilDone(Milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return scriptsDone >= scripts.size(); });
}

}  // namespace testsupport
