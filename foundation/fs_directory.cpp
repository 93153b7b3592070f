#include "foundation/fs_directory.h"

#include <dirent.h>

#include "foundation/fs_wildcard.h"

namespace tmg::fs {

struct DirectoryRecord {
    DIR* dir = nullptr;
    struct dirent* current = nullptr;
    std::string mask;  // empty: every name
};

void open(Directory& handle, const std::string& path) {
    handle = new DirectoryRecord;
    handle->dir = ::opendir(path.c_str());
}

void openWithMask(Directory& handle, const std::string& path, const std::string& mask) {
    open(handle, path);
    if (mask != "*.*" && mask != "*") handle->mask = mask;
}

bool next(Directory& handle) {
    if (handle == nullptr || handle->dir == nullptr) return false;
    while ((handle->current = ::readdir(handle->dir)) != nullptr) {
        const char* name = handle->current->d_name;
        if (name[0] == '.') continue;
        if (handle->mask.empty() || wildcardMatch(handle->mask, name)) return true;
    }
    return false;
}

std::string entryName(const Directory& handle) {
    if (handle == nullptr || handle->current == nullptr) return "";
    return handle->current->d_name;
}

void rewind(Directory& handle) {
    if (handle == nullptr) return;
    handle->current = nullptr;
    if (handle->dir != nullptr) ::rewinddir(handle->dir);
}

void close(Directory& handle) {
    if (handle == nullptr) return;
    if (handle->dir != nullptr) ::closedir(handle->dir);
    delete handle;
}

}  // namespace tmg::fs
