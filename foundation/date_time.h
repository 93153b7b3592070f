#pragma once

#include <cstdint>
#include <ctime>
#include <ostream>
#include <string>
#include <string_view>

namespace tmg {

// A date and time: broken-down wall-clock fields, a validity flag, and the offset of those
// fields from UTC in seconds (east positive). The instant is the fields read as UTC minus
// the offset. A value made from an instant holds UTC fields and offset 0. Times are 64-bit
// seconds throughout; the calendar is proleptic Gregorian with no leap seconds. A plain
// value: copies are independent. Nothing here reads or changes the global locale, and only
// localUtcOffset and now(true) depend on the process's time zone (TZ).
class DateTime {
public:
    // An invalid value (fields of the instant 0), to be filled by parseRfc822.
    DateTime();
    // The UTC fields of the instant, offset 0; invalid when its year does not fit the fields.
    explicit DateTime(std::time_t instant);
    // The given wall-clock fields at the given offset. Out-of-range fields carry over (61
    // minutes are one hour and one minute, the 32nd of January the 1st of February); weekday
    // and day of the year are computed. Invalid when the carried year does not fit.
    DateTime(const std::tm& fields, std::int64_t offset);

    // The current time; when local, expressed at the local offset in force now.
    static DateTime now(bool local);
    // The local zone's offset from UTC now, summer time included (7200 in central European
    // summer time). 0 when the system cannot say.
    static std::int64_t localUtcOffset();
    // The local zone's offset from UTC in force at the given instant: for a date in the
    // other summer-time season this differs from the offset now. 0 when the system cannot
    // say.
    static std::int64_t localUtcOffset(std::time_t instant);

    // The instant: the fields read as UTC, minus the offset.
    std::time_t toTimeT() const;
    // Keeps the instant and re-expresses the fields at the given offset. The value becomes
    // invalid when the result does not fit.
    void setUtcOffset(std::int64_t offset);
    // Marks the value invalid; the fields stay as they are.
    void invalidate() { valid = false; }

    bool isValid() const { return valid; }
    int year() const { return fields.tm_year + 1900; }
    int month() const { return fields.tm_mon; }        // 0-11
    int day() const { return fields.tm_mday; }         // 1-31
    int weekday() const { return fields.tm_wday; }     // 0-6, 0 = Sunday
    int dayOfYear() const { return fields.tm_yday; }   // 0-365
    int hour() const { return fields.tm_hour; }
    int minute() const { return fields.tm_min; }
    int second() const { return fields.tm_sec; }
    std::int64_t utcOffset() const { return offset; }
    std::tm toTm() const { return fields; }

    // Builds the name tables if they are not yet built. Every function below does so itself;
    // the tables are built once, safely even when first used on several threads at once.
    static void initNames();
    // 0-6 "Sun".."Sat", 7-13 "Sunday".."Saturday"; the empty string past the table. The
    // reference stays valid for the life of the process.
    static const std::string& weekdayName(unsigned index);
    // 0-11 "Jan".."Dec", 12-23 "January".."December"; the empty string past the table.
    static const std::string& monthName(unsigned index);
    // The weekday 0-6 of a short or full English name in any case, or -1.
    static int weekdayIndex(std::string_view name);
    // The month 0-11 of a short or full English name in any case ("May" is both), or -1.
    static int monthIndex(std::string_view name);
    // Seconds east of UTC of a zone text: a North American zone name (EST, PDT, ...; any
    // case), or "+hhmm" / "-hhmm" (the leading digits after the sign, so "+1" is one
    // minute; more than 16 bits of digits count as 32767). Anything else, GMT, UT and Z
    // included, gives 0.
    static std::int64_t zoneOffset(std::string_view text);

    // The fields written through a picture. The letters Y, M, D, h, m, s, w are codes and
    // never appear as letters in the result; every other character is copied. Runs, longest
    // first: YYYY year (4 digits at least), YY year modulo 100, MMMM / MMM full / short
    // month name, MM / M month 1-12 (2 / 1 digits at least), DD / D day, hh / h hour, mm / m
    // minute, ss / s second, ww / w full / short weekday name. A Y left over (Y, the third
    // of YYY) stays in the result as the byte 0x01.
    std::string format(std::string_view picture) const;
    // Writes format(picture) to out and returns out.
    std::ostream& print(std::string_view picture, std::ostream& out) const;

    // The RFC 822 text of the instant in UTC, "Thu, 1 Jan 1970 00:00:00 GMT", whatever the
    // value's offset.
    std::string toRfc822() const;
    // Reads an RFC 822 date ("[Weekday,] day month year hh:mm[:ss] zone", the tokens split at
    // blanks, tabs and commas; a two-digit year is 19xx) into this value: UTC fields, offset 0.
    // Returns isValid(): false for text that is not such a date, the value then invalid.
    bool parseRfc822(std::string_view text);

private:
    bool valid;
    std::tm fields;
    std::int64_t offset;
};

// The decimal text of value with "0" added on the left up to width characters; a longer
// text is not cut.
std::string zeroPad(std::uint64_t value, unsigned width);

}  // namespace tmg
