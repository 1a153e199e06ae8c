// Series read from calendar files, walked in their own zones: where they end and on which days
// and at which times they fall, whatever zone the planner runs in.
#include <string>
#include <vector>

#include "calendar/time_zones.h"
#include "store/recurrence_expander.h"
#include "tests/calendar/ical_test_support.h"

namespace store {
namespace {

using platform::DateToLinear;

// Local starts of every occurrence of the file's one series from 2020 on.
std::vector<Date> StartsOf(const std::string& ics) {
    const calendar::ImportedCalendar calendar = calendar::Import(calendar::WithCrlf(ics));
    EXPECT_EQ(calendar.appointments.size(), 1u);
    std::vector<Date> starts;
    if (calendar.appointments.size() != 1) {
        return starts;
    }
    for (const Occurrence& occurrence : ExpandOccurrences(
             calendar.appointments[0], DateToLinear(At(2020, 1, 1)), std::nullopt, 100)) {
        starts.push_back(occurrence.start);
    }
    return starts;
}

// Local wall-clock time of a UTC wall-clock time.
Date LocalOfUtc(Date utcWall) {
    return *calendar::TimeZone::Local().FromUnixSeconds(
        *calendar::TimeZone::Utc().ToUnixSeconds(utcWall));
}

void InZone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
}

// A series whose UNTIL is its fourth start, in each of the forms calendar programs write it.
struct EndCase {
    const char* zone;
    const char* frequency;
    const char* start;        // DTSTART value in `zone`
    const char* untilMoment;  // the fourth start in UTC
    const char* untilDate;    // the fourth start's day in `zone`
    Date firstUtc;
    Date fourthUtc;
};

std::string SeriesFile(const EndCase& c, const std::string& until) {
    const std::string zone = c.zone;
    const std::string dtstart = zone == "UTC" ? std::string("DTSTART:") + c.start + "Z"
                                              : "DTSTART;TZID=" + zone + ":" + c.start;
    return "BEGIN:VCALENDAR\nBEGIN:VEVENT\nUID:s@test\nSUMMARY:s\n" + dtstart +
           "\nDURATION:PT30M\nRRULE:FREQ=" + c.frequency + ";UNTIL=" + until +
           "\nEND:VEVENT\nEND:VCALENDAR\n";
}

TEST(SeriesEnd, UntilEndsAtTheFourthStartInEveryZoneAndForm) {
    // Starts at 20:00 in each zone; Berlin's daily series crosses the change to summer time.
    const std::vector<EndCase> cases = {
        {"UTC", "DAILY", "20260327T200000", "20260330T200000Z", "20260330", At(2026, 3, 27, 20),
         At(2026, 3, 30, 20)},
        {"UTC", "WEEKLY", "20260327T200000", "20260417T200000Z", "20260417", At(2026, 3, 27, 20),
         At(2026, 4, 17, 20)},
        {"UTC", "HOURLY", "20260327T200000", "20260327T230000Z", "20260327", At(2026, 3, 27, 20),
         At(2026, 3, 27, 23)},
        {"Asia/Tokyo", "DAILY", "20260327T200000", "20260330T110000Z", "20260330",
         At(2026, 3, 27, 11), At(2026, 3, 30, 11)},
        {"Asia/Tokyo", "WEEKLY", "20260327T200000", "20260417T110000Z", "20260417",
         At(2026, 3, 27, 11), At(2026, 4, 17, 11)},
        {"Asia/Tokyo", "HOURLY", "20260327T200000", "20260327T140000Z", "20260327",
         At(2026, 3, 27, 11), At(2026, 3, 27, 14)},
        {"Europe/Berlin", "DAILY", "20260327T200000", "20260330T180000Z", "20260330",
         At(2026, 3, 27, 19), At(2026, 3, 30, 18)},
        {"Europe/Berlin", "WEEKLY", "20260327T200000", "20260417T180000Z", "20260417",
         At(2026, 3, 27, 19), At(2026, 4, 17, 18)},
        {"Europe/Berlin", "HOURLY", "20260327T200000", "20260327T220000Z", "20260327",
         At(2026, 3, 27, 19), At(2026, 3, 27, 22)},
        {"America/New_York", "DAILY", "20260327T200000", "20260331T000000Z", "20260330",
         At(2026, 3, 28, 0), At(2026, 3, 31, 0)},
        {"America/New_York", "WEEKLY", "20260327T200000", "20260418T000000Z", "20260417",
         At(2026, 3, 28, 0), At(2026, 4, 18, 0)},
        {"America/New_York", "HOURLY", "20260327T200000", "20260328T030000Z", "20260327",
         At(2026, 3, 28, 0), At(2026, 3, 28, 3)},
    };
    // The planner's own zone, on either side of the date line, must not move the end.
    for (const char* planner : {"Pacific/Kiritimati", "Europe/London", "Pacific/Pago_Pago"}) {
        InZone(planner);
        for (const EndCase& c : cases) {
            for (const std::string& until :
                 {std::string(c.untilMoment), std::string(c.untilDate)}) {
                SCOPED_TRACE(std::string(planner) + ": " + c.zone + " " + c.frequency +
                             " UNTIL=" + until);
                const std::vector<Date> starts = StartsOf(SeriesFile(c, until));
                ASSERT_EQ(starts.size(), 4u);
                EXPECT_EQ(starts.front(), LocalOfUtc(c.firstUtc));
                EXPECT_EQ(starts.back(), LocalOfUtc(c.fourthUtc));
            }
        }
    }
}

TEST(SeriesEnd, AllDaySeriesEndOnTheDayTheirUntilNames) {
    InZone("Pacific/Pago_Pago");
    for (const char* until : {"20261210", "20261210T000000Z", "20261210T235959"}) {
        SCOPED_TRACE(until);
        const std::vector<Date> starts =
            StartsOf(std::string("BEGIN:VCALENDAR\nBEGIN:VEVENT\nUID:a@test\nSUMMARY:a\n") +
                     "DTSTART;VALUE=DATE:20261207\nRRULE:FREQ=DAILY;UNTIL=" + until +
                     "\nEND:VEVENT\nEND:VCALENDAR\n");
        ASSERT_EQ(starts.size(), 4u);
        EXPECT_EQ(starts.back(), At(2026, 12, 10));
    }
}

// Zones known only from the file's own VTIMEZONE, as Windows programs write them.
constexpr std::string_view kWindowsZones = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VTIMEZONE
TZID:W. Europe Standard Time
BEGIN:STANDARD
DTSTART:16011028T030000
RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10
TZOFFSETFROM:+0200
TZOFFSETTO:+0100
END:STANDARD
BEGIN:DAYLIGHT
DTSTART:16010325T020000
RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3
TZOFFSETFROM:+0100
TZOFFSETTO:+0200
END:DAYLIGHT
END:VTIMEZONE
BEGIN:VTIMEZONE
TZID:Canberra, Melbourne, Sydney
BEGIN:STANDARD
DTSTART:16010401T030000
RRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=4
TZOFFSETFROM:+1100
TZOFFSETTO:+1000
END:STANDARD
BEGIN:DAYLIGHT
DTSTART:16011001T020000
RRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=10
TZOFFSETFROM:+1000
TZOFFSETTO:+1100
END:DAYLIGHT
END:VTIMEZONE
BEGIN:VEVENT
UID:sunday@test
SUMMARY:Sunday 17:30
DTSTART;TZID=W. Europe Standard Time:20260315T173000
DTEND;TZID=W. Europe Standard Time:20260315T183000
RRULE:FREQ=WEEKLY;BYDAY=SU;COUNT=4
END:VEVENT
BEGIN:VEVENT
UID:sydney@test
SUMMARY:Friday 08:00
DTSTART;TZID="Canberra, Melbourne, Sydney":20260327T080000
RRULE:FREQ=WEEKLY;BYDAY=FR;COUNT=3
END:VEVENT
END:VCALENDAR
)";

