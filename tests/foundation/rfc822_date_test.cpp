#include "foundation/date_time.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/scoped_time_zone.h"

using testsupport::ScopedTimeZone;
using testsupport::kTestTimeZones;

namespace {

struct ParseCase {
    const char* text;
    bool valid;
    const char* utc;  // "YYYY-MM-DD hh:mm:ss" when valid
};

const ParseCase kParseCases[] = {
    {"Tue, 31 Dec 2024 23:00:00 -0100", true, "2025-01-01 00:00:00"},
    {"31 Dec 2024 23:00:00 +0100", true, "2024-12-31 22:00:00"},
    {"Thu, 1 Jan 1970 00:00:00 GMT", true, "1970-01-01 00:00:00"},
    {"Fri, 31 Dec 2024 23:00:00 GMT", true, "2024-12-31 23:00:00"},   // weekday not checked
    {"1 jan 70 00:00 EST", true, "1970-01-01 05:00:00"},              // no seconds
    {"Saturday, 2 January 99 10:20:30 PDT", true, "1999-01-02 17:20:30"},
    {"Wed,01 Jan 2025 12:00:00 +0000 (UTC)", true, "2025-01-01 12:00:00"},
    {"1\tMay\t2024\t12:00\t+0530", true, "2024-05-01 06:30:00"},      // tabs separate too
    {"32 Jan 2024 25:61:61 GMT", true, "2024-02-02 02:02:01"},        // carried over
    {"1 Jan 24 00:00:00 GMT", true, "1924-01-01 00:00:00"},
    {"1 Jan 2200 00:00:00 GMT", true, "2200-01-01 00:00:00"},
    {"1 Jan 1901 00:00:00 GMT", true, "1901-01-01 00:00:00"},
    {"Tue 31 Dec 2024 23:00:00", false, ""},                          // five tokens, weekday first
    {"31 Dec 2024 23:00", false, ""},
    {"", false, ""},
    {" , , , , , ", false, ""},
    {"1 Jan 1900 00:00:00 GMT", false, ""},
    {"1 Jan 2201 00:00:00 GMT", false, ""},
    {"1 Foo 2024 00:00:00 GMT", false, ""},
    {"1 Sept 2024 00:00:00 GMT", false, ""},
    {"1 Jan 2024 0000 GMT", false, ""},
    {"Funday, 1 Jan 2024 00:00:00 GMT", false, ""},
    {"0 Jan 2024 00:00:00 GMT", false, ""},
    {"Mon, Jan 1 2024 00:00:00 GMT", false, ""},
};

TEST(Rfc822DateTest, Parses) {
    for (const ParseCase& c : kParseCases) {
        tmg::DateTime value(1234567);
        EXPECT_EQ(value.parseRfc822(c.text), c.valid) << c.text;
        EXPECT_EQ(value.isValid(), c.valid) << c.text;
        if (!c.valid) continue;
        EXPECT_EQ(value.format("YYYY-MM-DD hh:mm:ss"), c.utc) << c.text;
        EXPECT_EQ(value.utcOffset(), 0);
    }
    // Absurd numbers are capped, not overflowed.
    tmg::DateTime huge;
    huge.parseRfc822("99999999999999999999 Jan 2024 99999999999:99999999999:9999999999 -99999999999");
    EXPECT_TRUE(huge.isValid());
}

TEST(Rfc822DateTest, Writes) {
    EXPECT_EQ(tmg::DateTime(0).toRfc822(), "Thu, 1 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(tmg::DateTime(1735689599).toRfc822(), "Tue, 31 Dec 2024 23:59:59 GMT");
}

// A value moved to another offset still names the same instant, so " GMT" must stay true.
TEST(Rfc822DateTest, MovedValueIsWrittenInUtc) {
    tmg::DateTime value(0);
    value.setUtcOffset(3600);
    EXPECT_EQ(value.toRfc822(), "Thu, 1 Jan 1970 00:00:00 GMT");
    value.setUtcOffset(-19800);
    EXPECT_EQ(value.toRfc822(), "Thu, 1 Jan 1970 00:00:00 GMT");
    tmg::DateTime local(1719792000);
    local.setUtcOffset(-14400);
    EXPECT_EQ(local.toRfc822(), "Mon, 1 Jul 2024 00:00:00 GMT");
    EXPECT_EQ(local.hour(), 20);  // the value itself is not changed
}

TEST(Rfc822DateZoneTest, RoundTripsUnderEveryZone) {
    for (const char* tz : kTestTimeZones) {
        ScopedTimeZone zone(tz);
        for (std::time_t t = -2000000000; t < 7000000000LL; t += 7777777) {
            tmg::DateTime value(t);
            value.setUtcOffset(tmg::DateTime::localUtcOffset(t));
            tmg::DateTime back;
            ASSERT_TRUE(back.parseRfc822(value.toRfc822())) << tz << " " << t;
            ASSERT_EQ(back.toTimeT(), t) << tz;
            ASSERT_EQ(back.toRfc822(), value.toRfc822()) << tz;
        }
        for (const ParseCase& c : kParseCases) {
            tmg::DateTime value;
            EXPECT_EQ(value.parseRfc822(c.text), c.valid) << tz << " " << c.text;
            if (c.valid) {
                EXPECT_EQ(value.format("YYYY-MM-DD hh:mm:ss"), c.utc) << tz;
            }
        }
    }
}

}  // namespace
