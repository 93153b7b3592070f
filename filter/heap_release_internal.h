#pragma once

// Memory freed on the prefilter's compile threads going back to the system. Private to
// the prefilter builder and its tests.

namespace cgp {

// Fixes the C library's heap thresholds at their defaults for the whole process, once:
// blocks of 128 KiB or more get mappings of their own, returned when freed, and the free
// top of any heap past 128 KiB is handed back at the next free there. Left to itself,
// glibc raises both thresholds after the first large free (up to 32 and 64 MiB), and a
// compile thread's heap keeps its free top resident from then on, which malloc_trim never
// touches on a thread's heap: tens of MiB that differ from build to build. Safe to call from
// any thread and more than once; does nothing on another C library.
void keepFreedMemoryReturnable();

}  // namespace cgp