TEST(SeriesZone, AZoneFromTheFileKeepsItsDaysAndClockChanges) {
    InZone("Asia/Tokyo");
    const calendar::ImportedCalendar calendar = calendar::Import(calendar::WithCrlf(kWindowsZones));
    ASSERT_EQ(calendar.appointments.size(), 2u);
    const auto startsOf = [](const calendar::AppointmentRecord& series) {
        std::vector<Date> starts;
        for (const Occurrence& occurrence :
             ExpandOccurrences(series, DateToLinear(At(2026, 1, 1)), std::nullopt, 10)) {
            starts.push_back(occurrence.start);
        }
        return starts;
    };
    // Every Sunday at 17:30 in Berlin: 01:30 in Tokyo on the Monday in winter, 00:30 after
    // the change to summer time on 29 March.
    EXPECT_EQ(startsOf(calendar.appointments[0]),
              (std::vector<Date>{At(2026, 3, 16, 1, 30), At(2026, 3, 23, 1, 30),
                                 At(2026, 3, 30, 0, 30), At(2026, 4, 6, 0, 30)}));
    // Fridays at 08:00 in Sydney, whose summer time ends on 5 April.
    EXPECT_EQ(startsOf(calendar.appointments[1]),
              (std::vector<Date>{At(2026, 3, 27, 6), At(2026, 4, 3, 6), At(2026, 4, 10, 7)}));

    // Written back under the names the file gave, with the file's definitions.
    const std::vector<std::string> lines = calendar::Unfold(Export(calendar));
    EXPECT_TRUE(calendar::Contains(lines, "DTSTART;TZID=W. Europe Standard Time:20260315T173000"));
    EXPECT_TRUE(calendar::Contains(lines, "DTEND;TZID=W. Europe Standard Time:20260315T183000"));
    EXPECT_TRUE(
        calendar::Contains(lines, "DTSTART;TZID=\"Canberra, Melbourne, Sydney\":20260327T080000"));
    EXPECT_TRUE(calendar::Contains(lines, "TZID:W. Europe Standard Time"));
    EXPECT_TRUE(calendar::Contains(lines, "TZID:Canberra, Melbourne, Sydney"));
    // Read back, they are the same series in the same zones.
    const calendar::ImportedCalendar again = calendar::Import(Export(calendar));
    ASSERT_EQ(again.appointments.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(again.appointments[i].zone, calendar.appointments[i].zone);
        EXPECT_EQ(startsOf(again.appointments[i]), startsOf(calendar.appointments[i]));
    }
}

}  // namespace
}  // namespace store
