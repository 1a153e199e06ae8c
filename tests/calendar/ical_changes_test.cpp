// Changed and cancelled occurrences (RECURRENCE-ID), cancelled events and identities: read into
// the series they belong to, and written back so that a round trip gives the same events.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calendar/ical_io.h"
#include "calendar/lone_occurrence.h"
#include "tests/calendar/ical_test_support.h"

namespace calendar {
namespace {

// A daily series at 09:00 in Berlin from Monday 7 December 2026: the 9th taken out, the 8th moved
// to 14:00 with its own subject and alarm, the 10th moved to the next day, the 12th cancelled.
constexpr std::string_view kDailyWithChanges = R"(BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//test//EN
BEGIN:VEVENT
UID:daily@test
DTSTAMP:20261201T000000Z
DTSTART;TZID=Europe/Berlin:20261207T090000
DTEND;TZID=Europe/Berlin:20261207T100000
RRULE:FREQ=DAILY;COUNT=10
EXDATE;TZID=Europe/Berlin:20261209T090000
SUMMARY:朝会
LOCATION:会議室A
END:VEVENT
BEGIN:VEVENT
UID:daily@test
DTSTAMP:20261201T000000Z
RECURRENCE-ID;TZID=Europe/Berlin:20261208T090000
DTSTART;TZID=Europe/Berlin:20261208T140000
DTEND;TZID=Europe/Berlin:20261208T150000
SUMMARY:朝会 (午後に変更)
SEQUENCE:1
BEGIN:VALARM
ACTION:DISPLAY
TRIGGER:-PT10M
DESCRIPTION:朝会
END:VALARM
END:VEVENT
BEGIN:VEVENT
UID:daily@test
DTSTAMP:20261201T000000Z
RECURRENCE-ID:20261210T080000Z
DTSTART;TZID=Europe/Berlin:20261211T093000
DTEND;TZID=Europe/Berlin:20261211T103000
SUMMARY:朝会
LOCATION:会議室B
END:VEVENT
BEGIN:VEVENT
UID:daily@test
DTSTAMP:20261201T000000Z
RECURRENCE-ID;TZID=Europe/Berlin:20261212T090000
DTSTART;TZID=Europe/Berlin:20261212T090000
DTEND;TZID=Europe/Berlin:20261212T100000
SUMMARY:朝会
STATUS:CANCELLED
END:VEVENT
END:VCALENDAR
)";

class ICalChangesTest : public ICalTest {};

TEST_F(ICalChangesTest, ChangedOccurrencesJoinTheirSeries) {
    const ImportedCalendar calendar = Import(kDailyWithChanges);
    ASSERT_EQ(calendar.appointments.size(), 1u);
    EXPECT_TRUE(calendar.skipped.empty());
    const AppointmentRecord& series = calendar.appointments[0];
    EXPECT_EQ(series.recurrence.exceptionDates, std::vector<Date>{At(2026, 12, 9, 9)});
    const std::vector<OccurrenceChange>& changes = series.recurrence.changes;
    ASSERT_EQ(changes.size(), 3u);

    EXPECT_EQ(changes[0].recurrenceId, At(2026, 12, 8, 9));
    EXPECT_EQ(changes[0].start, At(2026, 12, 8, 14));
    EXPECT_EQ(changes[0].end, At(2026, 12, 8, 15));
    EXPECT_EQ(changes[0].subject, u"朝会 (午後に変更)");
    EXPECT_EQ(changes[0].location, u"");  // a change is the whole occurrence, not a difference
    EXPECT_TRUE(changes[0].reminderSet);
    EXPECT_FALSE(changes[0].cancelled);
    EXPECT_EQ(changes[0].extraProperties,
              "DTSTAMP:20261201T000000Z\r\nSEQUENCE:1\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\n"
              "TRIGGER:-PT10M\r\nDESCRIPTION:朝会\r\nEND:VALARM");

    // RECURRENCE-ID in UTC names the occurrence in the series' own clock: 08:00Z is 09:00.
    EXPECT_EQ(changes[1].recurrenceId, At(2026, 12, 10, 9));
    EXPECT_EQ(changes[1].start, At(2026, 12, 11, 9, 30));
    EXPECT_EQ(changes[1].location, u"会議室B");

    EXPECT_EQ(changes[2].recurrenceId, At(2026, 12, 12, 9));
    EXPECT_TRUE(changes[2].cancelled);
    EXPECT_EQ(changes[2].extraProperties, "DTSTAMP:20261201T000000Z");  // STATUS is the flag

    EXPECT_EQ(calendar.changedOccurrences,
              (std::vector<std::string>{
                  "line 14: 朝会 (daily@test): the occurrence of 2026-12-08 09:00 moved to "
                  "2026-12-08 14:00",
                  "line 28: 朝会 (daily@test): the occurrence of 2026-12-10 09:00 moved to "
                  "2026-12-11 09:30",
                  "line 37: 朝会 (daily@test): the occurrence of 2026-12-12 09:00 cancelled"}));
}

TEST_F(ICalChangesTest, ChangesAreWrittenBackAndReadAsTheSameEvents) {
    const ImportedCalendar calendar = Import(kDailyWithChanges);
    const std::string text = Export(calendar);
    const std::vector<std::string> lines = Unfold(text);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "UID:daily@test"), 4);
    EXPECT_TRUE(Contains(lines, "RECURRENCE-ID;TZID=Europe/Berlin:20261208T090000"));
    EXPECT_TRUE(Contains(lines, "RECURRENCE-ID;TZID=Europe/Berlin:20261210T090000"));
    // A changed occurrence is written on its series' clock.
    EXPECT_TRUE(Contains(lines, "DTSTART;TZID=Europe/Berlin:20261211T093000"));
    EXPECT_TRUE(Contains(lines, "STATUS:CANCELLED"));
    EXPECT_TRUE(Contains(lines, "TRIGGER:-PT10M"));
    const ImportedCalendar again = Import(text);
    EXPECT_EQ(again.appointments, calendar.appointments);
    EXPECT_EQ(again.changedOccurrences.size(), 3u);
    // And once more: the text itself no longer changes.
    EXPECT_EQ(Export(again), text);
}

