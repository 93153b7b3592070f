#include "foundation/fs_predicates.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tmg::fs {

namespace {

bool statPath(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

bool statStream(std::FILE* stream, struct stat& st) {
    if (stream == nullptr) return false;
    int fd = ::fileno(stream);
    return fd >= 0 && ::fstat(fd, &st) == 0;
}

}  // namespace

bool isFile(const std::string& path) {
    struct stat st;
    return statPath(path, st) && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return statPath(path, st) && S_ISDIR(st.st_mode);
}

bool isReadable(const std::string& path) { return ::access(path.c_str(), R_OK) == 0; }

bool isWritable(const std::string& path) {
    if (!isReadable(path)) return false;
    // Opened as an appending stream would open it, but never created, and without
    // blocking: a FIFO that nobody reads would otherwise hold the caller for ever.
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

std::time_t modificationTime(const std::string& path) {
    struct stat st;
    return statPath(path, st) ? st.st_mtime : -1;
}

std::time_t modificationTime(std::FILE* stream) {
    struct stat st;
    return statStream(stream, st) ? st.st_mtime : -1;
}

std::int64_t fileSize(const std::string& path) {
    struct stat st;
    return statPath(path, st) ? static_cast<std::int64_t>(st.st_size) : -1;
}

std::int64_t fileSize(std::FILE* stream) {
    struct stat st;
    return statStream(stream, st) ? static_cast<std::int64_t>(st.st_size) : -1;
}

}  // namespace tmg::fs
