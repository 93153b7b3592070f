#include "foundation/date_time.h"


#include "foundation/civil_time.h"

namespace tmg {

static_assert(sizeof(std::time_t) >= 8, "times are 64-bit seconds");

namespace {

// Wall-clock fields of (wall) seconds at an offset; false when they do not fit, or when the
// instant behind them would not fit a time_t.
bool fieldsAt(std::int64_t wall, std::int64_t offset, std::tm& out) {
    std::int64_t instant;
    if (__builtin_sub_overflow(wall, offset, &instant)) return false;
    if (!fieldsFromSeconds(wall, out)) return false;
    out.tm_gmtoff = static_cast<long>(offset);
    if (offset != 0) out.tm_zone = "";
    return true;
}

}  // namespace

DateTime::DateTime() : valid(false), fields(), offset(0) {
    fieldsFromSeconds(0, fields);
}

DateTime::DateTime(std::time_t instant) : valid(false), fields(), offset(0) {
    fieldsFromSeconds(0, fields);
    valid = fieldsAt(instant, 0, fields);
}

DateTime::DateTime(const std::tm& given, std::int64_t zoneOffset) : valid(false), fields(given), offset(zoneOffset) {
    valid = fieldsAt(secondsFromFields(given), offset, fields);
    if (!valid) fieldsFromSeconds(0, fields);  // keep the fields in range for format
}

DateTime DateTime::now(bool local) {
    const std::time_t instant = std::time(nullptr);
    DateTime value(instant);
    if (local) value.setUtcOffset(localUtcOffset(instant));
    return value;
}

std::int64_t DateTime::localUtcOffset() {
    return localUtcOffset(std::time(nullptr));
}

std::int64_t DateTime::localUtcOffset(std::time_t instant) {
    std::tm local{};
    if (localtime_r(&instant, &local) == nullptr) return 0;
    return local.tm_gmtoff;
}

std::time_t DateTime::toTimeT() const {
    std::int64_t instant;
    if (__builtin_sub_overflow(secondsFromFields(fields), offset, &instant)) return 0;
    return static_cast<std::time_t>(instant);
}

void DateTime::setUtcOffset(std::int64_t newOffset) {
    std::int64_t wall;
    std::tm moved;
    if (__builtin_add_overflow(static_cast<std::int64_t>(toTimeT()), newOffset, &wall) ||
        !fieldsAt(wall, newOffset, moved)) {
        valid = false;
        return;
    }
    fields = moved;
    offset = newOffset;
}

std::string zeroPad(std::uint64_t value, unsigned width) {
    std::string digits = std::to_string(value);
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return digits;
}

namespace {

// The picture codes. A picture byte 1-7 counts as the letter of that number, so a picture
// means the same whether its letters were already turned into marker bytes or not.
enum Code { kNone, kYear, kMonth, kDay, kHour, kMinute, kSecond, kWeekday };

Code codeOf(char c) {
    switch (c) {
    case 'Y': case '\1': return kYear;
    case 'M': case '\2': return kMonth;
    case 'D': case '\3': return kDay;
    case 'h': case '\4': return kHour;
    case 'm': case '\5': return kMinute;
    case 's': case '\6': return kSecond;
    case 'w': case '\7': return kWeekday;
    default: return kNone;
    }
}

std::uint64_t magnitude(int value) {
    return value < 0 ? -static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

std::string padded(int value, unsigned width) {
    return (value < 0 ? "-" : "") + zeroPad(magnitude(value), width);
}

// Appends a run of n equal codes whose long and short forms are given: the long form as
// often as it fits (taking `size` letters each), then the short form for one letter left.
void appendRun(std::string& out, std::size_t n, std::size_t size, const std::string& longForm,
               const std::string& shortForm) {
    for (; n >= size; n -= size) out += longForm;
    if (n == 1) out += shortForm;
}

}  // namespace

// Runs are replaced longest form first and left to right, so a run of n letters is the
// longest form repeated, then what is left: YYYYYY is the year and then its last two digits.
std::string DateTime::format(std::string_view picture) const {
    const int y = year();
    std::string out;
    out.reserve(picture.size() + 16);
    for (std::size_t i = 0; i < picture.size();) {
        const Code code = codeOf(picture[i]);
        std::size_t n = 1;
        while (i + n < picture.size() && codeOf(picture[i + n]) == code) ++n;
        i += n;
        switch (code) {
        case kNone:
            out.append(picture.substr(i - n, n));
            break;
        case kYear:
            for (; n >= 4; n -= 4) out += padded(y, 4);
            if (n >= 2) out += zeroPad(magnitude(y % 100), 2);
            if (n % 2 == 1) out += '\1';  // no code for a single Y
            break;
        case kMonth:
            for (; n >= 4; n -= 4) out += monthName(static_cast<unsigned>(fields.tm_mon) + 12);
            if (n == 3) out += monthName(static_cast<unsigned>(fields.tm_mon));
            if (n == 2) out += padded(fields.tm_mon + 1, 2);
            if (n == 1) out += padded(fields.tm_mon + 1, 1);
            break;
        case kDay:
            appendRun(out, n, 2, padded(fields.tm_mday, 2), padded(fields.tm_mday, 1));
            break;
        case kHour:
            appendRun(out, n, 2, padded(fields.tm_hour, 2), padded(fields.tm_hour, 1));
            break;
        case kMinute:
            appendRun(out, n, 2, padded(fields.tm_min, 2), padded(fields.tm_min, 1));
            break;
        case kSecond:
            appendRun(out, n, 2, padded(fields.tm_sec, 2), padded(fields.tm_sec, 1));
            break;
        case kWeekday: {
            const unsigned wday = static_cast<unsigned>(fields.tm_wday);
            appendRun(out, n, 2, weekdayName(wday + 7), weekdayName(wday));
            break;
        }
        }
    }
    return out;
}

std::ostream& DateTime::print(std::string_view picture, std::ostream& out) const {
    const std::string text = format(picture);
    return out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace tmg
