#pragma once

#include <string>

#include "foundation/fs_directory.h"

namespace cgp::directory_internal {

// The entries of one folder (hidden names skipped, optionally only those matching a
// wildcard mask), with the handle closed when the walk goes out of scope, so an early
// return never leaks it. A folder that does not open has no entries.
class FolderWalk {
public:
    explicit FolderWalk(const std::string& path, const std::string& mask = std::string()) {
        tmg::fs::openWithMask(handle, path, mask);
    }
    ~FolderWalk() { tmg::fs::close(handle); }
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;

    // Advances to the next entry; false at the end.
    bool next() { return tmg::fs::next(handle); }
    // The current entry's name.
    std::string name() const { return tmg::fs::entryName(handle); }

private:
    tmg::fs::Directory handle = nullptr;
};

}  // namespace cgp::directory_internal
