// Date pictures in UTC and in local zones, winter and summer, and far from 1970.
#include <gtest/gtest.h>

#include "tests/support/scoped_time_zone.h"
#include "tests/wssp/wssp_test_util.h"

namespace {

using cgp::WSSPPage;

TEST(DatePictureTest, CodesInUtc) {
    struct Row {
        std::int64_t time;
        const char* picture;
        const char* expected;
    };
    for (Row row : {
             Row{0, "^Y/^N/^D", "70/01/01"},
             Row{0, "^y", "1970"},
             Row{300, "^h:^m ^t", "12:05 AM"},
             Row{13 * 3600 + 300, "^h:^m ^t", "1:05 PM"},
             Row{12 * 3600, "^h ^t ^H", "12 PM 12"},
             Row{0, "^h:^m:^s ^W ^D-^M-^Y", "12:00:00 Thu 01-Jan-70"},
             // 2001-09-09 01:46:40, a Sunday.
             Row{1000000000, "^d.^n.^y ^H:^m:^s ^W ^M", "9.9.2001 01:46:40 Sun Sep"},
             // Past 2038, and before 1970.
             Row{4102444800LL, "^y-^N-^D ^W", "2100-01-01 Fri"},
             Row{-86400, "^y-^N-^D", "1969-12-31"},
             Row{-62135596800LL, "^y/^Y", "0001/01"},
             // No codes, other carets, and codes that follow a caret.
             Row{0, "plain text", "plain text"},
             Row{0, "^x ^ ^^D ^", "^x ^ ^01 ^"},
             Row{0, "^D^D^d", "01011"},
             // A caret in front of a code stays in front of the inserted name.
             Row{302 * 86400, "^^M", "^Oct"},
         }) {
        EXPECT_EQ(WSSPPage::formatDate(row.time, row.picture, false), row.expected) << row.picture;
    }
}

TEST(DatePictureTest, OutOfRangeGivesNothing) {
    EXPECT_EQ(WSSPPage::formatDate(INT64_MAX, "^y", false), "");
    EXPECT_EQ(WSSPPage::formatDate(INT64_MIN, "^y", true), "");
}

TEST(DatePictureTest, TablesAndShortTables) {
    ASSERT_EQ(WSSPPage::monthNames().size(), 12u);
    ASSERT_EQ(WSSPPage::weekdayNames().size(), 7u);
    ASSERT_EQ(WSSPPage::dayHalves().size(), 2u);
    EXPECT_EQ(WSSPPage::monthNames()[11]->stringValue, "Dec");
    EXPECT_EQ(WSSPPage::weekdayNames()[0]->stringValue, "Sun");
    std::vector<cgp::DataSet> none;
    EXPECT_EQ(WSSPPage::formatDate(0, "[^M|^W|^t]", false, none, none, none), "[||]");
    std::vector<cgp::DataSet> months(12, cgp::DataSet("M"));
    EXPECT_EQ(WSSPPage::formatDate(0, "^M", false, months), "M");
}

// Local pictures take the offset in force at the time formatted, not the one of now.
TEST(DatePictureTest, LocalZonesInWinterAndSummer) {
    // 2024-01-15 12:00:00 UTC and 2024-07-15 12:00:00 UTC.
    const std::int64_t winter = 1705320000;
    const std::int64_t summer = 1721044800;
    struct Row {
        const char* zone;
        const char* winterText;
        const char* summerText;
    };
    for (Row row : {Row{"UTC0", "24/01/15 12:00", "24/07/15 12:00"},
                    Row{"XST-5:30", "24/01/15 17:30", "24/07/15 17:30"},
                    Row{"EST5EDT,M3.2.0,M11.1.0", "24/01/15 07:00", "24/07/15 08:00"}}) {
        testsupport::ScopedTimeZone zone(row.zone);
        EXPECT_EQ(WSSPPage::formatDate(winter, "^Y/^N/^D ^H:^m", true), row.winterText) << row.zone;
        EXPECT_EQ(WSSPPage::formatDate(summer, "^Y/^N/^D ^H:^m", true), row.summerText) << row.zone;
        EXPECT_EQ(WSSPPage::formatDate(summer, "^H:^m", false), "12:00") << row.zone;
    }
}

// The local encodings of a page, under a zone with summer time.
TEST(DatePictureTest, LocalEncodings) {
    testsupport::ScopedTimeZone zone("EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(wssp_test::renderPage("%%LOCALDATE:w%% %%LOCALDATE:s%%|%%LOCALDATETIME:s%%|"
                                    "%%LOCALDATETIME(\"^H\"):w%%|%%LOCALDATETIMESHORT:w%%|%%DATE:late%%",
                                    "{w = 1705292400; s = 1721016000; late = 4102444800;}"),
              "24/01/14 24/07/15|12:00:00 Mon 15-Jul-24|23|24/01/14|00/01/01");
}

}  // namespace
