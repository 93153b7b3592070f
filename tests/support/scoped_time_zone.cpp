#include "tests/support/scoped_time_zone.h"

#include <stdlib.h>
#include <time.h>

namespace testsupport {

ScopedTimeZone::ScopedTimeZone(const char* tz) {
    const char* old = getenv("TZ");
    hadOld = old != nullptr;
    if (hadOld) previous = old;
    setenv("TZ", tz, 1);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (hadOld) {
        setenv("TZ", previous.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

}  // namespace testsupport
