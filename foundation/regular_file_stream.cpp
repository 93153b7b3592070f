#include "foundation/regular_file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace tmg {

namespace detail {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

}  // namespace

descriptor_read_buffer::descriptor_read_buffer() = default;

descriptor_read_buffer::~descriptor_read_buffer() {
    if (fd >= 0) ::close(fd);
}

void descriptor_read_buffer::attach(int descriptor) {
    fd = descriptor;
    storage.reset(new char[kBufferSize]);
    setg(storage.get(), storage.get(), storage.get());
}

descriptor_read_buffer::int_type descriptor_read_buffer::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (fd < 0 || failedErrno != 0) return traits_type::eof();
    ssize_t got;
    do {
        got = ::read(fd, storage.get(), kBufferSize);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        failedErrno = errno;
        return traits_type::eof();
    }
    if (got == 0) return traits_type::eof();
    setg(storage.get(), storage.get(), storage.get() + got);
    return traits_type::to_int_type(*gptr());
}

descriptor_read_buffer::pos_type descriptor_read_buffer::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                                 std::ios_base::openmode which) {
    if (fd < 0) return pos_type(off_type(-1));
    if (direction == std::ios_base::beg) return seekpos(pos_type(offset), which);
    if (direction == std::ios_base::cur) {
        off_t at = ::lseek(fd, 0, SEEK_CUR);
        if (at < 0) return pos_type(off_type(-1));
        // The file stands after the buffered bytes that have not been taken yet.
        off_type here = static_cast<off_type>(at) - static_cast<off_type>(egptr() - gptr());
        if (offset == 0) return pos_type(here);
        return seekpos(pos_type(here + offset), which);
    }
    off_t at = ::lseek(fd, static_cast<off_t>(offset), SEEK_END);
    if (at < 0) return pos_type(off_type(-1));
    setg(storage.get(), storage.get(), storage.get());
    return pos_type(static_cast<off_type>(at));
}

descriptor_read_buffer::pos_type descriptor_read_buffer::seekpos(pos_type position, std::ios_base::openmode) {
    if (fd < 0) return pos_type(off_type(-1));
    off_t at = ::lseek(fd, static_cast<off_t>(off_type(position)), SEEK_SET);
    if (at < 0) return pos_type(off_type(-1));
    setg(storage.get(), storage.get(), storage.get());
    return pos_type(static_cast<off_type>(at));
}

}  // namespace detail

RegularFileStream::RegularFileStream(const std::string& path) : std::istream(nullptr) {
    rdbuf(&buffer);
    setstate(std::ios::failbit);  // until the file is open
    // A NUL would end the name early, and the system would open some other file.
    if (path.find('\0') != std::string::npos) return;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return;
    fileIdentity = fs::identityFromStat(st);
    // Opening a device can do something of its own, so only a regular file is opened.
    if (!S_ISREG(st.st_mode)) return;
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        openOutcome = OpenOutcome::Unreadable;
        return;
    }
    // Checked again on the descriptor that is read: something else may stand at the path
    // by now, and without O_NONBLOCK a FIFO would have held the open.
    bool known = ::fstat(fd, &st) == 0;
    fileIdentity = known ? fs::identityFromStat(st) : fs::FileIdentity();
    if (!known || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return;
    }
    buffer.attach(fd);
    clear();
    openOutcome = OpenOutcome::Opened;
}

RegularFileStream::~RegularFileStream() = default;

}  // namespace tmg
