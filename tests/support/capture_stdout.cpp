#include "tests/support/capture_stdout.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iostream>

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace testsupport {

namespace {

void flushBoth() {
    std::cout.flush();
    fflush(stdout);
}

}  // namespace

CaptureStdout::CaptureStdout() {
    std::string pattern = processTempFolder() / "stdout-XXXXXX";
    file = mkstemp(pattern.data());
    if (file < 0) {
        ADD_FAILURE() << "cannot make a capture file in " << processTempFolder().path();
        return;
    }
    unlink(pattern.c_str());  // the descriptor keeps it; nothing is left behind
    flushBoth();
    saved = dup(1);
    if (saved < 0 || dup2(file, 1) < 0) {
        ADD_FAILURE() << "cannot redirect standard output";
        if (saved >= 0) close(saved);
        saved = -1;
    }
}

CaptureStdout::~CaptureStdout() {
    stop();
    if (file >= 0) close(file);
}

void CaptureStdout::stop() {
    if (saved < 0) return;
    flushBoth();
    dup2(saved, 1);
    close(saved);
    saved = -1;
}

std::string CaptureStdout::text() {
    if (saved >= 0) flushBoth();
    std::string result;
    if (file < 0) return result;
    struct stat info;
    if (fstat(file, &info) != 0) return result;
    result.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < result.size()) {
        ssize_t n = pread(file, &result[done], result.size() - done, static_cast<off_t>(done));
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    result.resize(done);
    return result;
}

}  // namespace testsupport
