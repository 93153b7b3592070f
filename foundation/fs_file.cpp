#include "foundation/fs_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace tmg::fs {

bool renameFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

int openFile(const std::string& path, int flags) { return ::open(path.c_str(), flags, 0666); }

void closeFile(int fd) { ::close(fd); }

}  // namespace tmg::fs
