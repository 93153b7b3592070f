#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

// Sets the process's time zone (a POSIX TZ string such as "EST5EDT,M3.2.0,M11.1.0", which
// needs no zone database) for the life of the object, then restores the previous one.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        const char* old = std::getenv("TZ");
        hadOld = old != nullptr;
        if (hadOld) previous = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (hadOld) {
            setenv("TZ", previous.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool hadOld;
    std::string previous;
};

// The zones the date tests run under: UTC, one with summer time, one with a half hour.
inline const char* const kTestTimeZones[] = {"UTC0", "EST5EDT,M3.2.0,M11.1.0", "XST-5:30"};