constexpr std::string_view kRangesAndDays = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VEVENT
DTSTAMP:20260101T000000Z
UID:weekly@test
DTSTART:20260105T100000
DTEND:20260105T110000
RRULE:FREQ=WEEKLY
SUMMARY:週次
END:VEVENT
BEGIN:VEVENT
DTSTAMP:20260101T000000Z
UID:weekly@test
RECURRENCE-ID;RANGE=THISANDFUTURE:20260202T100000
DTSTART:20260203T160000
DTEND:20260203T173000
SUMMARY:週次 (火曜に)
END:VEVENT
BEGIN:VEVENT
DTSTAMP:20260101T000000Z
UID:holidays@test
DTSTART;VALUE=DATE:20260101
RRULE:FREQ=YEARLY
SUMMARY:休み
END:VEVENT
BEGIN:VEVENT
DTSTAMP:20260101T000000Z
UID:holidays@test
RECURRENCE-ID;VALUE=DATE:20270101
DTSTART;VALUE=DATE:20270102
DTEND;VALUE=DATE:20270104
SUMMARY:休み (延長)
END:VEVENT
END:VCALENDAR
)";

TEST_F(ICalChangesTest, ThisAndFutureChangesAndChangesOfDays) {
    const ImportedCalendar calendar = Import(kRangesAndDays);
    ASSERT_EQ(calendar.appointments.size(), 2u);
    const OccurrenceChange& range = calendar.appointments[0].recurrence.changes.at(0);
    EXPECT_TRUE(range.thisAndFuture);
    EXPECT_EQ(range.recurrenceId, At(2026, 2, 2, 10));
    EXPECT_EQ(range.start, At(2026, 2, 3, 16));
    const OccurrenceChange& day = calendar.appointments[1].recurrence.changes.at(0);
    EXPECT_EQ(day.recurrenceId, At(2027, 1, 1));
    EXPECT_TRUE(day.allDay);
    EXPECT_EQ(day.start, At(2027, 1, 2));
    EXPECT_EQ(day.end, At(2027, 1, 3));
    EXPECT_EQ(calendar.changedOccurrences[0],
              "line 11: 週次 (weekly@test): the occurrences from 2026-02-02 10:00 on moved, the "
              "first to 2026-02-03 16:00");

    const std::string text = Export(calendar);
    const std::vector<std::string> lines = Unfold(text);
    EXPECT_TRUE(Contains(lines, "RECURRENCE-ID;RANGE=THISANDFUTURE:20260202T100000"));
    EXPECT_TRUE(Contains(lines, "RECURRENCE-ID;VALUE=DATE:20270101"));
    EXPECT_EQ(Import(text).appointments, calendar.appointments);
}

