#pragma once

#include <string>

// Whole-tree operations. None throws; what fails is skipped. Inside a tree, symbolic
// links are never followed: a link is copied as nothing and removed as a link, so a link
// to a folder elsewhere is never emptied or duplicated. Names that begin with "." are
// never seen (see fs_directory.h), so they are neither copied nor removed.
namespace tmg::fs {

// Copies the folder from, with everything below it, to the folder to (made when missing,
// with the source's mode; an existing one is used as it is). Regular files are copied
// whole, over any target file of the same name, with the source's permission bits;
// folders are copied recursively; links, FIFOs, sockets and devices are left out, in the
// source and in the target. A target that is the source file itself (the same folder
// copied onto itself, a hard link) or whose source does not open is left as it was.
// A target folder that lies inside from is not copied into itself again. An empty from
// or to copies nothing (it does not mean "/").
void copyTree(const std::string& from, const std::string& to);

// Removes the folder path. When recursive, first removes what it holds: files and links
// are unlinked, folders removed the same way. Returns whether the folder itself was
// removed at last, so false when it held a hidden name, or when path is a link.
bool removeTree(const std::string& path, bool recursive);

// Makes the folder path (permission 0755 less the umask), and its missing parents first
// when parents is true; each folder that it makes is given to the process's user and
// group. Returns whether the folder exists at the end; false, with nothing made, for a
// path of PATH_MAX bytes or more. A trailing "/" is ignored and backslashes count as "/".
bool makeDirectories(std::string path, bool parents);

}  // namespace tmg::fs
