#pragma once

// The process's time zone for the life of one object, for tests of local-time code.

#include <string>

namespace testsupport {

// Sets the process's time zone (a POSIX TZ string such as "EST5EDT,M3.2.0,M11.1.0", which
// needs no zone database) for the life of the object, then restores the previous one (or
// none). Not for use while other threads read the time zone.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool hadOld;
    std::string previous;
};

// The zones the date tests run under: UTC, one with summer time, one with a half hour.
inline const char* const kTestTimeZones[] = {"UTC0", "EST5EDT,M3.2.0,M11.1.0", "XST-5:30"};

}  // namespace testsupport
