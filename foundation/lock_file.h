#pragma once

#include <string>

// Named lock files: an exclusive record lock (fcntl, bytes 0 to 29) on a file named after a
// resource with the ending ".lck", which a process takes to show that it holds the
// resource and keeps while it runs. The file's contents are never read or written; the
// record lock is the proof. The system drops a process's record locks when it ends, so a
// file left behind by an ended process is free again. None of these throws.
//
// Lock files are opened without following a symbolic link at the last step of the path:
// a link planted in a shared folder such as /tmp is never followed, and its target is
// neither created nor locked. All operations are safe to call from several threads.
namespace tmg {

// The folder of lock files named without a path: "/tmp/".
const std::string& lockDirectory();

// Takes the lock file of name: name + ".lck" when absolute, else lockDirectory() + name +
// ".lck" (created when missing, permission 0666 less the umask; never truncated).
// tries <= 0 makes one attempt; tries N makes N attempts, each failed one followed by a
// one-second sleep. Returns the lock id (1, 2, ... in order of acquisition, never reused
// in the life of the process), or 0 when the lock could not be had; the file of another
// holder is left as it is. A lock is only granted on the file that the path names at that
// moment: a file its holder deleted in the meantime is given up and the path opened anew.
// Within this process a name already held is granted again, under a second id.
unsigned lockFile(const std::string& name, bool absolute, int tries);

// Releases the lock id: when it is the last id of this process on that file, the file is
// deleted and then unlocked, so a process waiting for the lock finds the path gone and no
// two processes ever hold the path at once. While another id of this process still holds
// the file, file and lock stay. Ids of 0, ids never given and ids already released are
// ignored.
void unlockFile(unsigned id);

// Whether another process holds the lock of the lock file at path (a full path). False when
// the file does not exist (it is not created) and for a file this process itself holds;
// true when it exists but cannot be opened or tested. Only tests: never takes the lock, so
// it cannot make another process's attempt fail, and never disturbs this process's locks.
bool isLockFileHeld(const std::string& path);

// Makes sure this program runs once: takes lockFile(name, true, 0) when absolute, else
// lockFile(prefix + name, false, 0), and keeps it as the process's instance lock. True when
// it is held (also when it already was).
bool lockProcessInstance(const std::string& prefix, const std::string& name, bool absolute);

// Releases the instance lock, if one is held.
void unlockProcessInstance();

}  // namespace tmg
