#pragma once

// A file that opens as a regular file but whose every read fails.

#include <string>

namespace testsupport {

// "/proc/self/mem": the kernel calls it a regular file, but reading it at offset 0 fails.
const std::string& failingReadPath();

// The errno its first read gives; 0 when it reads on this system (then skip the test).
int failingReadErrno();

}  // namespace testsupport
