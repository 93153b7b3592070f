#include "foundation/date_time.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/support/scoped_time_zone.h"

using testsupport::ScopedTimeZone;
using testsupport::kTestTimeZones;

namespace {

std::tm fieldsOf(int year, int month0, int day, int hour = 0, int minute = 0, int second = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month0;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

struct FormatCase {
    std::tm fields;
    const char* picture;
    std::string text;
};

TEST(DateTimeTest, Pictures) {
    const FormatCase cases[] = {
        {fieldsOf(1970, 0, 1), "YYYY-MM-DD hh:mm:ss w", "1970-01-01 00:00:00 Thu"},
        {fieldsOf(2024, 0, 31, 23, 59, 59), ".YYYYMMDD-hhmmss", ".20240131-235959"},
        {fieldsOf(2009, 2, 5), "D/M/YY", "5/3/09"},
        {fieldsOf(2009, 2, 5, 7, 8, 9), "h:m:s", "7:8:9"},
        {fieldsOf(2009, 2, 5), "MMMM MMM", "March Mar"},
        {fieldsOf(2024, 5, 2), "ww w", "Sunday Sun"},
        {fieldsOf(2024, 5, 2), "Year YYYY", "\1ear 2024"},   // codes cannot be escaped
        {fieldsOf(2024, 5, 2), "YYY", "24\1"},
        {fieldsOf(2024, 5, 2), "MMMMM", "June6"},             // longest run first: MMMM, then M
        {fieldsOf(2024, 5, 2), "YYYYYY YYYYYYY", "202424 202424\1"},
        {fieldsOf(2024, 5, 2, 7), "MMMMMMM hhh wwwww", "JuneJun 077 SundaySundaySun"},
        {fieldsOf(2024, 5, 2), "\1\1\1\1\3", "20242"},               // marker bytes are codes too
        {fieldsOf(812, 0, 1), "YYYY YY", "0812 12"},
        {fieldsOf(2024, 0, 1), "", ""},
        {fieldsOf(2024, 0, 1), "[%] 1!", "[%] 1!"},
    };
    for (const FormatCase& c : cases) {
        tmg::DateTime value(c.fields, 0);
        EXPECT_EQ(value.format(c.picture), c.text) << c.picture;
    }
    std::ostringstream out;
    EXPECT_EQ(&tmg::DateTime(0).print("YYYY", out), &out);
    EXPECT_EQ(out.str(), "1970");
}

TEST(DateTimeTest, FieldsCarryOver) {
    tmg::DateTime minutes(fieldsOf(2024, 0, 1, 10, 61, 0), 0);
    EXPECT_EQ(minutes.format("YYYY-MM-DD hh:mm:ss"), "2024-01-01 11:01:00");
    tmg::DateTime days(fieldsOf(2024, 0, 32), 0);
    EXPECT_EQ(days.format("YYYY-MM-DD"), "2024-02-01");
    EXPECT_EQ(days.weekday(), 4);
    EXPECT_EQ(days.dayOfYear(), 31);
    tmg::DateTime back(fieldsOf(2024, 0, 1, 0, 0, -1), 0);
    EXPECT_EQ(back.format("YYYY-MM-DD hh:mm:ss w"), "2023-12-31 23:59:59 Sun");
    tmg::DateTime months(fieldsOf(2024, 13, 29), 0);
    EXPECT_EQ(months.format("YYYY-MM-DD"), "2025-03-01");  // February 2025 has 28 days
    tmg::DateTime leap(fieldsOf(2000, 1, 29), 0);
    EXPECT_EQ(leap.dayOfYear(), 59);
    EXPECT_EQ(leap.weekday(), 2);
}

TEST(DateTimeTest, OffsetMovesFieldsNotInstant) {
    tmg::DateTime value(0);
    EXPECT_TRUE(value.isValid());
    EXPECT_EQ(value.utcOffset(), 0);
    value.setUtcOffset(3600);
    EXPECT_EQ(value.format("YYYY-MM-DD hh:mm:ss"), "1970-01-01 01:00:00");
    EXPECT_EQ(value.toTimeT(), 0);
    EXPECT_EQ(value.utcOffset(), 3600);
    value.setUtcOffset(-19800);
    EXPECT_EQ(value.format("YYYY-MM-DD hh:mm:ss"), "1969-12-31 18:30:00");
    EXPECT_EQ(value.toTimeT(), 0);

    // Fields given at an offset name the instant those fields have there.
    tmg::DateTime given(fieldsOf(2024, 11, 31, 23, 0, 0), -3600);
    EXPECT_EQ(given.toTimeT(), 1735689600);  // 2025-01-01 00:00:00 UTC
    EXPECT_EQ(given.hour(), 23);

    value.invalidate();
    EXPECT_FALSE(value.isValid());
    EXPECT_EQ(value.toTimeT(), 0);
}

// Times are 64-bit seconds: nothing wraps at 2038 or before 1901.
TEST(DateTimeTest, SixtyFourBitInstants) {
    struct Case {
        std::time_t instant;
        const char* text;
    } cases[] = {
        {-1, "1969-12-31 23:59:59 Wed"},
        {2147483647, "2038-01-19 03:14:07 Tue"},
        {2147483648LL, "2038-01-19 03:14:08 Tue"},
        {4102444800LL, "2100-01-01 00:00:00 Fri"},
        {-2208988800LL, "1900-01-01 00:00:00 Mon"},
        {-2147483649LL, "1901-12-13 20:45:51 Fri"},
        {253402300799LL, "9999-12-31 23:59:59 Fri"},
        {1LL << 40, "36812-02-20 00:36:16 Mon"},
    };
    for (const Case& c : cases) {
        tmg::DateTime value(c.instant);
        EXPECT_TRUE(value.isValid());
        EXPECT_EQ(value.format("YYYY-MM-DD hh:mm:ss w"), c.text);
        EXPECT_EQ(value.toTimeT(), c.instant);
    }
    // Agreement with the system's own conversion across four centuries, leap days included.
    for (std::time_t t = -6000000000LL; t < 7000000000LL; t += 86400 * 17 + 3607) {
        std::tm system{};
        ASSERT_NE(gmtime_r(&t, &system), nullptr);
        tmg::DateTime value(t);
        std::tm ours = value.toTm();
        ASSERT_EQ(ours.tm_year, system.tm_year) << t;
        ASSERT_EQ(ours.tm_yday, system.tm_yday) << t;
        ASSERT_EQ(ours.tm_mon, system.tm_mon) << t;
        ASSERT_EQ(ours.tm_mday, system.tm_mday) << t;
        ASSERT_EQ(ours.tm_wday, system.tm_wday) << t;
        ASSERT_EQ(ours.tm_hour * 3600 + ours.tm_min * 60 + ours.tm_sec,
                  system.tm_hour * 3600 + system.tm_min * 60 + system.tm_sec) << t;
    }
    // A year past what the fields hold makes the value invalid, not wrapped.
    EXPECT_FALSE(tmg::DateTime(std::time_t(1) << 62).isValid());
    EXPECT_FALSE(tmg::DateTime(-(std::time_t(1) << 62)).isValid());
    EXPECT_FALSE(tmg::DateTime(std::time_t(INT64_MIN)).isValid());
    EXPECT_FALSE(tmg::DateTime(std::time_t(INT64_MAX)).isValid());
    tmg::DateTime edge(0);
    edge.setUtcOffset(INT64_MAX);
    EXPECT_FALSE(edge.isValid());
}

TEST(DateTimeTest, NameTables) {
    EXPECT_EQ(tmg::DateTime::weekdayName(0), "Sun");
    EXPECT_EQ(tmg::DateTime::weekdayName(13), "Saturday");
    EXPECT_EQ(tmg::DateTime::weekdayName(14), "");
    EXPECT_EQ(tmg::DateTime::monthName(11), "Dec");
    EXPECT_EQ(tmg::DateTime::monthName(12), "January");
    EXPECT_EQ(tmg::DateTime::monthName(24), "");
    EXPECT_EQ(tmg::DateTime::monthName(4294967295u), "");

    EXPECT_EQ(tmg::DateTime::weekdayIndex("SUNDAY"), 0);
    EXPECT_EQ(tmg::DateTime::weekdayIndex("sat"), 6);
    EXPECT_EQ(tmg::DateTime::weekdayIndex("Sunda"), -1);
    EXPECT_EQ(tmg::DateTime::weekdayIndex(""), -1);
    EXPECT_EQ(tmg::DateTime::monthIndex("May"), 4);
    EXPECT_EQ(tmg::DateTime::monthIndex("DECEMBER"), 11);
    EXPECT_EQ(tmg::DateTime::monthIndex("sept"), -1);
    EXPECT_EQ(tmg::DateTime::monthIndex("Jan "), -1);
}

TEST(DateTimeTest, ZoneOffsets) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {"EST", -18000}, {"pdt", -25200}, {"Cst", -21600}, {"EDT", -14400},
        {"+0000", 0},    {"+0530", 19800}, {"-0800", -28800}, {"+1", 60},
        {"-0130", -5400}, {"+", 0},        {"-x", 0},         {"+99999999", 1181220},
        {"GMT", 0},      {"UT", 0},        {"Z", 0},          {"", 0},
        {"CET", 0},      {"0100", 0},
    };
    for (const auto& [text, seconds] : cases) EXPECT_EQ(tmg::DateTime::zoneOffset(text), seconds) << text;
}

