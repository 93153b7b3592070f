#include "foundation/fs_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "foundation/fs_directory.h"
#include "foundation/fs_path.h"
#include "foundation/fs_predicates.h"

namespace tmg::fs {

namespace {

constexpr std::size_t kCopyBlock = 4096;

void withTrailingSlash(std::string& path) {
    if (path.empty() || path.back() != '/') path.push_back('/');
}

// Writes all of data, going on after short writes; false on an error.
bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Both must be regular files and not the same one: truncating a target that is the
// source itself (the same folder copied onto itself, or a hard link) would empty it.
bool distinctRegularFiles(int source, int target) {
    struct stat s, t;
    if (::fstat(source, &s) != 0 || ::fstat(target, &t) != 0) return false;
    if (!S_ISREG(s.st_mode) || !S_ISREG(t.st_mode)) return false;
    return s.st_dev != t.st_dev || s.st_ino != t.st_ino;
}

// Non-blocking opens: a FIFO put in place of either file must not hold the copy for ever.
void copyFile(const std::string& from, const std::string& to, mode_t mode) {
    int target = ::open(to.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode & 0777);
    int source = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (target >= 0 && source >= 0 && distinctRegularFiles(source, target) && ::ftruncate(target, 0) == 0) {
        char block[kCopyBlock];
        for (;;) {
            ssize_t got = ::read(source, block, sizeof block);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            if (!writeAll(target, block, static_cast<std::size_t>(got))) break;
        }
    }
    if (target >= 0) ::close(target);
    if (source >= 0) ::close(source);
}

struct FileId {
    dev_t dev;
    ino_t ino;
};

// Makes the folder to (ending in "/") with the mode of the folder from; a folder that is
// already there is used as it is.
void makeTargetFolder(const std::string& from, const std::string& to) {
    struct stat st = {};
    ::stat(from.c_str(), &st);
    ::mkdir(to.substr(0, to.size() - 1).c_str(), st.st_mode & 07777);
}

// from and to end in "/". root identifies the top target folder, so that a target
// inside the source is not descended into.
void copyFolder(const std::string& from, const std::string& to, const FileId& root) {
    Directory handle = nullptr;
    open(handle, from);
    makeTargetFolder(from, to);

    while (next(handle)) {
        const std::string name = entryName(handle);
        const std::string source = from + name;
        struct stat entry;
        if (::lstat(source.c_str(), &entry) != 0) continue;
        if (S_ISDIR(entry.st_mode)) {
            if (entry.st_dev == root.dev && entry.st_ino == root.ino) continue;
            copyFolder(source + "/", to + name + "/", root);
        } else if (S_ISREG(entry.st_mode)) {
            copyFile(source, to + name, entry.st_mode);
        }
    }
    close(handle);
}

}  // namespace

void copyTree(const std::string& from, const std::string& to) {
    // An empty path would become "/" below: a missing setting must not copy the whole
    // file system, or into its root.
    if (from.empty() || to.empty()) return;
    std::string source = from;
    std::string target = to;
    normalizeSlashes(source);
    normalizeSlashes(target);
    withTrailingSlash(source);
    withTrailingSlash(target);

    // The top target is made before the walk, so that its identity is known.
    makeTargetFolder(source, target);
    FileId root = {static_cast<dev_t>(-1), static_cast<ino_t>(-1)};
    struct stat made;
    if (::stat(target.c_str(), &made) == 0) root = {made.st_dev, made.st_ino};
    copyFolder(source, target, root);
}

bool removeTree(const std::string& path, bool recursive) {
    if (!recursive) return ::rmdir(path.c_str()) == 0;

    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;

    Directory handle = nullptr;
    open(handle, path);
    while (next(handle)) {
        const std::string child = path + "/" + entryName(handle);
        struct stat entry;
        if (::lstat(child.c_str(), &entry) != 0) continue;
        if (S_ISDIR(entry.st_mode))
            removeTree(child, true);
        else
            ::unlink(child.c_str());
    }
    rewind(handle);
    bool removed = removeTree(path, false);
    close(handle);
    return removed;
}

bool makeDirectories(std::string path, bool parents) {
    normalizeSlashes(path);
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    // The system refuses such a path anyway; refusing it here bounds the recursion.
    if (path.size() >= PATH_MAX) return false;
    if (isDirectory(path)) return true;

    if (parents) {
        std::string::size_type slash = path.rfind('/');
        if (slash != std::string::npos && slash > 0 && !makeDirectories(path.substr(0, slash), true)) return false;
    }
    if (::mkdir(path.c_str(), 0755) == 0) {
        // Only a folder made here is handed over; an existing one keeps its owner.
        [[maybe_unused]] int owned = ::chown(path.c_str(), ::getuid(), ::getgid());
        return true;
    }
    // Another process may have made it in the meantime.
    return errno == EEXIST && isDirectory(path);
}

}  // namespace tmg::fs
