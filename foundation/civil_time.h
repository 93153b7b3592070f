#pragma once

#include <cstdint>
#include <ctime>

namespace tmg {

// Calendar arithmetic on the proleptic Gregorian calendar in 64-bit seconds, free of the
// process's time zone and of the range of the system's time conversions.

// The fields read as a UTC date and time, as seconds since 1970-01-01 00:00:00. Fields out
// of their ranges carry over (minute 61 is one hour and one minute, day 32 of January is
// the 1st of February, second -1 the last second of the day before). Weekday, day of the
// year, summer-time flag and zone are ignored. Never overflows for any field values.
std::int64_t secondsFromFields(const std::tm& fields);

// The UTC fields of an instant, with weekday and day of the year, tm_isdst 0, tm_gmtoff 0
// and tm_zone "GMT". Returns false (out untouched) when the year does not fit the fields.
bool fieldsFromSeconds(std::int64_t seconds, std::tm& out);

}  // namespace tmg
