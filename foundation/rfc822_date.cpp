#include <string_view>
#include <vector>

#include "foundation/civil_time.h"
#include "foundation/date_time.h"

namespace tmg {

namespace {

// Tabs separate too: RFC 822 white space includes them, as in an unfolded header line.
std::vector<std::string_view> splitTokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(" \t,", at);
        if (start == std::string_view::npos) break;
        std::size_t end = text.find_first_of(" \t,", start);
        if (end == std::string_view::npos) end = text.size();
        tokens.push_back(text.substr(start, end - start));
        at = end;
    }
    return tokens;
}

// The leading decimal digits of text; 0 when there are none. Capped so that every field
// built from it, carried over, stays far inside 64-bit seconds.
int leadingNumber(std::string_view text) {
    constexpr int kCap = 999999999;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value >= kCap) return kCap;
    }
    return static_cast<int>(value);
}

}  // namespace

std::string DateTime::toRfc822() const {
    DateTime utc(*this);
    utc.setUtcOffset(0);
    return utc.format("w, D MMM YYYY hh:mm:ss") + " GMT";
}

bool DateTime::parseRfc822(std::string_view text) {
    valid = false;
    const std::vector<std::string_view> tokens = splitTokens(text);
    if (tokens.size() < 5) return false;

    std::size_t first = 0;  // the day's token; month, year, time and zone follow it
    if (leadingNumber(tokens[0]) == 0) {
        if (weekdayIndex(tokens[0]) == -1 || tokens.size() <= 5) return false;
        first = 1;
    }
    const int month = monthIndex(tokens[first + 1]);
    if (month == -1) return false;
    int year = leadingNumber(tokens[first + 2]);
    if (year > 1900) year -= 1900;
    if (year > 300) return false;

    const std::string_view clock = tokens[first + 3];
    const std::size_t colon = clock.find(':');
    if (colon == std::string_view::npos) return false;
    const std::size_t secondColon = clock.find(':', colon + 1);

    std::tm given{};
    given.tm_mday = leadingNumber(tokens[first]);
    given.tm_mon = month;
    given.tm_year = year;
    given.tm_hour = leadingNumber(clock.substr(0, colon));
    given.tm_min = leadingNumber(clock.substr(colon + 1));
    given.tm_sec = secondColon == std::string_view::npos ? 0 : leadingNumber(clock.substr(secondColon + 1));

    const std::int64_t instant = secondsFromFields(given) - zoneOffset(tokens[first + 4]);
    *this = DateTime(static_cast<std::time_t>(instant));
    return valid;
}

}  // namespace tmg