constexpr std::string_view kChangesWithoutSeries = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VEVENT
UID:single@test
DTSTART:20260105T100000
SUMMARY:一回だけ
END:VEVENT
BEGIN:VEVENT
UID:single@test
RECURRENCE-ID:20260105T100000
DTSTART:20260106T100000
END:VEVENT
BEGIN:VEVENT
UID:elsewhere@test
RECURRENCE-ID:20260105T100000
DTSTART:20260106T100000
END:VEVENT
END:VCALENDAR
)";

// A change of an event that does not repeat is skipped. One whose series is not in the file (an
// invitation to one meeting) is an appointment of its own that still says which occurrence it is.
TEST_F(ICalChangesTest, AChangeWithoutItsSeriesStandsAloneUnlessItsEventDoesNotRepeat) {
    const ImportedCalendar calendar = Import(kChangesWithoutSeries);
    ASSERT_EQ(calendar.appointments.size(), 2u);
    EXPECT_TRUE(calendar.appointments[0].recurrence.changes.empty());
    EXPECT_EQ(calendar.skipped,
              (std::vector<std::string>{
                  "line 8: VEVENT with RECURRENCE-ID changes an occurrence of single@test, which "
                  "does not repeat; not kept"}));
    const AppointmentRecord& lone = calendar.appointments[1];
    EXPECT_EQ(lone.uid, "elsewhere@test");
    EXPECT_EQ(lone.start, At(2026, 1, 6, 10));
    EXPECT_TRUE(IsLoneOccurrence(lone));
    const std::string written = Export(calendar);
    EXPECT_NE(written.find("UID:elsewhere@test\r\n"), std::string::npos);
    EXPECT_NE(written.find("RECURRENCE-ID:20260105T100000\r\n"), std::string::npos);
    // Read back, it is the same lone occurrence.
    const ImportedCalendar again = Import(written);
    ASSERT_EQ(again.appointments.size(), 2u);
    EXPECT_TRUE(IsLoneOccurrence(again.appointments[1]));
    EXPECT_EQ(again.appointments[1].start, lone.start);
    // Of two occurrences that came without their series, the first stands alone.
    const ImportedCalendar two = Import(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"
        "BEGIN:VEVENT\r\nUID:s@test\r\nRECURRENCE-ID:20260105T100000\r\nDTSTART:20260105T110000\r\n"
        "END:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:s@test\r\nRECURRENCE-ID:20260112T100000\r\nDTSTART:20260112T110000\r\n"
        "END:VEVENT\r\nEND:VCALENDAR\r\n");
    ASSERT_EQ(two.appointments.size(), 1u);
    EXPECT_EQ(two.appointments[0].start, At(2026, 1, 5, 11));
    EXPECT_EQ(two.skipped, std::vector<std::string>{
                               "line 8: VEVENT with RECURRENCE-ID changes an occurrence of s@test, "
                               "whose series is not in the file and of which another occurrence "
                               "stands alone already; not kept"});
}

