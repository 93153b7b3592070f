#pragma once

#include <string>

// A handle that walks the entries of one folder, optionally only those whose names match a
// wildcard mask (see fs_wildcard.h). Names that begin with "." ("." and ".." included)
// are never produced. The order is the system's.
//
//   tmg::fs::Directory dir;
//   tmg::fs::openWithMask(dir, "/var/spool", "*.msg");
//   while (tmg::fs::next(dir)) use(tmg::fs::entryName(dir));
//   tmg::fs::close(dir);
namespace tmg::fs {

struct DirectoryRecord;

// The handle is a plain pointer to a record made by open or openWithMask and owned by the
// holder until close. Copies share the record; after close no copy may be used. A null
// handle behaves as a folder that did not open.
using Directory = DirectoryRecord*;

// Opens path and stores a new record in handle. Whatever handle held before is not
// released: close it first. Never fails by itself: when the folder does not open, next
// returns false. The record must still be closed.
void open(Directory& handle, const std::string& path);

// As open, keeping only names that match mask; "*" and "*.*" mean every name.
void openWithMask(Directory& handle, const std::string& path, const std::string& mask);

// Advances to the next entry that is not hidden and matches the mask; true when there is
// one, false at the end of the folder or when it did not open.
bool next(Directory& handle);

// The name of the entry that the last successful next produced; "" when there is none.
std::string entryName(const Directory& handle);

// Starts the walk again from the first entry.
void rewind(Directory& handle);

// Closes the folder and frees the record. The pointer in handle is left dangling.
void close(Directory& handle);

}  // namespace tmg::fs
