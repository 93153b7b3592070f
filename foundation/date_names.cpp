#include <string>
#include <unordered_map>

#include "foundation/case_fold.h"
#include "foundation/date_time.h"

namespace tmg {

namespace {

struct DateNames {
    std::string weekdays[14] = {"Sun",    "Mon",    "Tue",     "Wed",       "Thu",      "Fri",    "Sat",
                                "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    std::string months[24] = {"Jan",     "Feb",      "Mar",   "Apr",   "May",  "Jun",
                              "Jul",     "Aug",      "Sep",   "Oct",   "Nov",  "Dec",
                              "January", "February", "March", "April", "May",  "June",
                              "July",    "August",   "September", "October", "November", "December"};
    // Keys are folded to lower case.
    std::unordered_map<std::string, int> weekdayLookup;
    std::unordered_map<std::string, int> monthLookup;
    std::unordered_map<std::string, int> zoneLookup;

    DateNames() {
        for (int i = 0; i < 14; ++i) weekdayLookup.emplace(foldCase(weekdays[i]), i % 7);
        for (int i = 0; i < 24; ++i) monthLookup.emplace(foldCase(months[i]), i % 12);
        const std::pair<const char*, int> zones[] = {
            {"pst", -28800}, {"pdt", -25200}, {"mst", -25200}, {"mdt", -21600},
            {"cst", -21600}, {"cdt", -18000}, {"est", -18000}, {"edt", -14400},
        };
        for (const auto& [name, seconds] : zones) zoneLookup.emplace(name, seconds);
    }
};

// Built on first use (thread-safe) and never destroyed, so code running at exit can still
// format dates.
const DateNames& names() {
    static const DateNames* const tables = new DateNames;
    return *tables;
}

const std::string& emptyName() {
    static const std::string* const empty = new std::string;
    return *empty;
}

int lookUp(const std::unordered_map<std::string, int>& table, std::string_view name) {
    auto found = table.find(foldCase(name));
    return found == table.end() ? -1 : found->second;
}

// The leading decimal digits of text as a signed 16-bit value; more digits than it holds
// give its largest value, no digits give 0.
int leadingNumber16(std::string_view text) {
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > 32767) return 32767;
    }
    return value;
}

}  // namespace

void DateTime::initNames() {
    names();
}

const std::string& DateTime::weekdayName(unsigned index) {
    return index < 14 ? names().weekdays[index] : emptyName();
}

const std::string& DateTime::monthName(unsigned index) {
    return index < 24 ? names().months[index] : emptyName();
}

int DateTime::weekdayIndex(std::string_view name) {
    return lookUp(names().weekdayLookup, name);
}

int DateTime::monthIndex(std::string_view name) {
    return lookUp(names().monthLookup, name);
}

std::int64_t DateTime::zoneOffset(std::string_view text) {
    const int known = lookUp(names().zoneLookup, text);
    if (known != -1) return known;
    if (text.empty() || (text[0] != '+' && text[0] != '-')) return 0;
    int hhmm = leadingNumber16(text.substr(1));
    if (text[0] == '-') hhmm = -hhmm;
    return std::int64_t{hhmm} * 60 - std::int64_t{hhmm / 100} * 2400;
}

}  // namespace tmg
