#pragma once

// Makes every later pthread_create of this process fail, for tests of what code does when
// no thread can be started. Meant for a forked child (ForkedChild). Not for sanitizer
// builds: their runtimes reserve far more address space than the limit leaves (see
// sanitizer_build.h).

#include <pthread.h>
#include <sys/resource.h>

#include <cstddef>
#include <fstream>

namespace testsupport {

// While it lives, the default thread stack is far larger than what is left under an
// address-space limit of the current size plus headroomBytes (so no stack cached from
// earlier threads serves either). ok() is false when the limit could not be set. The old
// limit and stack size come back when the object goes.
class NoNewThreads {
public:
    explicit NoNewThreads(std::size_t headroomBytes = 8u << 20) {
        pthread_getattr_default_np(&savedAttr);
        pthread_attr_t huge;
        pthread_attr_init(&huge);
        pthread_attr_setstacksize(&huge, std::size_t(1) << 36);
        pthread_setattr_default_np(&huge);
        pthread_attr_destroy(&huge);
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        getrlimit(RLIMIT_AS, &savedLimit);
        rlimit limit = savedLimit;
        limit.rlim_cur = static_cast<rlim_t>(pages) * 4096 + headroomBytes;
        limited = setrlimit(RLIMIT_AS, &limit) == 0;
    }
    ~NoNewThreads() {
        setrlimit(RLIMIT_AS, &savedLimit);
        pthread_setattr_default_np(&savedAttr);
        pthread_attr_destroy(&savedAttr);
    }
    NoNewThreads(const NoNewThreads&) = delete;
    NoNewThreads& operator=(const NoNewThreads&) = delete;

    bool ok() const { return limited; }

private:
    pthread_attr_t savedAttr;
    rlimit savedLimit{};
    bool limited = false;
};

}  // namespace testsupport
