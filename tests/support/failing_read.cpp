#include "tests/support/failing_read.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace testsupport {

const std::string& failingReadPath() {
    static const std::string path = "/proc/self/mem";
    return path;
}

int failingReadErrno() {
    int fd = ::open(failingReadPath().c_str(), O_RDONLY);
    if (fd < 0) return 0;
    char byte;
    int error = ::read(fd, &byte, 1) < 0 ? errno : 0;
    ::close(fd);
    return error;
}

}  // namespace testsupport
