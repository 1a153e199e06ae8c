#include "calendar/time_zones.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace calendar {
namespace {

using platform::CalendarFields;
using platform::DateToFields;

Date At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    const std::optional<Date> date = platform::MakeDate(year, month, day, hour, minute, second);
    EXPECT_TRUE(date.has_value());
    return date.value_or(0);
}

// Compares to the second, the precision the conversions keep.
void ExpectTime(std::optional<Date> actual, Date expected) {
    ASSERT_TRUE(actual.has_value());
    EXPECT_EQ(DateToFields(*actual), DateToFields(expected));
}

void SetLocalZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
}

class TimeZonesTest : public ::testing::Test {
protected:
    void SetUp() override { SetLocalZone("Europe/Berlin"); }
    void TearDown() override { SetLocalZone("Europe/Berlin"); }
};

TEST_F(TimeZonesTest, UtcToBerlinAcrossTheMarchChange) {
    ExpectTime(ZoneToLocal(At(2024, 1, 10, 12), "UTC"), At(2024, 1, 10, 13));
    // Clocks go forward at 01:00 UTC on 31 March 2024.
    ExpectTime(ZoneToLocal(At(2024, 3, 31, 0, 59, 59), "UTC"), At(2024, 3, 31, 1, 59, 59));
    ExpectTime(ZoneToLocal(At(2024, 3, 31, 1, 0), "UTC"), At(2024, 3, 31, 3, 0));
    ExpectTime(ZoneToLocal(At(2024, 7, 1, 12), "UTC"), At(2024, 7, 1, 14));
    ExpectTime(LocalToZone(At(2024, 3, 31, 1, 59, 59), "UTC"), At(2024, 3, 31, 0, 59, 59));
    ExpectTime(LocalToZone(At(2024, 3, 31, 3, 0), "UTC"), At(2024, 3, 31, 1, 0));
}

TEST_F(TimeZonesTest, UtcToBerlinAcrossTheOctoberChange) {
    // Clocks go back at 01:00 UTC on 27 October 2024; 02:00-03:00 local happens twice.
    ExpectTime(ZoneToLocal(At(2024, 10, 27, 0, 30), "UTC"), At(2024, 10, 27, 2, 30));
    ExpectTime(ZoneToLocal(At(2024, 10, 27, 1, 30), "UTC"), At(2024, 10, 27, 2, 30));
    ExpectTime(ZoneToLocal(At(2024, 10, 27, 3, 0), "UTC"), At(2024, 10, 27, 4, 0));
    ExpectTime(LocalToZone(At(2024, 10, 26, 23, 0), "UTC"), At(2024, 10, 26, 21, 0));
    ExpectTime(LocalToZone(At(2024, 10, 27, 4, 0), "UTC"), At(2024, 10, 27, 3, 0));
}

TEST_F(TimeZonesTest, RepeatedHourMeansTheFirstOfTheTwo) {
    // Local side: Berlin 02:30 on 27 October is read while summer time still holds.
    ExpectTime(LocalToZone(At(2024, 10, 27, 2, 30), "UTC"), At(2024, 10, 27, 0, 30));
    // Zone side: New York 01:30 on 3 November 2024 is read as EDT (UTC-4).
    ExpectTime(ZoneToLocal(At(2024, 11, 3, 1, 30), "America/New_York"), At(2024, 11, 3, 6, 30));
}

TEST_F(TimeZonesTest, SkippedHourMovesForwardByTheGap) {
    // Berlin 02:30 on 31 March does not exist; it is read with winter time, i.e. 03:30.
    ExpectTime(LocalToZone(At(2024, 3, 31, 2, 30), "UTC"), At(2024, 3, 31, 1, 30));
    ExpectTime(ConvertWallClock(At(2024, 3, 31, 2, 30), "Europe/Berlin", "Europe/Berlin"),
               At(2024, 3, 31, 3, 30));
    // New York 02:30 on 10 March 2024 does not exist: read as EST, 07:30 UTC, 08:30 in Berlin.
    ExpectTime(ZoneToLocal(At(2024, 3, 10, 2, 30), "America/New_York"), At(2024, 3, 10, 8, 30));
}

TEST_F(TimeZonesTest, TokyoHasNoSummerTime) {
    ExpectTime(ZoneToLocal(At(2024, 1, 15, 9), "Asia/Tokyo"), At(2024, 1, 15, 1));
    ExpectTime(ZoneToLocal(At(2024, 7, 15, 9), "Asia/Tokyo"), At(2024, 7, 15, 2));
    ExpectTime(LocalToZone(At(2024, 7, 15, 2), "Asia/Tokyo"), At(2024, 7, 15, 9));
    ExpectTime(ConvertWallClock(At(2024, 7, 15, 9), "Asia/Tokyo", "America/New_York"),
               At(2024, 7, 14, 20));
}

