#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <boost/regex.hpp>

namespace cgp {

// One pattern to compile with Boost.Regex, and what came of it.
struct BoundedCompile {
    enum Outcome {
        Compiled,  // expression holds it
        Refused,   // Boost threw (a pattern that does not compile), or the pattern is
                   // one whose compile is known never to end (compileNeverEnds)
        TooLong,   // the compile ran past its bound and was abandoned
    };
    std::string pattern;
    boost::regex::flag_type flags = boost::regex::perl;
    Outcome outcome = Refused;
    boost::regex expression;
};

// Compiles every pattern of the batch, in order, on one thread of its own that the caller
// waits on, so that a compile that never returns cannot hold the caller: each compile may
// take 1 second of that thread's processor time (time the thread waits for a processor on
// a busy machine does not count) and, whatever the machine, 20 seconds of wall-clock time;
// a long pattern 1 second and 20 seconds more per 100,000 bytes (Boost compiles about a
// byte a microsecond).
// A compile past either bound is TooLong and the rest of the batch goes on on a new thread.
// Never throws but std::bad_alloc; when no thread can be started, the patterns are
// compiled on the caller, without a bound.
//
// What an abandoned compile costs: its thread is left to itself (detached, at the lowest
// scheduling priority the system grants) with its own copy of the pattern and keeps a
// processor busy whenever one is free, and its memory, until its compile returns, which may
// be never; it then ends without touching anything of the caller's. One that returns
// after the process began to exit (std::exit, or the end of main) frees nothing and waits
// for the end. The one shape known to never end is refused before any thread sees it, so
// that only an unknown one costs this.
void compileWithinBounds(std::vector<BoundedCompile>& batch);

// For tests: the bounds of each compile (by default 1 s of processor time and 20 s of
// wall-clock time), and a function that the compiling thread calls with each pattern just
// before it compiles it (none by default). Set them while no batch runs.
void setCompileBoundsForTests(std::chrono::nanoseconds processorTime, std::chrono::nanoseconds wallTime);
void setCompileHookForTests(void (*hook)(const std::string& pattern));
// How many abandoned compile threads have not yet freed what they hold and ended.
int abandonedCompilesAlive();

}  // namespace cgp
