#pragma once

#include <string>

// Single-file operations, thin over the system calls. None throws.
namespace tmg::fs {

// True when rename(from, to) succeeds.
bool renameFile(const std::string& from, const std::string& to);

// True when unlink(path) succeeds.
bool removeFile(const std::string& path);

// open(2) of path with the given O_* flags and permission 0666 (less the umask when the
// file is created). Returns the descriptor, owned by the caller, or -1.
int openFile(const std::string& path, int flags);

// Closes a descriptor from openFile; the result is not reported.
void closeFile(int fd);

}  // namespace tmg::fs
