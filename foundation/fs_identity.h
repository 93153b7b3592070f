#pragma once

#include <cstdint>
#include <string>

struct stat;

namespace tmg::fs {

// Which file a path named and which version of it: the device and inode, the size and the
// modification time to the nanosecond. Two reads of a file that give equal identities saw
// the same content unless the file was rewritten within the clock's resolution with the
// same size, which the nanoseconds make unlikely. A path that cannot be stat'ed has the
// identity "missing", equal to every other missing one.
struct FileIdentity {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    long modifiedNanoseconds = 0;

    bool operator==(const FileIdentity& other) const;
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// The identity of what path names (symbolic links followed); "missing" when stat fails.
FileIdentity identityOf(const std::string& path);

// The identity of an open descriptor; "missing" when fstat fails.
FileIdentity identityOfDescriptor(int fd);

// The identity that a stat or fstat result gives.
FileIdentity identityFromStat(const struct stat& st);

}  // namespace tmg::fs