TEST_F(TimeZonesTest, LocalSideFollowsTz) {
    SetLocalZone("America/New_York");
    ExpectTime(ZoneToLocal(At(2024, 7, 1, 12), "UTC"), At(2024, 7, 1, 8));
    ExpectTime(ZoneToLocal(At(2024, 7, 1, 12), "Europe/Berlin"), At(2024, 7, 1, 6));
    SetLocalZone("Asia/Tokyo");
    ExpectTime(LocalToZone(At(2024, 1, 1, 9), "UTC"), At(2024, 1, 1, 0));
}

TEST_F(TimeZonesTest, UnknownZonesAndEmptyNames) {
    EXPECT_FALSE(ZoneToLocal(At(2024, 1, 1), "Mars/Olympus_Mons").has_value());
    EXPECT_FALSE(LocalToZone(At(2024, 1, 1), "Mars/Olympus_Mons").has_value());
    EXPECT_FALSE(ConvertWallClock(At(2024, 1, 1), "Asia/Tokyo", "Nowhere").has_value());
    EXPECT_FALSE(IsKnownZone("Mars/Olympus_Mons"));
    EXPECT_FALSE(IsKnownZone("../../etc/passwd"));
    EXPECT_FALSE(IsKnownZone("europe/berlin"));
    EXPECT_FALSE(IsKnownZone(""));
    // Empty: already local, returned as it is, even a time in the skipped hour.
    EXPECT_EQ(ZoneToLocal(At(2024, 3, 31, 2, 30), ""), At(2024, 3, 31, 2, 30));
    EXPECT_EQ(LocalToZone(At(2024, 3, 31, 2, 30), ""), At(2024, 3, 31, 2, 30));
}

TEST_F(TimeZonesTest, NamesCalendarProgramsWrite) {
    EXPECT_TRUE(IsKnownZone("Europe/Berlin"));
    EXPECT_TRUE(IsKnownZone("UTC"));
    EXPECT_EQ(CanonicalZoneName("GMT"), "UTC");
    EXPECT_EQ(CanonicalZoneName("Asia/Tokyo"), "Asia/Tokyo");
    EXPECT_EQ(CanonicalZoneName("/freeassociation.sourceforge.net/Europe/Berlin"), "Europe/Berlin");
    EXPECT_EQ(CanonicalZoneName("/freeassociation.sourceforge.net/Tzfile/Asia/Tokyo"),
              "Asia/Tokyo");
    EXPECT_EQ(CanonicalZoneName("/mozilla.org/20050126_1/America/Argentina/Buenos_Aires"),
              "America/Argentina/Buenos_Aires");
    EXPECT_EQ(CanonicalZoneName("/Europe/Berlin"), "Europe/Berlin");
    EXPECT_FALSE(CanonicalZoneName("W. Europe Standard Time").has_value());
    ExpectTime(ZoneToLocal(At(2024, 1, 10, 12), "/mozilla.org/20050126_1/Asia/Tokyo"),
               At(2024, 1, 10, 4));
}

TEST_F(TimeZonesTest, UnixSecondsAndOffsets) {
    EXPECT_EQ(TimeZone::Utc().ToUnixSeconds(At(1970, 1, 1)), 0);
    EXPECT_EQ(TimeZone::Local().ToUnixSeconds(At(2024, 1, 1)), 1704063600);
    const std::optional<TimeZone> newYork = TimeZone::Named("America/New_York");
    ASSERT_TRUE(newYork.has_value());
    EXPECT_EQ(newYork->name(), "America/New_York");
    EXPECT_EQ(newYork->UtcOffsetAt(1704067200), -5 * 3600);  // 2024-01-01 00:00 UTC
    EXPECT_EQ(newYork->UtcOffsetAt(1719792000), -4 * 3600);  // 2024-07-01 00:00 UTC
    ExpectTime(newYork->FromUnixSeconds(1719792000), At(2024, 6, 30, 20));
}

TEST_F(TimeZonesTest, FarFutureKeepsTodaysRules) {
    // Beyond the years libical works out itself, summer time still applies.
    ExpectTime(LocalToZone(At(2700, 7, 1, 12), "UTC"), At(2700, 7, 1, 10));
    ExpectTime(ZoneToLocal(At(9999, 7, 1, 12), "America/New_York"), At(9999, 7, 1, 18));
    ExpectTime(ZoneToLocal(At(9999, 1, 1, 12), "America/New_York"), At(9999, 1, 1, 18));
    ExpectTime(ZoneToLocal(At(1900, 7, 1, 12), "UTC"), At(1900, 7, 1, 13));
}

TEST_F(TimeZonesTest, ResultsOutsideTheDateRangeFail) {
    EXPECT_FALSE(LocalToZone(At(9999, 12, 31, 23), "Asia/Tokyo").has_value());
    EXPECT_FALSE(ZoneToLocal(At(100, 1, 1, 0, 30), "Asia/Tokyo").has_value());
    ExpectTime(ZoneToLocal(At(9999, 12, 31, 23), "Asia/Tokyo"), At(9999, 12, 31, 15));
}

}  // namespace
}  // namespace calendar
