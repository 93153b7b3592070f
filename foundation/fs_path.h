#pragma once

#include <string>

// Path text helpers. Paths are byte strings; none of these touches the file system except
// absolutePath, which reads the working folder. None throws for a failure of the system.
namespace tmg::fs {

// Replaces every backslash of path by "/" in place and returns path.
std::string& normalizeSlashes(std::string& path);

// The folder part of path, ending in "/": the text up to and including the last "/" after
// backslashes are taken as "/". A path without any "/" gives "./".
// "dir/file" -> "dir/", "/file" -> "/", "a\b\c" -> "a/b/", "dir/" -> "dir/", "file" -> "./".
std::string directoryOf(const std::string& path);

// path itself when it begins with "/"; otherwise the working folder, "/" and path.
// The empty string when the working folder cannot be read or the result would not fit in
// 1023 bytes.
std::string absolutePath(const std::string& path);

}  // namespace tmg::fs
