#pragma once

// The one lock order of the process. Every process-wide mutex has a rank here; a thread
// that holds a ranked mutex may take only mutexes of a higher rank (or the same mutex
// again: they are recursive). Lower ranks are outer locks.
//
// Checking: when the check is on (it is in sanitizer and debug builds, see
// lockOrderCheckedByDefault), taking a mutex whose rank is lower than, or equal to, that of
// another mutex this thread holds prints both names on standard error and aborts, before
// the thread could deadlock. Unranked mutexes are not checked and do not count as held.
//
// Adding a mutex: give it a rank of its own between the ranks it is taken inside and
// outside of, in the gaps left below, and pass it to the MutexInterface constructor.

namespace tmg {

enum class LockRank : int {
    Unranked = 0,

    // The filter engine's set of requests on worker threads (Helper).
    EngineInFlight = 100,
    // The Router table and its cache. Reserved gap 201-299 for further Router mutexes.
    Router = 200,
    // The page engine's include-handler guard: an include loads and parses a page, so it is
    // taken outside the directory caches, the value pool and the parser.
    IncludeHandler = 300,
    // Every directory cache (domains, account counts): accountCacheMutex. Gap 401-499 for
    // further directory mutexes taken inside it.
    DirectoryCache = 400,
    // The dataset value pool; taken before the parser, never after.
    DataSetPool = 500,
    // The parser of the three text languages.
    Parser = 600,
    // The set of live page nodes; nodes are made while the parser mutex is held.
    PageNodes = 650,
    // The default domain of address splitting: read under the directory cache and parser
    // mutexes, so the last of the directory ones.
    DefaultDomain = 700,
    // The lock-file table of the process layer.
    LockFiles = 750,
    // The state of the cluster probe over the administration client; never held while it
    // connects.
    ClusterProbe = 760,
    // The month and day name tables of the page engine.
    DateNames = 780,
    // The ring of every thread_safe_ptr: handles are copied and released under any of the
    // above.
    PointerRings = 800,
    // The log's repeat table; it writes its "(Last message repeated" line under it.
    LogRepeat = 900,
    // Standard output: one whole line at a time, inside any of the above.
    Output = 1000,
    // The filter's guard between process exit and the compile threads it abandoned; nothing
    // is taken under it.
    AbandonedCompiles = 1100,
};

// The name of a rank as the check prints it ("Parser", "Output", ...); "unranked" for
// Unranked and for values not listed above.
const char* lockRankName(LockRank rank);

// Whether the check is on. It starts as lockOrderCheckedByDefault().
bool lockOrderChecked();
// Turns the check on or off for every thread. Meant for tests; change it only while no
// ranked mutex is held, since the check follows only the locks taken while it is on.
void setLockOrderChecked(bool on);
// True in builds made with TMG_CHECK_LOCK_ORDER defined (sanitizer and debug builds).
bool lockOrderCheckedByDefault();

}  // namespace tmg
