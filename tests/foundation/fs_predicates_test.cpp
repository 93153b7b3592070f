#include "foundation/fs_predicates.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <future>

#include "tests/support/temp_folder.h"

using testsupport::TempFolder;
using testsupport::readWhole;

namespace {

TEST(FsPredicatesTest, FilesAndFolders) {
    TempFolder dir;
    std::string file = dir.write("f", "x");
    std::string missing = dir / "missing";
    ASSERT_EQ(::symlink(file.c_str(), (dir / "link").c_str()), 0);

    EXPECT_TRUE(tmg::fs::isFile(file));
    EXPECT_FALSE(tmg::fs::isDirectory(file));
    EXPECT_TRUE(tmg::fs::isFile(dir / "link"));
    EXPECT_TRUE(tmg::fs::isDirectory(dir.path()));
    EXPECT_FALSE(tmg::fs::isFile(dir.path()));
    EXPECT_FALSE(tmg::fs::isFile(missing));
    EXPECT_FALSE(tmg::fs::isDirectory(missing));
    EXPECT_FALSE(tmg::fs::isReadable(missing));
    EXPECT_FALSE(tmg::fs::isFile(""));
}

// A request naming a pipe or a device must not be taken for a message file: opening a
// FIFO for reading blocks, and a disk is not a message.
TEST(FsPredicatesTest, SpecialFilesAreNeitherFilesNorFolders) {
    TempFolder dir;
    std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    std::string socketPath = dir / "sock";
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    for (const std::string& path : {fifo, socketPath, std::string("/dev/null")}) {
        EXPECT_FALSE(tmg::fs::isFile(path)) << path;
        EXPECT_FALSE(tmg::fs::isDirectory(path)) << path;
    }
    ::close(fd);

    for (const char* device : {"/dev/loop0", "/dev/sda", "/dev/vda", "/dev/nvme0n1", "/dev/ram0"}) {
        struct stat st;
        if (::stat(device, &st) != 0 || !S_ISBLK(st.st_mode)) continue;
        EXPECT_FALSE(tmg::fs::isFile(device)) << device;
        EXPECT_FALSE(tmg::fs::isDirectory(device)) << device;
    }
}

TEST(FsPredicatesTest, ReadableAndWritable) {
    TempFolder dir;
    std::string file = dir.write("f", "keep");
    EXPECT_TRUE(tmg::fs::isReadable(file));
    EXPECT_TRUE(tmg::fs::isWritable(file));
    EXPECT_EQ(readWhole(file), "keep");  // the probe writes nothing

    // A missing file is not writable even though its folder is, and the probe makes none.
    std::string missing = dir / "missing";
    EXPECT_FALSE(tmg::fs::isWritable(missing));
    EXPECT_FALSE(tmg::fs::isFile(missing));

    if (::geteuid() != 0) {  // root reads and writes whatever the mode says
        ASSERT_EQ(::chmod(file.c_str(), 0400), 0);
        EXPECT_TRUE(tmg::fs::isReadable(file));
        EXPECT_FALSE(tmg::fs::isWritable(file));
        ASSERT_EQ(::chmod(file.c_str(), 0000), 0);
        EXPECT_FALSE(tmg::fs::isReadable(file));
    }
}

// Opening a FIFO for writing blocks until something reads it; the probe must not.
TEST(FsPredicatesTest, WritableNeverBlocksOnAFifo) {
    TempFolder dir;
    std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto probe = std::async(std::launch::async, [&] { return tmg::fs::isWritable(fifo); });
    if (probe.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // lets the probe go
        probe.wait();
        ::close(reader);
        FAIL() << "isWritable blocked on a FIFO without a reader";
    }
    EXPECT_FALSE(probe.get());

    int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(tmg::fs::isWritable(fifo));
    ::close(reader);
}

TEST(FsPredicatesTest, ModificationTime) {
    TempFolder dir;
    std::string file = dir.write("f", "x");
    struct utimbuf times = {1000000000, 1234567890};
    ASSERT_EQ(::utime(file.c_str(), &times), 0);
    EXPECT_EQ(tmg::fs::modificationTime(file), 1234567890);
    EXPECT_EQ(tmg::fs::modificationTime(dir / "missing"), -1);

    std::FILE* stream = std::fopen(file.c_str(), "r");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(tmg::fs::modificationTime(stream), 1234567890);
    std::fclose(stream);
    EXPECT_EQ(tmg::fs::modificationTime(static_cast<std::FILE*>(nullptr)), -1);
}

TEST(FsPredicatesTest, FileSizeIsTheWhole64BitValue) {
    TempFolder dir;
    EXPECT_EQ(tmg::fs::fileSize(dir.write("empty", "")), 0);
    EXPECT_EQ(tmg::fs::fileSize(dir.write("five", "12345")), 5);
    EXPECT_EQ(tmg::fs::fileSize(dir / "missing"), -1);
    EXPECT_EQ(tmg::fs::fileSize(static_cast<std::FILE*>(nullptr)), -1);

    // Sparse: takes no disk space. 5 000 000 000 does not fit in 32 bits.
    std::string big = dir.write("big", "");
    ASSERT_EQ(::truncate(big.c_str(), 5000000000LL), 0);
    EXPECT_EQ(tmg::fs::fileSize(big), 5000000000LL);
    std::FILE* stream = std::fopen(big.c_str(), "r");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(tmg::fs::fileSize(stream), 5000000000LL);
    std::fclose(stream);
}

}  // namespace
