#pragma once

// Runs the built vorpelin program as the mail server does: from a folder that holds a copy
// of the binary and its rules file, with pipes on standard input, output and error.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace filter_test {

// A fresh folder in the working folder with a copy (a hard link where possible) of the
// binary named vorpelin; removed with everything in it.
class FilterFolder {
public:
    FilterFolder() {
        std::string pattern = (std::filesystem::current_path() / "vorpelin-XXXXXX").string();
        if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
        root = pattern;
        std::error_code error;
        std::filesystem::create_hard_link(VORPELIN_BINARY, program(), error);
        if (error) std::filesystem::copy_file(VORPELIN_BINARY, program());
    }
    ~FilterFolder() {
        std::error_code error;
        std::filesystem::remove_all(root, error);
    }
    FilterFolder(const FilterFolder&) = delete;
    FilterFolder& operator=(const FilterFolder&) = delete;

    std::string path(const std::string& name) const { return (root / name).string(); }
    std::string program() const { return path("vorpelin"); }
    std::string folder() const { return root.string(); }

    void write(const std::string& name, const std::string& content) const {
        std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
        out << content;
    }
    void writeRules(const std::string& content) const { write("vorpelin.regex", content); }
    // Sets a file's modification time (and access time) to seconds since the epoch.
    void setModified(const std::string& name, long seconds) const {
        struct utimbuf times = {seconds, seconds};
        utime(path(name).c_str(), &times);
    }

private:
    std::filesystem::path root;
};

// What a finished run wrote and how it ended.
struct Transcript {
    std::string out;
    std::string err;
    int status = -1;  // exit status, or -1 when the process did not exit normally
};

// A running filter process. Every read waits at most a few seconds, so a filter that hangs
// fails the test instead of stopping it.
class FilterProcess {
public:
    // argv is the command line; its first word is the program path as the filter sees it.
    // The process starts in workingFolder when one is given.
    explicit FilterProcess(const std::vector<std::string>& argv, const std::string& executable = "",
                           const std::string& workingFolder = "") {
        signal(SIGPIPE, SIG_IGN);  // a filter that died must fail the test, not kill it
        int in[2], out[2], err[2];
        if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) {
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
            dup2(out[1], 1);
            dup2(err[1], 2);
            for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
            if (!workingFolder.empty() && chdir(workingFolder.c_str()) != 0) _exit(126);
            execv(program.c_str(), args.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        close(err[1]);
        input = in[1];
        output = out[0];
        errors = err[0];
        fcntl(output, F_SETFL, O_NONBLOCK);
        fcntl(errors, F_SETFL, O_NONBLOCK);
    }

    ~FilterProcess() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        for (int fd : {input, output, errors})
            if (fd >= 0) close(fd);
    }
    FilterProcess(const FilterProcess&) = delete;
    FilterProcess& operator=(const FilterProcess&) = delete;

    // Writes text to the filter's standard input. A filter that has already ended (it
    // quits at start without rules) closes its input, so a broken pipe only stops the
    // writing: the transcript and the exit status say whether that was right.
    void send(const std::string& text) {
        std::size_t done = 0;
        while (done < text.size()) {
            ssize_t n = ::write(input, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EPIPE) return;
            if (n <= 0) {
                ADD_FAILURE() << "write to the filter failed";
                return;
            }
            done += static_cast<std::size_t>(n);
        }
    }

    // Everything the filter writes on standard output until it has written `lines` more
    // lines (or ended, or timed out); returns those lines.
    std::string readLines(int lines) {
        std::size_t start = taken;
        int seen = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (;;) {
            while (seen < lines) {
                std::size_t feed = out.find('\n', taken);
                if (feed == std::string::npos) break;
                taken = feed + 1;
                ++seen;
            }
            if (seen == lines || outputClosed) break;
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the filter did not answer in time";
                break;
            }
            pump(100);
        }
        return out.substr(start, taken - start);
    }

    // Closes standard input, waits for the process to end, and returns the whole run.
    Transcript finish() {
        if (input >= 0) close(input);
        input = -1;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!(outputClosed && errorsClosed)) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the filter did not end in time";
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

private:
    void pump(int milliseconds) {
        struct pollfd fds[2] = {{output, POLLIN, 0}, {errors, POLLIN, 0}};
        poll(fds, 2, milliseconds);
        drain(output, out, outputClosed);
        drain(errors, err, errorsClosed);
    }
    static void drain(int fd, std::string& into, bool& closed) {
        char buffer[65536];
        while (!closed) {
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) into.append(buffer, static_cast<std::size_t>(n));
            else if (n == 0) closed = true;
            else if (errno != EINTR) break;
        }
    }

    pid_t pid = -1;
    int input = -1, output = -1, errors = -1;
    std::string out, err;
    std::size_t taken = 0;
    bool outputClosed = false, errorsClosed = false;
};

// Runs the folder's program with the given extra arguments, writes input to it, closes its
// standard input and returns the whole run.
inline Transcript runFilter(const FilterFolder& folder, const std::string& input,
                            const std::vector<std::string>& extraArguments = {}) {
    std::vector<std::string> argv{folder.program()};
    argv.insert(argv.end(), extraArguments.begin(), extraArguments.end());
    FilterProcess process(argv);
    process.send(input);
    return process.finish();
}

// The lines every run with a readable rules file starts with.
inline const std::string startLines =
    "* Tolmagrid's Vorpelin filter v1.1.1 running...\n"
    "* Ready to receive INTF command.\n";

}  // namespace filter_test
