#pragma once

#include <istream>
#include <memory>
#include <streambuf>
#include <string>

#include "foundation/fs_identity.h"
#include "foundation/noncopyable.h"

namespace tmg {

namespace detail {

// Internal to RegularFileStream: a read buffer over a descriptor it owns. A failed read
// ends the input for good, as the end of the file would, and keeps its errno.
class descriptor_read_buffer : public std::streambuf {
public:
    descriptor_read_buffer();
    ~descriptor_read_buffer() override;
    void attach(int fd);
    int error() const { return failedErrno; }

protected:
    int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode) override;

private:
    int fd = -1;
    int failedErrno = 0;
    std::unique_ptr<char[]> storage;
};

}  // namespace detail

// How opening a path for reading went.
enum class OpenOutcome {
    Opened,      // a regular file, open for reading
    NotFound,    // nothing at the path, or something that is not a regular file (a folder,
                 // a FIFO, a device, a socket)
    Unreadable,  // a regular file that does not open (permissions, no descriptors left...)
};

// An input stream over one regular file. The path is opened once, without blocking
// (O_NONBLOCK: a FIFO or a device put at the path cannot hold the caller), and the check
// that it is a regular file is made with fstat on the very descriptor that is then read,
// so nothing can be swapped in between the check and the reads. Reads never throw: a
// failed read ends the input as the end of the file does, and readError() then tells it
// apart. Seeks to positions in the file work, so the stream can be rewound. The file is
// closed by the destructor. Not copyable.
class RegularFileStream : public std::istream, private noncopyable {
public:
    explicit RegularFileStream(const std::string& path);
    ~RegularFileStream() override;

    OpenOutcome outcome() const { return openOutcome; }
    bool is_open() const { return openOutcome == OpenOutcome::Opened; }

    // The identity of what the path named when it was opened: taken from the descriptor
    // when open succeeded (for a FIFO too), from the path otherwise ("missing" when there
    // was nothing).
    const fs::FileIdentity& identity() const { return fileIdentity; }

    // The errno of the read that failed, 0 while none has.
    int readError() const { return buffer.error(); }

private:
    detail::descriptor_read_buffer buffer;
    OpenOutcome openOutcome = OpenOutcome::NotFound;
    fs::FileIdentity fileIdentity;
};

}  // namespace tmg
