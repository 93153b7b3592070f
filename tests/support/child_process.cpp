#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include <gtest/gtest.h>

namespace testsupport {

namespace {

// Long enough for a sanitizer build of the filter on a machine busy with other builds.
constexpr auto kPatience = std::chrono::seconds(120);

void drain(int fd, std::string& into, bool& closed) {
    char buffer[65536];
    while (!closed) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) into.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0) closed = true;
        else if (errno != EINTR) break;
    }
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& executable,
                           const std::string& workingFolder) {
    signal(SIGPIPE, SIG_IGN);
    int in[2], outPipe[2], errPipe[2];
    if (pipe(in) != 0 || pipe(outPipe) != 0 || pipe(errPipe) != 0) {
        ADD_FAILURE() << "pipe failed";
        return;
    }
    std::string program = executable.empty() ? argv.at(0) : executable;
    std::vector<char*> args;
    for (const std::string& word : argv) args.push_back(const_cast<char*>(word.c_str()));
    args.push_back(nullptr);
    pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (int fd : {in[0], in[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) close(fd);
        if (!workingFolder.empty() && chdir(workingFolder.c_str()) != 0) _exit(126);
        execv(program.c_str(), args.data());
        _exit(127);
    }
    if (pid < 0) ADD_FAILURE() << "fork failed";
    close(in[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    input = in[1];
    output = outPipe[0];
    errors = errPipe[0];
    fcntl(output, F_SETFL, O_NONBLOCK);
    fcntl(errors, F_SETFL, O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    for (int fd : {input, output, errors})
        if (fd >= 0) close(fd);
}

void ChildProcess::send(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(input, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EPIPE) return;
        if (n <= 0) {
            ADD_FAILURE() << "write to the child failed";
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

std::string ChildProcess::readLines(int lines) {
    std::size_t start = taken;
    int seen = 0;
    auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        while (seen < lines) {
            std::size_t feed = out.find('\n', taken);
            if (feed == std::string::npos) break;
            taken = feed + 1;
            ++seen;
        }
        if (seen == lines || outputClosed) break;
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the child did not answer in time";
            break;
        }
        pump(100);
    }
    return out.substr(start, taken - start);
}

Transcript ChildProcess::finish() {
    if (input >= 0) close(input);
    input = -1;
    auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!(outputClosed && errorsClosed)) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the child did not end in time";
            if (pid > 0) kill(pid, SIGKILL);  // so the reaping below cannot hang
            break;
        }
        pump(100);
    }
    Transcript result;
    result.out = out;
    result.err = err;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    pid = -1;
    return result;
}

void ChildProcess::setAsideLinesStartingWith(const std::string& prefix) { asidePrefix = prefix; }

bool ChildProcess::waitForSetAside(std::size_t lines, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (static_cast<std::size_t>(std::count(asideText.begin(), asideText.end(), '\n')) >= lines) return true;
        if (outputClosed || std::chrono::steady_clock::now() > deadline) return false;
        pump(10);
    }
}

void ChildProcess::pump(int milliseconds) {
    struct pollfd fds[2] = {{output, POLLIN, 0}, {errors, POLLIN, 0}};
    poll(fds, 2, milliseconds);
    drain(output, out, outputClosed);
    drain(errors, err, errorsClosed);
    if (asidePrefix.empty()) return;
    // Every whole line is sorted as soon as it is in, so none that readLines() has handed
    // out is ever moved.
    for (std::size_t feed; (feed = out.find('\n', checked)) != std::string::npos;) {
        if (out.compare(checked, asidePrefix.size(), asidePrefix) == 0) {
            asideText.append(out, checked, feed + 1 - checked);
            out.erase(checked, feed + 1 - checked);
        } else {
            checked = feed + 1;
        }
    }
}

}  // namespace testsupport
