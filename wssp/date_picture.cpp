#include <cstdio>

#include "foundation/date_time.h"
#include "wssp/wssp_page.h"

namespace cgp {

namespace {

struct DateNameTables {
    std::vector<DataSet> months;
    std::vector<DataSet> weekdays;
    std::vector<DataSet> halves;
};

// Built once, on first use, by whichever thread comes first (the others wait for it);
// never destroyed, so renders still running at exit find it.
const DateNameTables& dateNameTables() {
    static const DateNameTables* tables = [] {
        auto* made = new DateNameTables;
        for (const char* name : {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"})
            made->months.emplace_back(name);
        for (const char* name : {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}) made->weekdays.emplace_back(name);
        for (const char* name : {"AM", "PM"}) made->halves.emplace_back(name);
        return made;
    }();
    return *tables;
}

const std::string& nameAt(const std::vector<DataSet>& table, std::size_t index) {
    static const std::string none;
    if (index >= table.size() || table[index].get() == nullptr) return none;
    return table[index]->stringValue;
}

std::string twoDigits(int value) { return tmg::zeroPad(static_cast<std::uint64_t>(value), 2); }

// Replaces every occurrence of the two-byte code, scanning on behind each inserted text.
template <class Make>
void replaceCode(std::string& picture, const char* code, Make make) {
    std::size_t at = picture.find(code);
    if (at == std::string::npos) return;
    const std::string replacement = make();
    do {
        picture.replace(at, 2, replacement);
        at = picture.find(code, at + replacement.size());
    } while (at != std::string::npos);
}

}  // namespace

void WSSPPage::initDateNames() { dateNameTables(); }

const std::vector<DataSet>& WSSPPage::monthNames() { return dateNameTables().months; }
const std::vector<DataSet>& WSSPPage::weekdayNames() { return dateNameTables().weekdays; }
const std::vector<DataSet>& WSSPPage::dayHalves() { return dateNameTables().halves; }

std::string WSSPPage::formatDate(std::int64_t time, std::string picture, bool local,
                                 const std::vector<DataSet>& monthNameTable,
                                 const std::vector<DataSet>& weekdayNameTable,
                                 const std::vector<DataSet>& dayHalfTable) {
    initDateNames();
    tmg::DateTime date(static_cast<std::time_t>(time));
    if (!date.isValid()) return std::string();
    // The offset in force at the time itself, not now: a summer date seen in winter is
    // written with its own summer offset.
    if (local) date.setUtcOffset(tmg::DateTime::localUtcOffset(static_cast<std::time_t>(time)));
    if (!date.isValid()) return std::string();
    if (picture.find('^') == std::string::npos) return picture;

    const int year = date.year();
    const int hour = date.hour();
    replaceCode(picture, "^D", [&] { return twoDigits(date.day()); });
    replaceCode(picture, "^d", [&] { return std::to_string(date.day()); });
    replaceCode(picture, "^M", [&] { return nameAt(monthNameTable, static_cast<std::size_t>(date.month() % 12)); });
    replaceCode(picture, "^N", [&] { return twoDigits(date.month() + 1); });
    replaceCode(picture, "^n", [&] { return std::to_string(date.month() + 1); });
    replaceCode(picture, "^Y", [&] { return twoDigits((year % 100 + 100) % 100); });
    replaceCode(picture, "^y", [&] {
        char text[24];
        std::snprintf(text, sizeof text, "%04d", year);
        return std::string(text);
    });
    replaceCode(picture, "^s", [&] { return twoDigits(date.second()); });
    replaceCode(picture, "^m", [&] { return twoDigits(date.minute()); });
    replaceCode(picture, "^H", [&] { return twoDigits(hour); });
    replaceCode(picture, "^h", [&] { return std::to_string(hour % 12 == 0 ? 12 : hour % 12); });
    replaceCode(picture, "^t", [&] { return nameAt(dayHalfTable, hour < 12 ? 0 : 1); });
    replaceCode(picture, "^W", [&] { return nameAt(weekdayNameTable, static_cast<std::size_t>(date.weekday())); });
    return picture;
}

}  // namespace cgp
