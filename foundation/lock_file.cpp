#include "foundation/lock_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "foundation/fs_file.h"
#include "foundation/mutex.h"
#include "foundation/process.h"

namespace tmg {

namespace {

// The longest run of files replaced under us that one lockFile call accepts.
constexpr int kMaxReopenings = 100;

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId& o) const { return device == o.device && inode == o.inode; }
};

struct LockEntry {
    bool held;
    int fd;
    std::string path;
    FileId file;
};

// Record locks belong to the process and file, not to the descriptor: closing any
// descriptor of a file drops every lock of the process on it. So a descriptor of a file
// that is still held under another id is parked here, not closed, until the last id goes.
struct ParkedDescriptor {
    int fd;
    FileId file;
};

// Entries are never removed, so ids stay unique. Never destroyed: at exit held locks stay
// held until the system drops them, and their files stay.
struct LockTable {
    MutexInterface mutex{LockRank::LockFiles};
    pid_t owner = 0;  // the process whose locks the entries are
    std::vector<LockEntry> entries;
    std::vector<ParkedDescriptor> parked;
    unsigned instanceId = 0;
};

LockTable& lockTable() {
    static LockTable* table = new LockTable;
    return *table;
}

// A forked child inherits the table and the descriptors but none of the record locks:
// there, every entry is released and the copied descriptors are closed (which leaves the
// parent's locks alone). Called with the table locked.
void forgetLocksOfParent(LockTable& table) {
    pid_t self = currentProcessId();
    if (table.owner == self) return;
    if (table.owner != 0) {
        for (LockEntry& e : table.entries) {
            if (e.held) fs::closeFile(e.fd);
            e.held = false;
        }
        for (const ParkedDescriptor& p : table.parked) fs::closeFile(p.fd);
        table.parked.clear();
        table.instanceId = 0;
    }
    table.owner = self;
}

// The table, locked and made this process's own.
struct LockedTable {
    LockTable& table;
    MutexLock lock;
    LockedTable() : table(lockTable()), lock(&table.mutex) { forgetLocksOfParent(table); }
};

bool fileIdOf(int fd, FileId& out) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    out = FileId{st.st_dev, st.st_ino};
    return true;
}

// The file the path names now, the path itself when it is a link.
bool fileIdOf(const std::string& path, FileId& out) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return false;
    out = FileId{st.st_dev, st.st_ino};
    return true;
}

bool setRecordLock(int fd, short type) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 30;
    return ::fcntl(fd, F_SETLK, &fl) == 0;
}

int openLockFile(const std::string& path) { return fs::openFile(path, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC); }

// Called with the table locked.
bool isHeldHere(const LockTable& table, const FileId& file) {
    for (const LockEntry& e : table.entries)
        if (e.held && e.file == file) return true;
    return false;
}

// Lets go of a descriptor that holds no id of its own, without dropping a lock that this
// process holds on the same file under an id. Called with the table locked.
void retireDescriptor(LockTable& table, int fd) {
    FileId file;
    if (fileIdOf(fd, file) && isHeldHere(table, file)) {
        table.parked.push_back({fd, file});
        return;
    }
    fs::closeFile(fd);
}

}  // namespace

const std::string& lockDirectory() {
    static const std::string* folder = new std::string("/tmp/");
    return *folder;
}

unsigned lockFile(const std::string& name, bool absolute, int tries) {
    const std::string path = absolute ? name + ".lck" : lockDirectory() + name + ".lck";
    LockedTable locked;
    LockTable& table = locked.table;
    int fd = openLockFile(path);
    if (fd < 0) return 0;
    int reopenings = 0;
    for (;;) {
        if (setRecordLock(fd, F_WRLCK)) {
            // The holder we waited for deletes the file before unlocking it: a lock won on
            // a file that the path no longer names proves nothing. Open the path anew.
            FileId opened, named;
            if (fileIdOf(fd, opened) && fileIdOf(path, named) && opened == named) {
                table.entries.push_back({true, fd, path, opened});
                return static_cast<unsigned>(table.entries.size());
            }
            retireDescriptor(table, fd);
            if (++reopenings > kMaxReopenings) return 0;
            fd = openLockFile(path);
            if (fd < 0) return 0;
            continue;
        }
        if (tries <= 0) break;
        locked.lock.unlock();
        sleepSeconds(1);
        locked.lock.relock();
        if (--tries <= 0) break;
    }
    retireDescriptor(table, fd);
    return 0;
}

void unlockFile(unsigned id) {
    LockedTable locked;
    LockTable& table = locked.table;
    if (id == 0 || id > table.entries.size()) return;
    LockEntry& entry = table.entries[id - 1];
    if (!entry.held) return;
    entry.held = false;
    if (isHeldHere(table, entry.file)) {
        table.parked.push_back({entry.fd, entry.file});
        return;
    }
    // Delete first, then unlock: a process that wins the lock afterwards finds the path
    // gone and opens it anew instead of holding a deleted file.
    FileId named;
    if (fileIdOf(entry.path, named) && named == entry.file) fs::removeFile(entry.path);
    setRecordLock(entry.fd, F_UNLCK);
    fs::closeFile(entry.fd);
    for (auto it = table.parked.begin(); it != table.parked.end();) {
        if (it->file == entry.file) {
            fs::closeFile(it->fd);
            it = table.parked.erase(it);
        } else {
            ++it;
        }
    }
}

bool isLockFileHeld(const std::string& path) {
    LockedTable locked;
    LockTable& table = locked.table;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (isHeldHere(table, FileId{st.st_dev, st.st_ino})) return false;

    // Read-only and non-blocking: the test needs no write access, and a file swapped for
    // a FIFO in the meantime does not hang the open.
    int fd = fs::openFile(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno != ENOENT;
    FileId opened;
    bool held = true;
    if (fileIdOf(fd, opened) && isHeldHere(table, opened)) {
        held = false;
    } else {
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = 0;
        fl.l_len = 30;
        if (::fcntl(fd, F_GETLK, &fl) == 0) held = fl.l_type != F_UNLCK;
    }
    retireDescriptor(table, fd);
    return held;
}

bool lockProcessInstance(const std::string& prefix, const std::string& name, bool absolute) {
    LockedTable locked;
    LockTable& table = locked.table;
    if (table.instanceId != 0) return true;
    table.instanceId = absolute ? lockFile(name, true, 0) : lockFile(prefix + name, false, 0);
    return table.instanceId != 0;
}

void unlockProcessInstance() {
    LockedTable locked;
    LockTable& table = locked.table;
    if (table.instanceId == 0) return;
    unlockFile(table.instanceId);
    table.instanceId = 0;
}

}  // namespace tmg
