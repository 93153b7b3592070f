#include "filter/heap_release_internal.h"

// <cstdio> brings in the C library's feature macros.
#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <mutex>

namespace cgp {

void keepFreedMemoryReturnable() {
#ifdef __GLIBC__
    static std::once_flag once;
    std::call_once(once, [] {
        // Setting either threshold stops glibc moving both; the values are its defaults.
        constexpr int defaultThreshold = 128 * 1024;
        mallopt(M_MMAP_THRESHOLD, defaultThreshold);
        mallopt(M_TRIM_THRESHOLD, defaultThreshold);
    });
#endif
}

}  // namespace cgp
