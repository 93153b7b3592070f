#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "directory/email.h"
#include "formats/dataset.h"
#include "formats/string_hash_table.h"
#include "foundation/mutex.h"

// The server's domains, read from its settings files and folders. Every path is relative
// to the current folder, which must be the server's base folder. Nothing here throws for a
// missing or broken file: it counts as empty. Nothing here writes a file.
namespace cgp {

// The main domain's name, lower-case, from the "DomainName" of "Settings/Main.settings";
// empty when the file or the key is missing. Read once, on the first call, whichever
// thread makes it; every later call returns the same string, even after the file changes.
const std::string& mainDomainName();

// The recursive mutex that guards every directory cache: the domain tables below and the
// account counts of accounts.h. Made on first use and never destroyed. Lock order: taken
// inside the Router mutex and outside the dataset pool and parser mutexes.
tmg::MutexInterface& accountCacheMutex();

// When on, the directory writes its trace lines ("* " + text); off at start.
extern std::atomic<bool> directoryVerbose;

}  // namespace cgp
