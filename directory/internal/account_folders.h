#pragma once

// Shared by the account search and the account count. Internal to directory/.

#include <string>
#include <string_view>

namespace cgp::directory_internal {

// Neither search nor count goes further below the folder asked about than this many
// ".sub" levels, so a link that loops ends.
constexpr int kMaxSubFolderDepth = 16;

// The endings of an account folder, in the order the account search tries them.
inline const char* const kAccountEndings[] = {".mbox", ".mdir", ".macnt"};

inline bool endsWith(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

// True for a name that may be put in a path as one entry of a folder: not empty, not
// hidden, no "/" and no NUL byte, so "..", "../x" and "a/b" never leave the folder.
inline bool isPlainEntryName(std::string_view name) {
    return !name.empty() && name.front() != '.' && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

}  // namespace cgp::directory_internal
