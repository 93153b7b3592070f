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

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace filter_test {

using testsupport::Transcript;
// A running filter process; every read waits at most two minutes. The line that says
// the prefilter is ready comes whenever its build ends, so it is set aside.
class FilterProcess : public testsupport::ChildProcess {
public:
    explicit FilterProcess(const std::vector<std::string>& argv, const std::string& executable = "",
                           const std::string& workingFolder = "")
        : ChildProcess(argv, executable, workingFolder) {
        setAsideLinesStartingWith("* Prefilter ready: ");
    }
};

// A fresh folder in the working folder with a copy (a hard link where possible) of the
// binary named vorpelin; removed with everything in it.
class FilterFolder {
public:
    FilterFolder() : root(std::filesystem::current_path().string(), "vorpelin-") {
        std::error_code error;
        std::filesystem::create_hard_link(VORPELIN_BINARY, program(), error);
        if (error) std::filesystem::copy_file(VORPELIN_BINARY, program());
    }

    std::string path(const std::string& name) const { return root / name; }
    std::string program() const { return path("vorpelin"); }
    std::string folder() const { return root.path(); }

    void write(const std::string& name, const std::string& content) const { root.write(name, content); }
    void writeRules(const std::string& content) const { write("vorpelin.regex", content); }
    // Sets a file's modification time (and access time) to seconds since the epoch.
    void setModified(const std::string& name, long seconds) const {
        struct utimbuf times = {seconds, seconds};
        utime(path(name).c_str(), &times);
    }

private:
    testsupport::TempFolder root;
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

// The scanner line that ends every answer without -nosig.
inline const std::string scannerLine = "X-ExtScanner: Tolmagrid's Vorpelin";

// The log line and the answer of request `number` that adds `names` (each name line
// followed by "\e", as quoted) and the scanner line.
inline std::string addedAnswer(int number, const std::string& names) {
    std::string n = std::to_string(number);
    return "* [" + n + "] Adding Header(s) to message\n" + n + " ADDHEADER \"" + names + scannerLine + "\"\n";
}

// The lines every run with a readable rules file starts with.
inline const std::string startLines =
    "* Tolmagrid's Vorpelin filter v1.1.1 running...\n"
    "* Ready to receive INTF command.\n";

}  // namespace filter_test
