// Parses arbitrary text as an RFC 822 date; a parsed date must write and parse back to the
// same instant, and formatting must hold for any picture.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/date_time.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    tmg::DateTime value;
    const bool valid = value.parseRfc822(text);
    if (valid != value.isValid()) std::abort();
    value.format(text);
    if (!valid) return 0;
    if (value.utcOffset() != 0) std::abort();
    tmg::DateTime moved(value);
    moved.setUtcOffset(tmg::DateTime::zoneOffset(text));
    if (moved.isValid() && moved.toTimeT() != value.toTimeT()) std::abort();
    const std::string written = value.toRfc822();
    tmg::DateTime back;
    // The reader takes the years 1901 to 2200 as written (1900 and past 2200 it refuses).
    if (back.parseRfc822(written) && back.toTimeT() != value.toTimeT()) std::abort();
    if (value.year() > 1900 && value.year() <= 2200 && !back.isValid()) std::abort();
    return 0;
}
