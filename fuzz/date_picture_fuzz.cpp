// Formats an instant through an arbitrary picture and compares the result with the plain
// way of doing it: letters to marker bytes, then each run replaced all over, longest first.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "foundation/date_time.h"

namespace {

void replaceAll(std::string& text, const std::string& run, const std::string& with) {
    for (std::size_t at = text.find(run); at != std::string::npos; at = text.find(run, at + with.size())) {
        text.replace(at, run.size(), with);
    }
}

std::string slowFormat(const tmg::DateTime& d, std::string text) {
    const char letters[] = "YMDhmsw";
    for (char& c : text) {
        if (const char* at = c ? std::strchr(letters, c) : nullptr) c = static_cast<char>(at - letters + 1);
    }
    auto two = [](int v) { return tmg::zeroPad(static_cast<std::uint64_t>(v), 2); };
    auto one = [](int v) { return tmg::zeroPad(static_cast<std::uint64_t>(v), 1); };
    const std::pair<std::string, std::string> rules[] = {
        {"\1\1\1\1", tmg::zeroPad(static_cast<std::uint64_t>(d.year()), 4)},
        {"\1\1", two(d.year() % 100)},
        {"\2\2\2\2", tmg::DateTime::monthName(static_cast<unsigned>(d.month()) + 12)},
        {"\2\2\2", tmg::DateTime::monthName(static_cast<unsigned>(d.month()))},
        {"\2\2", two(d.month() + 1)}, {"\2", one(d.month() + 1)},
        {"\3\3", two(d.day())}, {"\3", one(d.day())},
        {"\4\4", two(d.hour())}, {"\4", one(d.hour())},
        {"\5\5", two(d.minute())}, {"\5", one(d.minute())},
        {"\6\6", two(d.second())}, {"\6", one(d.second())},
        {"\7\7", tmg::DateTime::weekdayName(static_cast<unsigned>(d.weekday()) + 7)},
        {"\7", tmg::DateTime::weekdayName(static_cast<unsigned>(d.weekday()))},
    };
    for (const auto& [run, with] : rules) replaceAll(text, run, with);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    std::uint32_t seconds;
    std::memcpy(&seconds, data, 4);
    const std::string picture(reinterpret_cast<const char*>(data) + 4, size - 4);
    const tmg::DateTime value(static_cast<std::time_t>(seconds) * 3);  // 1970 to 2378
    if (value.format(picture) != slowFormat(value, picture)) std::abort();
    return 0;
}
