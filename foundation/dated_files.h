#pragma once

#include <set>
#include <string>

// Files that carry a date in their names, such as rotated logs: "app.log" rotated with the
// tag ".old" becomes "app.log.old.20240131-235959". Dates are UTC. None of these throws
// for a failure of the system.
namespace tmg::fs {

// Renames path to path + tag + ".YYYYMMDD-hhmmss" (now, UTC), appending ".1" as often as
// a file of that name exists already. Returns the appended suffix, or "" when the rename
// failed.
std::string rotateFile(const std::string& path, const std::string& tag);

// Fills files (emptied first) with the dated files of base and tag: the names in base's
// folder that begin with base's last part + tag and go on, after one more character, with
// a number above 20000000 (a date YYYYMMDD). Each is given as the folder as written in base
// + "/" + name; a base without "/" lists the working folder and gives bare names, and
// "/x" lists "/". True when files is not empty; a folder that does not open lists nothing.
bool listDatedFiles(const std::string& base, const std::string& tag, std::set<std::string>& files);

// Deletes the dated files of base and tag whose date lies before the UTC day that is days
// days back from now; a file dated on that day itself stays. True when at least one file
// was deleted (a failed unlink is not told apart).
bool deleteOlderThan(const std::string& base, const std::string& tag, int days);

}  // namespace tmg::fs