TEST(DateTimeTest, ZeroPad) {
    EXPECT_EQ(tmg::zeroPad(5, 2), "05");
    EXPECT_EQ(tmg::zeroPad(0, 0), "0");
    EXPECT_EQ(tmg::zeroPad(12345, 2), "12345");
    EXPECT_EQ(tmg::zeroPad(7, 4), "0007");
}

// The UTC results never depend on the process's zone; the local offset follows the date.
TEST(DateTimeZoneTest, LocalOffsets) {
    const std::time_t winter = 1704067200;  // 2024-01-01 00:00:00 UTC
    const std::time_t summer = 1719792000;  // 2024-07-01 00:00:00 UTC
    {
        ScopedTimeZone zone("EST5EDT,M3.2.0,M11.1.0");
        EXPECT_EQ(tmg::DateTime::localUtcOffset(winter), -18000);
        EXPECT_EQ(tmg::DateTime::localUtcOffset(summer), -14400);
        tmg::DateTime value(summer);
        value.setUtcOffset(tmg::DateTime::localUtcOffset(summer));
        EXPECT_EQ(value.format("YYYY-MM-DD hh:mm"), "2024-06-30 20:00");
    }
    {
        ScopedTimeZone zone("XST-5:30");
        EXPECT_EQ(tmg::DateTime::localUtcOffset(winter), 19800);
        EXPECT_EQ(tmg::DateTime::localUtcOffset(), 19800);
        tmg::DateTime local = tmg::DateTime::now(true);
        EXPECT_EQ(local.utcOffset(), 19800);
        tmg::DateTime utc = tmg::DateTime::now(false);
        EXPECT_EQ(utc.utcOffset(), 0);
        EXPECT_LE(utc.toTimeT() - local.toTimeT(), 2);
    }
    for (const char* tz : kTestTimeZones) {
        ScopedTimeZone zone(tz);
        tmg::DateTime epoch(0);
        EXPECT_EQ(epoch.format("YYYY-MM-DD hh:mm:ss w"), "1970-01-01 00:00:00 Thu") << tz;
        EXPECT_EQ(epoch.toTimeT(), 0) << tz;
        EXPECT_EQ(tmg::DateTime(fieldsOf(2024, 6, 1), 0).toTimeT(), summer) << tz;
    }
    ScopedTimeZone zone("UTC0");
    EXPECT_EQ(tmg::DateTime::localUtcOffset(summer), 0);
}

}  // namespace
