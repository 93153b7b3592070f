#include "foundation/fs_identity.h"

#include <sys/stat.h>

namespace tmg::fs {

FileIdentity identityFromStat(const struct stat& st) {
    FileIdentity id;
    id.exists = true;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<std::int64_t>(st.st_size);
    id.modifiedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    id.modifiedNanoseconds = st.st_mtim.tv_nsec;
    return id;
}

bool FileIdentity::operator==(const FileIdentity& other) const {
    if (exists != other.exists) return false;
    if (!exists) return true;
    return device == other.device && inode == other.inode && size == other.size &&
           modifiedSeconds == other.modifiedSeconds && modifiedNanoseconds == other.modifiedNanoseconds;
}

FileIdentity identityOf(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return FileIdentity();
    return identityFromStat(st);
}

FileIdentity identityOfDescriptor(int fd) {
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) return FileIdentity();
    return identityFromStat(st);
}

}  // namespace tmg::fs
