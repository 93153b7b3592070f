#include "foundation/fs_path.h"

#include <unistd.h>

namespace tmg::fs {

namespace {
constexpr std::size_t kPathBufferSize = 1024;
}

std::string& normalizeSlashes(std::string& path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::string directoryOf(const std::string& path) {
    std::string copy = path;
    normalizeSlashes(copy);
    std::string::size_type slash = copy.rfind('/');
    if (slash == std::string::npos) return "./";
    return copy.substr(0, slash + 1);
}

std::string absolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char buffer[kPathBufferSize] = {};
    if (::getcwd(buffer, sizeof buffer) == nullptr) return "";
    std::string cwd(buffer);
    if (cwd.empty()) return "";
    if (cwd.size() + path.size() + 2 > kPathBufferSize) return "";
    return cwd + "/" + path;
}

}  // namespace tmg::fs