constexpr std::string_view kCancelledAndNameless = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VEVENT
DTSTAMP:20260101T000000Z
UID:called-off@test
DTSTART:20260105T100000
SUMMARY:中止
STATUS:CANCELLED
END:VEVENT
BEGIN:VEVENT
DTSTAMP:20260101T000000Z
UID:confirmed@test
DTSTART:20260105T110000
STATUS:CONFIRMED
END:VEVENT
BEGIN:VEVENT
DTSTAMP:20260101T000000Z
DTSTART:20260106T100000
SUMMARY:名無し
END:VEVENT
BEGIN:VEVENT
DTSTAMP:20260101T000000Z
UID:twice@test
DTSTART:20260107T100000
SUMMARY:一度目
END:VEVENT
BEGIN:VEVENT
DTSTAMP:20260101T000000Z
UID:twice@test
DTSTART:20260107T110000
SUMMARY:二度目
END:VEVENT
END:VCALENDAR
)";

TEST_F(ICalChangesTest, CancelledEventsAndIdentities) {
    const ImportedCalendar calendar = Import(kCancelledAndNameless);
    ASSERT_EQ(calendar.appointments.size(), 4u);
    const auto& a = calendar.appointments;
    EXPECT_TRUE(a[0].cancelled);
    EXPECT_EQ(a[0].extraProperties, "DTSTAMP:20260101T000000Z");
    EXPECT_FALSE(a[1].cancelled);
    EXPECT_EQ(a[1].extraProperties, "DTSTAMP:20260101T000000Z\r\nSTATUS:CONFIRMED");
    // An event without UID is known by one made from its lines: the same in every reading.
    EXPECT_EQ(a[2].uid.rfind("tessarinth-import-", 0), 0u) << a[2].uid;
    EXPECT_EQ(Import(kCancelledAndNameless).appointments[2].uid, a[2].uid);
    // One UID, one item: the later event wins.
    EXPECT_EQ(a[3].subject, u"二度目");
    EXPECT_EQ(calendar.notes,
              (std::vector<std::string>{
                  "line 16: VEVENT without UID: it is known by " + a[2].uid + " from now on",
                  "line 27: a second VEVENT with UID twice@test replaces "
                  "the first one"}));

    const std::vector<std::string> lines = Unfold(Export(calendar));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "STATUS:CANCELLED"), 1);
    EXPECT_TRUE(Contains(lines, "STATUS:CONFIRMED"));
    EXPECT_EQ(Import(Export(calendar)).appointments, calendar.appointments);

    // A cancelled mark kept as a line (as stores before it was modelled kept it) is written once,
    // and not at all for an event no longer cancelled.
    AppointmentRecord kept = a[0];
    kept.extraProperties = "STATUS:CANCELLED";
    const std::vector<std::string> once = Unfold(WriteICalendar({kept}, {}));
    EXPECT_EQ(std::count(once.begin(), once.end(), "STATUS:CANCELLED"), 1);
    kept.cancelled = false;
    EXPECT_FALSE(Contains(Unfold(WriteICalendar({kept}, {})), "STATUS:CANCELLED"));
}

TEST_F(ICalChangesTest, WhatTheFileGivesIsToldForEachItem) {
    const ImportedCalendar calendar = Import(kDailyWithChanges);
    ASSERT_EQ(calendar.appointmentsGive.size(), 1u);
    const ItemFields given = calendar.appointmentsGive[0];
    EXPECT_TRUE(given.Has(ItemField::Subject));
    EXPECT_TRUE(given.Has(ItemField::Location));
    EXPECT_FALSE(given.Has(ItemField::Body));
    EXPECT_FALSE(given.Has(ItemField::Categories));
    EXPECT_FALSE(given.Has(ItemField::Reminder));
    const ImportedCalendar tasks = Import(kTasks);
    ASSERT_EQ(tasks.tasksGive.size(), tasks.tasks.size());
    EXPECT_TRUE(tasks.tasksGive[0].Has(ItemField::Subject));
    EXPECT_FALSE(tasks.tasksGive[0].Has(ItemField::Body));
    EXPECT_TRUE(tasks.tasksGive[2].Has(ItemField::Body));
}

}  // namespace
}  // namespace calendar
