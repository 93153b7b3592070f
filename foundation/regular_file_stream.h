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

// An input stream over one regular file. Only a path that names a regular file is opened
// (opening a device can have effects of its own); it is opened once, without blocking
// (O_NONBLOCK: a FIFO or a device swapped in meanwhile cannot hold the caller), and checked
// again with fstat on the very descriptor that is then read, so whatever is read is what
// was checked. Reads never throw: a
// failed read ends the input as the end of the file does, and readError() then tells it
// apart. Seeks to positions in the file work, so the stream can be rewound. The file is
// closed by the destructor. Not copyable.
class RegularFileStream : public std::istream, private noncopyable {
public:
    explicit RegularFileStream(const std::string& path);
    ~RegularFileStream() override;

    OpenOutcome outcome() const { return openOutcome; }
    bool is_open() const { return openOutcome == OpenOutcome::Opened; }

    // The identity of what the path named: taken from the descriptor when it was opened,
    // from the path otherwise ("missing" when there was nothing).
    const fs::FileIdentity& identity() const { return fileIdentity; }

    // The errno of the read that failed, 0 while none has.
    int readError() const { return buffer.error(); }

private:
    detail::descriptor_read_buffer buffer;
    OpenOutcome openOutcome = OpenOutcome::NotFound;
    fs::FileIdentity fileIdentity;
};

}  // namespace tmg
