#include "formats/internal/dataset_number.h"

#include <climits>

namespace cgp {

bool readLeadingInteger(std::string_view text, long long& result) noexcept {
    result = 0;
    std::size_t i = 0, n = text.size();
    while (i < n && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == n || text[i] < '0' || text[i] > '9') return false;
    // Accumulate as a negative number: its range holds LLONG_MIN.
    long long value = 0;
    bool overflow = false;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        int digit = text[i] - '0';
        if (value < (LLONG_MIN + digit) / 10) overflow = true;
        if (!overflow) value = value * 10 - digit;
    }
    if (overflow)
        result = negative ? LLONG_MIN : LLONG_MAX;
    else if (negative)
        result = value;
    else
        result = value == LLONG_MIN ? LLONG_MAX : -value;
    return true;
}

}  // namespace cgp
