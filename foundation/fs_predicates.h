#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

// Questions about one path or one open stdio stream. None throws; a path that does not
// exist is neither a file, a folder, readable nor writable. Symbolic links are followed.
namespace tmg::fs {

// True for a regular file (or a link to one). Folders, FIFOs, sockets and devices are not
// files, so a caller that goes on to open and read the path never blocks on a pipe or
// reads a disk.
bool isFile(const std::string& path);

// True for a folder (or a link to one), tested on the whole file type.
bool isDirectory(const std::string& path);

// True when the process may read the path (access with R_OK).
bool isReadable(const std::string& path);

// True when the path is readable and opens for appending; nothing is written and the file
// is not created: a path that does not exist is not writable. Never blocks: a FIFO is
// writable only while something reads it.
bool isWritable(const std::string& path);

// The time of last modification in seconds since the epoch; -1 when stat fails.
std::time_t modificationTime(const std::string& path);
// The same for an open stream; -1 for a null stream or when fstat fails.
std::time_t modificationTime(std::FILE* stream);

// The size in bytes, the whole 64-bit value; -1 when stat fails.
std::int64_t fileSize(const std::string& path);
// The same for an open stream; -1 for a null stream or when fstat fails.
std::int64_t fileSize(std::FILE* stream);

}  // namespace tmg::fs
