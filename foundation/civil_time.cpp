#include "foundation/civil_time.h"

#include <limits>

namespace tmg {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Days since 1970-01-01 of a date with month 1-12 and day 1-31. The year is counted from
// March so that the leap day falls at the end; 400-year eras make it exact everywhere.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = floorDiv(year, 400);
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct CivilDate {
    std::int64_t year;
    unsigned month;  // 1-12
    unsigned day;    // 1-31
};

CivilDate civilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = floorDiv(days, 146097);
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    const unsigned month = shifted < 10 ? shifted + 3 : shifted - 9;
    return {yearOfEra + era * 400 + (month <= 2), month, day};
}

}  // namespace

std::int64_t secondsFromFields(const std::tm& fields) {
    // int fields keep every intermediate far inside 64 bits.
    const std::int64_t year = std::int64_t{fields.tm_year} + 1900 + floorDiv(fields.tm_mon, 12);
    const unsigned month = static_cast<unsigned>(fields.tm_mon - floorDiv(fields.tm_mon, 12) * 12) + 1;
    const std::int64_t days = daysFromCivil(year, month, 1) + fields.tm_mday - 1;
    return days * kSecondsPerDay + std::int64_t{fields.tm_hour} * 3600 + std::int64_t{fields.tm_min} * 60 +
           fields.tm_sec;
}

bool fieldsFromSeconds(std::int64_t seconds, std::tm& out) {
    const std::int64_t days = floorDiv(seconds, kSecondsPerDay);
    // Not seconds - days * 86400: that product leaves 64 bits for the first day before INT64_MIN.
    std::int64_t inDay = seconds % kSecondsPerDay;
    if (inDay < 0) inDay += kSecondsPerDay;
    const CivilDate date = civilFromDays(days);
    const std::int64_t tmYear = date.year - 1900;
    // year() adds 1900 back in an int.
    if (tmYear < std::numeric_limits<int>::min() || tmYear > std::numeric_limits<int>::max() - 1900) return false;
    std::tm fields{};
    fields.tm_sec = static_cast<int>(inDay % 60);
    fields.tm_min = static_cast<int>(inDay / 60 % 60);
    fields.tm_hour = static_cast<int>(inDay / 3600);
    fields.tm_mday = static_cast<int>(date.day);
    fields.tm_mon = static_cast<int>(date.month) - 1;
    fields.tm_year = static_cast<int>(tmYear);
    fields.tm_wday = static_cast<int>(floorDiv(days + 4, 7) * -7 + days + 4);  // 1970-01-01 was a Thursday
    fields.tm_yday = static_cast<int>(days - daysFromCivil(date.year, 1, 1));
    fields.tm_isdst = 0;
    fields.tm_gmtoff = 0;
    fields.tm_zone = "GMT";
    out = fields;
    return true;
}

}  // namespace tmg
