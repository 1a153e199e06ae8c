// Reading calendar files: texts, days, zones, series, tasks, and files that cannot be read.
#include <gtest/gtest.h>
#include <libical/ical.h>

#include <algorithm>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "calendar/ical_io.h"
#include "calendar/ical_lines.h"
#include "tests/calendar/ical_test_support.h"

namespace calendar {
namespace {

constexpr std::string_view kJapaneseHoliday = R"(BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//Example//Holidays//JA
BEGIN:VEVENT
UID:shunbun-2025@example.jp
DTSTAMP:20250101T000000Z
DTSTART;VALUE=DATE:20250320
SUMMARY:春分の日
LOCATION:日本\, 東京
DESCRIPTION:国民の祝日\n昼と夜の長さがほぼ同じ\; 墓参り
CATEGORIES:祝日
END:VEVENT
BEGIN:VEVENT
UID:golden-week@example.jp
DTSTART;VALUE=DATE:20250503
CATEGORIES:祝日,休み
CATEGORIES:家族\,親戚
END:VEVENT
END:VCALENDAR
)";

TEST_F(ICalTest, JapaneseTextsAndCategories) {
    const ImportedCalendar calendar = Import(WithCrlf(kJapaneseHoliday));
    ASSERT_EQ(calendar.appointments.size(), 2u);
    const AppointmentRecord& shunbun = calendar.appointments[0];
    EXPECT_EQ(shunbun.oid, 0);
    EXPECT_EQ(shunbun.uid, "shunbun-2025@example.jp");
    EXPECT_EQ(shunbun.subject, u"春分の日");
    EXPECT_EQ(shunbun.location, u"日本, 東京");
    EXPECT_EQ(shunbun.body, u"国民の祝日\n昼と夜の長さがほぼ同じ; 墓参り");
    EXPECT_EQ(shunbun.categories, u"祝日");
    EXPECT_EQ(shunbun.extraProperties, "DTSTAMP:20250101T000000Z");
    EXPECT_FALSE(shunbun.reminderSet);
    EXPECT_FALSE(shunbun.recurrence.recurs());
    EXPECT_EQ(calendar.appointments[1].categories, u"祝日, 休み, 家族,親戚");
    EXPECT_TRUE(calendar.skipped.empty());
    EXPECT_TRUE(calendar.notes.empty());
}

constexpr std::string_view kAllDay = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VEVENT
UID:one-day
DTSTART;VALUE=DATE:20240415
DTEND;VALUE=DATE:20240416
END:VEVENT
BEGIN:VEVENT
UID:three-days-over-month-end
DTSTART;VALUE=DATE:20240430
DTEND;VALUE=DATE:20240503
END:VEVENT
BEGIN:VEVENT
UID:no-dtend
DTSTART;VALUE=DATE:20240229
END:VEVENT
BEGIN:VEVENT
UID:duration-three-days
DTSTART;VALUE=DATE:20241230
DURATION:P3D
END:VEVENT
BEGIN:VEVENT
UID:dtend-not-after-start
DTSTART;VALUE=DATE:20240610
DTEND;VALUE=DATE:20240610
END:VEVENT
END:VCALENDAR
)";

TEST_F(ICalTest, AllDayEventsHoldTheirLastDay) {
    const ImportedCalendar calendar = Import(kAllDay);
    ASSERT_EQ(calendar.appointments.size(), 5u);
    struct Expected {
        Date start;
        Date end;
    };
    const Expected expected[] = {{At(2024, 4, 15), At(2024, 4, 15)},
                                 {At(2024, 4, 30), At(2024, 5, 2)},
                                 {At(2024, 2, 29), At(2024, 2, 29)},
                                 {At(2024, 12, 30), At(2025, 1, 1)},
                                 {At(2024, 6, 10), At(2024, 6, 10)}};
    for (size_t i = 0; i < calendar.appointments.size(); ++i) {
        const AppointmentRecord& record = calendar.appointments[i];
        SCOPED_TRACE(record.uid);
        EXPECT_TRUE(record.allDay);
        EXPECT_EQ(record.start, expected[i].start);
        EXPECT_EQ(record.end, expected[i].end);
    }
    // Written back, DTEND is again the day after the last.
    const std::vector<std::string> lines = Unfold(Export(calendar));
    EXPECT_TRUE(Contains(lines, "DTSTART;VALUE=DATE:20240430"));
    EXPECT_TRUE(Contains(lines, "DTEND;VALUE=DATE:20240503"));
    EXPECT_TRUE(Contains(lines, "DTEND;VALUE=DATE:20250102"));
}

constexpr std::string_view kZonedTimes = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VEVENT
UID:utc-winter
DTSTART:20240115T090000Z
DTEND:20240115T100000Z
END:VEVENT
BEGIN:VEVENT
UID:new-york-summer
DTSTART;TZID=America/New_York:20240715T090000
DURATION:PT1H30M
END:VEVENT
BEGIN:VEVENT
UID:tokyo-to-berlin
DTSTART;TZID=Asia/Tokyo:20241027T100000
DTEND;TZID=Europe/Berlin:20241027T030000
END:VEVENT
BEGIN:VEVENT
UID:prefixed-tzid
DTSTART;TZID=/freeassociation.sourceforge.net/Asia/Tokyo:20240301T090000
END:VEVENT
BEGIN:VEVENT
UID:floating
DTSTART:20240301T090000
DTEND:20240301T080000
END:VEVENT
BEGIN:VEVENT
UID:duration-a-day-over-the-change
DTSTART;TZID=Europe/Berlin:20240330T120000
DURATION:P1D
END:VEVENT
END:VCALENDAR
)";

TEST_F(ICalTest, UtcAndZonedTimesBecomeBerlinLocalTime) {
    const ImportedCalendar calendar = Import(kZonedTimes);
    ASSERT_EQ(calendar.appointments.size(), 6u);
    const auto& a = calendar.appointments;
    EXPECT_EQ(a[0].start, At(2024, 1, 15, 10));
    EXPECT_EQ(a[0].end, At(2024, 1, 15, 11));
    EXPECT_EQ(a[1].start, At(2024, 7, 15, 15));
    EXPECT_EQ(a[1].end, At(2024, 7, 15, 16, 30));
    EXPECT_EQ(a[2].start, At(2024, 10, 27, 2));  // 01:00 UTC, just after the change
    EXPECT_EQ(a[2].end, At(2024, 10, 27, 3));
    EXPECT_EQ(a[3].start, At(2024, 3, 1, 1));
    EXPECT_EQ(a[3].end, a[3].start);
    EXPECT_EQ(a[4].start, At(2024, 3, 1, 9));
    EXPECT_EQ(a[4].end, a[4].start);           // an end before the start is not kept
    EXPECT_EQ(a[5].end, At(2024, 3, 31, 12));  // a day is a calendar day, 23 hours here
    for (const AppointmentRecord& record : a) {
        EXPECT_FALSE(record.allDay);
        EXPECT_FALSE(record.recurrence.recurs()) << record.uid;
    }
}

TEST_F(ICalTest, WeeklySeriesKeepsItsZone) {
    const ImportedCalendar calendar = Import(kNewYorkSeries);
    ASSERT_EQ(calendar.appointments.size(), 1u);
    const AppointmentRecord& standup = calendar.appointments[0];
    EXPECT_EQ(standup.start, At(2024, 3, 4, 15));  // 09:00 EST is 15:00 CET
    EXPECT_EQ(standup.end, At(2024, 3, 4, 15, 30));
    const Recurrence& r = standup.recurrence;
    EXPECT_EQ(r.rule, "FREQ=WEEKLY;UNTIL=20240601T000000Z;BYDAY=MO,WE");
    EXPECT_EQ(standup.zone.tzid, "America/New_York");
    EXPECT_EQ(standup.zoneStart, At(2024, 3, 4, 9));
    // New York wall clock, also for the exception given in UTC (EDT from 10 March).
    EXPECT_EQ(r.exceptionDates,
              (std::vector<Date>{At(2024, 3, 11, 9), At(2024, 3, 13, 9), At(2024, 3, 18, 9)}));
    // 15:00 in Berlin (CET) is 10:00 in New York (EDT).
    EXPECT_EQ(r.extraDates, std::vector<Date>{At(2024, 3, 22, 10)});

    const std::string text = Export(calendar);
    const std::vector<std::string> lines = Unfold(text);
    EXPECT_TRUE(Contains(lines, "TZID:America/New_York"));
    EXPECT_TRUE(Contains(lines, "DTSTART;TZID=America/New_York:20240304T090000"));
    EXPECT_TRUE(Contains(lines, "EXDATE;TZID=America/New_York:20240318T090000"));
    EXPECT_TRUE(Contains(lines, "RRULE:FREQ=WEEKLY;UNTIL=20240601T000000Z;BYDAY=MO,WE"));
    EXPECT_EQ(Import(text).appointments, calendar.appointments);
}

constexpr std::string_view kOtherSeries = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VEVENT
UID:utc-daily
DTSTART:20240105T070000Z
RRULE:FREQ=DAILY;COUNT=5
RRULE:FREQ=WEEKLY;COUNT=2
DTSTAMP:20240101T000000Z
END:VEVENT
BEGIN:VEVENT
UID:birthday
DTSTART;VALUE=DATE:20240817
RRULE:FREQ=YEARLY
EXDATE;VALUE=DATE:20250817
DTSTAMP:20240101T000000Z
END:VEVENT
BEGIN:VEVENT
UID:floating-with-exception-in-utc
DTSTART:20240108T100000
RRULE:FREQ=WEEKLY
EXDATE:20240115T090000Z
DTSTAMP:20240101T000000Z
END:VEVENT
END:VCALENDAR
)";

TEST_F(ICalTest, UtcAllDayAndFloatingSeries) {
    const ImportedCalendar calendar = Import(kOtherSeries);
    ASSERT_EQ(calendar.appointments.size(), 3u);
    const Recurrence& utc = calendar.appointments[0].recurrence;
    EXPECT_EQ(calendar.appointments[0].zone.tzid, "UTC");
    EXPECT_EQ(calendar.appointments[0].zoneStart, At(2024, 1, 5, 7));
    EXPECT_EQ(utc.rule, "FREQ=DAILY;COUNT=5");
    EXPECT_EQ(calendar.appointments[0].start, At(2024, 1, 5, 8));
    ASSERT_EQ(calendar.notes.size(), 1u);
    EXPECT_EQ(calendar.notes[0].rfind("line 7: ", 0), 0u) << calendar.notes[0];

    const AppointmentRecord& birthday = calendar.appointments[1];
    EXPECT_TRUE(birthday.allDay);
    EXPECT_EQ(birthday.zone.tzid, "");
    EXPECT_EQ(birthday.zoneStart, At(2024, 8, 17));
    EXPECT_EQ(birthday.recurrence.exceptionDates, std::vector<Date>{At(2025, 8, 17)});

    const Recurrence& floating = calendar.appointments[2].recurrence;
    EXPECT_EQ(calendar.appointments[2].zone.form, ItemZone::Form::Floating);
    EXPECT_EQ(calendar.appointments[2].zoneStart, At(2024, 1, 8, 10));
    EXPECT_EQ(floating.exceptionDates, std::vector<Date>{At(2024, 1, 15, 10)});

    EXPECT_EQ(Import(Export(calendar)).appointments, calendar.appointments);
}

constexpr std::string_view kZonesOfTheFile = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VTIMEZONE
TZID:India Standard Time
BEGIN:STANDARD
DTSTART:16010101T000000
TZOFFSETFROM:+0530
TZOFFSETTO:+0530
END:STANDARD
END:VTIMEZONE
BEGIN:VTIMEZONE
TZID:Custom Berlin
X-LIC-LOCATION:Europe/Berlin
BEGIN:STANDARD
DTSTART:19701025T030000
TZOFFSETFROM:+0200
TZOFFSETTO:+0100
END:STANDARD
END:VTIMEZONE
BEGIN:VEVENT
UID:india
DTSTART;TZID="India Standard Time":20240115T100000
END:VEVENT
BEGIN:VEVENT
UID:india-weekly
DTSTART;TZID=India Standard Time:20240115T100000
RRULE:FREQ=WEEKLY
END:VEVENT
BEGIN:VEVENT
UID:berlin-by-location
DTSTART;TZID=Custom Berlin:20240715T100000
RRULE:FREQ=DAILY
END:VEVENT
BEGIN:VEVENT
UID:nowhere
DTSTART;TZID=Atlantis/Capital:20240715T100000
END:VEVENT
END:VCALENDAR
)";

TEST_F(ICalTest, ZonesDefinedOnlyInTheFile) {
    const ImportedCalendar calendar = Import(kZonesOfTheFile);
    ASSERT_EQ(calendar.appointments.size(), 4u);
    const auto& a = calendar.appointments;
    EXPECT_EQ(a[0].start, At(2024, 1, 15, 5, 30));  // 04:30 UTC
    // A series in a zone the file defines repeats in that zone, which it keeps by the name the
    // file gave it, with the file's definition.
    EXPECT_EQ(a[1].start, At(2024, 1, 15, 5, 30));
    EXPECT_EQ(a[1].zone.tzid, "India Standard Time");
    EXPECT_NE(a[1].zone.definition.find("BEGIN:VTIMEZONE"), std::string::npos);
    EXPECT_EQ(a[1].zoneStart, At(2024, 1, 15, 10));
    // X-LIC-LOCATION names the zone.
    EXPECT_EQ(a[2].zone.tzid, "Custom Berlin");
    EXPECT_EQ(a[2].start, At(2024, 7, 15, 10));
    // An unknown zone is local time, with a note; its name is kept for writing back.
    EXPECT_EQ(a[3].start, At(2024, 7, 15, 10));
    EXPECT_EQ(a[3].zone.tzid, "Atlantis/Capital");
    ASSERT_EQ(calendar.notes.size(), 1u);
    EXPECT_EQ(calendar.notes[0], "line 36: unknown time zone Atlantis/Capital taken as local time");
}

TEST_F(ICalTest, TasksWithAndWithoutDue) {
    const ImportedCalendar calendar = Import(kTasks);
    ASSERT_EQ(calendar.tasks.size(), 6u);
    const auto& t = calendar.tasks;
    EXPECT_EQ(t[0].subject, u"請求書を送る");
    EXPECT_EQ(t[0].dueDate, At(2024, 6, 20));
    EXPECT_FALSE(t[0].complete);
    EXPECT_EQ(t[0].extraProperties, "STATUS:NEEDS-ACTION\r\nDTSTAMP:20240501T000000Z");
    EXPECT_EQ(t[1].dueDate, At(2024, 6, 20, 11));
    EXPECT_EQ(t[1].categories, u"仕事");
    EXPECT_EQ(t[2].dueDate, kNoDateValue);
    EXPECT_EQ(t[2].dateCompleted, kNoDateValue);
    EXPECT_EQ(t[2].body, u"いつか");
    EXPECT_TRUE(t[3].complete);
    EXPECT_EQ(t[3].dueDate, At(2024, 1, 1, 10));
    EXPECT_EQ(t[3].dateCompleted, At(2024, 1, 2, 9, 30));
    EXPECT_TRUE(t[4].complete);
    EXPECT_EQ(t[4].dateCompleted, kNoDateValue);
    EXPECT_TRUE(t[5].complete);

    const std::string text = Export(calendar);
    const std::vector<std::string> lines = Unfold(text);
    EXPECT_TRUE(Contains(lines, "DUE;VALUE=DATE:20240620"));
    // A due time keeps the zone it was given in.
    EXPECT_TRUE(Contains(lines, "DUE;TZID=Asia/Tokyo:20240620T180000"));
    EXPECT_TRUE(Contains(lines, "TZID:Asia/Tokyo"));
    EXPECT_TRUE(Contains(lines, "COMPLETED:20240102T083000Z"));
    EXPECT_EQ(Import(text).tasks, calendar.tasks);
}

struct Malformed {
    const char* name;
    std::string_view text;
    std::string_view expectedStart;  // "line N: " and the gist
};

const Malformed kMalformed[] = {
    {"not iCalendar at all", "Dear Hanako,\nsee you on Monday.\n", "line 1: not an iCalendar file"},
    {"empty file", "", "line 1: not an iCalendar file"},
    {"END does not match BEGIN",
     "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:20240101T100000\nEND:VTODO\nEND:VCALENDAR\n",
     "line 4: END:VTODO does not close BEGIN:VEVENT of line 2"},
    {"BEGIN never closed", "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:20240101T100000\n",
     "line 2: BEGIN:VEVENT is never closed"},
    {"content line without colon",
     "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:20240101T100000\nSUMMARY Lunch\nEND:VEVENT\n"
     "END:VCALENDAR\n",
     "line 4: content line has no ':'"},
    {"parameter without value",
     "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:20240101T100000\nATTENDEE;RSVP:mailto:a@b.jp\n"
     "END:VEVENT\nEND:VCALENDAR\n",
     "line 4: parameter RSVP of ATTENDEE has no '='"},
    {"DTSTART month 13",
     "BEGIN:VCALENDAR\nBEGIN:VEVENT\nSUMMARY:x\nDTSTART:20241345T100000\nEND:VEVENT\n"
     "END:VCALENDAR\n",
     "line 4: DTSTART has no valid date"},
    {"DTSTART with a letter in its day",
     "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART;VALUE=DATE:2026122X\nEND:VEVENT\nEND:VCALENDAR\n",
     "line 3: DTSTART has no valid date"},
    {"EXDATE list with one short date",
     "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:20240101T100000\nRRULE:FREQ=DAILY\n"
     "EXDATE:20240102T100000,2024013T100000\nEND:VEVENT\nEND:VCALENDAR\n",
     "line 5: EXDATE has no valid date"},
    {"DTSTART garbage", "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:soon\nEND:VEVENT\nEND:VCALENDAR\n",
     "line 3: DTSTART has no valid date"},
    {"DTEND garbage after folded line",
     "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:20240101T100000\nDESCRIPTION:long\n  text\n"
     "DTEND:2024xx\nEND:VEVENT\nEND:VCALENDAR\n",
     "line 6: DTEND has no valid date"},
    {"event without DTSTART",
     "BEGIN:VCALENDAR\nVERSION:2.0\nBEGIN:VEVENT\nSUMMARY:x\nEND:VEVENT\nEND:VCALENDAR\n",
     "line 3: VEVENT has no DTSTART"},
    {"RRULE libical rejects",
     "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:20240101T100000\nRRULE:FREQ=WEEKLY;BYDAY=XX\n"
     "END:VEVENT\nEND:VCALENDAR\n",
     "line 4: RRULE is not a valid recurrence rule"},
    {"Shift_JIS text",
     "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:20240101T100000\nSUMMARY:\x93\xfa\x96\x7b\n"
     "END:VEVENT\nEND:VCALENDAR\n",
     "line 4: bytes that are not UTF-8 text are read as U+FFFD"},
    {"vCalendar 1.0",
     "BEGIN:VCALENDAR\nVERSION:1.0\nBEGIN:VEVENT\nDTSTART:20240101T100000\n"
     "RRULE:W1 MO #4\nEND:VEVENT\nEND:VCALENDAR\n",
     "line 2: only iCalendar version 2.0"},
    {"text after the calendar", "BEGIN:VCALENDAR\nEND:VCALENDAR\nSUMMARY:x\n",
     "line 3: SUMMARY after END:VCALENDAR"},
    {"bad VALARM inside an event",
     "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:20240101T100000\nBEGIN:VALARM\nTRIGGER:whenever\n"
     "END:VALARM\nEND:VEVENT\nEND:VCALENDAR\n",
     "line 5: the value of TRIGGER cannot be read"},
};

TEST_F(ICalTest, AVersionOneFileWrittenAsVersionTwoIsReadWithANote) {
    const char* kSaysOne =
        "BEGIN:VCALENDAR\nVERSION:1.0\nBEGIN:VEVENT\nUID:v@test\nDTSTART:20240101T100000\n"
        "RRULE:FREQ=WEEKLY;COUNT=2\nSUMMARY:x\nEND:VEVENT\nEND:VCALENDAR\n";
    const ImportedCalendar calendar = Import(WithCrlf(kSaysOne));
    ASSERT_EQ(calendar.appointments.size(), 1u);
    EXPECT_EQ(calendar.appointments[0].recurrence.rule, "FREQ=WEEKLY;COUNT=2");
    EXPECT_EQ(calendar.notes,
              std::vector<std::string>{
                  "line 2: VERSION:1.0, but written as version 2.0: read as version 2.0"});
    // What only version 1.0 writes keeps the file out.
    for (const char* line : {"DALARM:20240101T090000", "SUMMARY;ENCODING=QUOTED-PRINTABLE:=41"}) {
        std::string text = kSaysOne;
        text.insert(text.find("SUMMARY:x"), std::string(line) + "\n");
        EXPECT_TRUE(Import(WithCrlf(text)).appointments.empty()) << line;
    }
}

TEST_F(ICalTest, OfTwoVersionsOfOneItemTheLaterIsTaken) {
    const auto version = [](const char* subject, const char* lines) {
        return std::string("BEGIN:VEVENT\nUID:twice@test\nDTSTART:20261221T100000\nSUMMARY:") +
               subject + "\n" + lines + "END:VEVENT\n";
    };
    const auto taken = [](const std::string& events) {
        const ImportedCalendar calendar =
            Import(WithCrlf("BEGIN:VCALENDAR\nVERSION:2.0\n" + events + "END:VCALENDAR\n"));
        EXPECT_EQ(calendar.appointments.size(), 1u);
        EXPECT_EQ(calendar.notes.size(), 1u);
        return calendar.appointments.empty() ? std::u16string() : calendar.appointments[0].subject;
    };
    // The higher SEQUENCE, wherever it stands.
    EXPECT_EQ(taken(version("new", "SEQUENCE:2\nDTSTAMP:20261201T000000Z\n") +
                    version("old", "SEQUENCE:1\nDTSTAMP:20261205T000000Z\n")),
              u"new");
    // The same SEQUENCE: the later DTSTAMP.
    EXPECT_EQ(taken(version("new", "DTSTAMP:20261205T000000Z\n") +
                    version("old", "DTSTAMP:20261201T000000Z\n")),
              u"new");
    // Neither says: the one read last.
    EXPECT_EQ(taken(version("first", "") + version("last", "")), u"last");
}

TEST_F(ICalTest, MalformedFilesNameTheLine) {
    for (const Malformed& sample : kMalformed) {
        SCOPED_TRACE(sample.name);
        for (const std::string& text : {std::string(sample.text), WithCrlf(sample.text)}) {
            // All or nothing: the file is refused.
            const platform::Result<ImportedCalendar> strict =
                ParseICalendar(text, ImportMode::AllOrNothing);
            ASSERT_FALSE(strict.ok());
            EXPECT_EQ(strict.error().message.rfind(sample.expectedStart, 0), 0u)
                << strict.error().message;
            // Otherwise the same problem is said once, unless the text is no calendar at all:
            // it costs the event when the event cannot be read as a whole, else the line (or
            // nothing, mended).
            const platform::Result<ImportedCalendar> lenient = ParseICalendar(text);
            if (!lenient.ok()) {
                EXPECT_EQ(lenient.error().message, strict.error().message);
                EXPECT_NE(strict.error().message.find("not an iCalendar file"), std::string::npos);
                continue;
            }
            std::vector<std::string> said = lenient->skipped;
            said.insert(said.end(), lenient->dropped.begin(), lenient->dropped.end());
            said.insert(said.end(), lenient->notes.begin(), lenient->notes.end());
            ASSERT_FALSE(said.empty());
            EXPECT_EQ(said.front().rfind(strict.error().message, 0), 0u) << said.front();
            EXPECT_EQ(lenient->appointments.size(), lenient->skipped.empty() ? 1u : 0u);
        }
    }
}

// A year of meetings with a few that cannot be read: each of those is one skip, named by its
// line, and the rest is taken. A date-time start without an end lasts no time, a day one day.
constexpr std::string_view kMostlyReadable = R"(BEGIN:VCALENDAR
VERSION:2.0
X-WR-CALNAME;BROKEN:x
BEGIN:VEVENT
UID:good-1
DTSTART:20240105T090000Z
SUMMARY:一つ目
END:VEVENT
BEGIN:VEVENT
UID:no-start
SUMMARY:いつ?
END:VEVENT
BEGIN:VEVENT
UID:bad-rule
DTSTART:20240106T090000Z
RRULE:FREQ=SOMETIMES
END:VEVENT
BEGIN:VTODO
UID:bad-due
DUE:2024-01-07
END:VTODO
BEGIN:VEVENT
UID:good-2
DTSTART;VALUE=DATE:20240108
END:VEVENT
BEGIN:VTIMEZONE
TZID:Broken/Zone
BEGIN:STANDARD
TZOFFSETFROM:+0100
TZOFFSETTO;X:+0200
DTSTART:19700101T000000
END:STANDARD
END:VTIMEZONE
BEGIN:VEVENT
UID:good-3
DTSTART;TZID=Broken/Zone:20240109T100000
END:VEVENT
BEGIN:VEVENT
UID:series
DTSTART:20240110T090000Z
RRULE:FREQ=DAILY;COUNT=3
END:VEVENT
BEGIN:VEVENT
UID:series
RECURRENCE-ID:20240111T090000Z
DTSTART:20240111T100000Z
END:VEVENT
END:VCALENDAR
BEGIN:VEVENT
UID:bare
DTSTART:20240112T090000Z
END:VEVENT
)";

TEST_F(ICalTest, WhatCannotBeReadIsSkippedAndTheRestTaken) {
    const ImportedCalendar calendar = Import(kMostlyReadable);
    std::vector<std::string> uids;
    for (const AppointmentRecord& record : calendar.appointments) {
        uids.push_back(record.uid);
    }
    EXPECT_EQ(uids, (std::vector<std::string>{"good-1", "bad-rule", "good-2", "good-3", "series",
                                              "bare"}));
    // A rule or a due date that cannot be read costs itself: the items are kept without them.
    EXPECT_FALSE(calendar.appointments[1].recurrence.recurs());
    ASSERT_EQ(calendar.tasks.size(), 1u);
    EXPECT_EQ(calendar.tasks[0].dueDate, kNoDateValue);
    EXPECT_EQ(calendar.dropped,
              (std::vector<std::string>{"line 16: RRULE is not a valid recurrence rule; the "
                                        "VEVENT of line 13 is imported without it",
                                        "line 20: DUE has no valid date; the VTODO of line 18 is "
                                        "imported without it"}));
    EXPECT_EQ(calendar.skipped,
              (std::vector<std::string>{
                  "line 3: parameter BROKEN of X-WR-CALNAME has no '='; the rest of the calendar "
                  "is read",
                  "line 9: VEVENT has no DTSTART; the VEVENT of line 9 is not imported",
                  "line 30: parameter X of TZOFFSETTO has no '='; the VTIMEZONE of line 26 is not "
                  "used"}));
    // The zone that could not be read: its times are taken as local, with a note.
    EXPECT_EQ(calendar.appointments[3].start, At(2024, 1, 9, 10));
    EXPECT_TRUE(
        Contains(calendar.notes, "line 36: unknown time zone Broken/Zone taken as local time"));
    EXPECT_EQ(calendar.appointments[4].recurrence.changes.size(), 1u);
    // No end: a time lasts no time, a day one day.
    EXPECT_EQ(calendar.appointments[0].end, calendar.appointments[0].start);
    EXPECT_TRUE(calendar.appointments[2].allDay);
    EXPECT_EQ(calendar.appointments[2].end, At(2024, 1, 8));
    // Given whole, the export reads back with nothing skipped.
    EXPECT_TRUE(Import(Export(calendar)).skipped.empty());
    EXPECT_FALSE(ParseICalendar(kMostlyReadable, ImportMode::AllOrNothing).ok());
}

// An event whose DESCRIPTION unfolds to `octets` in all, written folded or as one line.
std::string EventWithLongMemo(std::string_view uid, size_t octets, bool folded) {
    const std::string line =
        "DESCRIPTION:" + std::string(octets - std::string_view("DESCRIPTION:").size(), 'x');
    return "BEGIN:VEVENT\r\nUID:" + std::string(uid) + "\r\nDTSTART:20261207T090000Z\r\n" +
           (folded ? ical::Fold(line) : line + "\r\n") + "END:VEVENT\r\n";
}

// A line up to the limit is read whole, however it was folded; one past it costs itself, with
// a note that names it, and the rest of the file is read.
TEST_F(ICalTest, ALongLineIsKeptWholeUpToTheLimitAndRefusedPastIt) {
    const std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" +
                             EventWithLongMemo("too-long", ical::kMaxLineOctets + 1, false) +
                             EventWithLongMemo("too-long-folded", ical::kMaxLineOctets + 1, true) +
                             EventWithLongMemo("longest", ical::kMaxLineOctets, true) +
                             "END:VCALENDAR\r\n";
    const ImportedCalendar calendar = Import(text);
    ASSERT_EQ(calendar.appointments.size(), 3u);
    EXPECT_EQ(calendar.appointments[0].body, u"");
    EXPECT_EQ(calendar.appointments[1].body, u"");
    EXPECT_EQ(calendar.appointments[2].uid, "longest");
    EXPECT_EQ(calendar.appointments[2].body,
              std::u16string(ical::kMaxLineOctets - std::string_view("DESCRIPTION:").size(), u'x'));
    EXPECT_EQ(calendar.dropped,
              (std::vector<std::string>{"line 6: the line is longer than 32 MiB; the VEVENT of "
                                        "line 3 is imported without it",
                                        "line 11: the line is longer than 32 MiB; the VEVENT of "
                                        "line 8 is imported without it"}));
    EXPECT_FALSE(ParseICalendar(text, ImportMode::AllOrNothing).ok());
}

TEST_F(ICalTest, WindowsZoneNamesAreTheSystemsZones) {
    const ImportedCalendar calendar = Import(
        "BEGIN:VCALENDAR\nVERSION:2.0\nBEGIN:VEVENT\nUID:w\n"
        "DTSTART;TZID=\"Tokyo Standard Time\":20260215T100000\n"
        "DTEND;TZID=\"Tokyo Standard Time\":20260215T113000\nRRULE:FREQ=WEEKLY;COUNT=2\n"
        "END:VEVENT\nBEGIN:VEVENT\nUID:u\nDTSTART;TZID=Nowhere Standard Time:20260215T100000\n"
        "END:VEVENT\nEND:VCALENDAR\n");
    ASSERT_EQ(calendar.appointments.size(), 2u);
    EXPECT_EQ(calendar.appointments[0].start, At(2026, 2, 15, 2));
    EXPECT_EQ(calendar.appointments[0].end, At(2026, 2, 15, 3, 30));
    // Kept under the name it was given, which stands for Asia/Tokyo.
    EXPECT_EQ(calendar.appointments[0].zone.tzid, "Tokyo Standard Time");
    EXPECT_EQ(calendar.appointments[0].zoneStart, At(2026, 2, 15, 10));
    // A name nobody knows is still taken as local time, with a note.
    EXPECT_EQ(calendar.appointments[1].start, At(2026, 2, 15, 10));
    EXPECT_EQ(calendar.notes,
              std::vector<std::string>{
                  "line 11: unknown time zone Nowhere Standard Time taken as local time"});
}

constexpr std::string_view kInkAttached = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VEVENT
UID:ink
DTSTART:20240105T090000Z
DESCRIPTION:3.dat
ATTACH;ENCODING=BASE64;VALUE=BINARY;FMTTYPE=application/x-tessarinth-ink:/f///wIAAAD/////////
 /w==
ATTACH;FMTTYPE=image/png;ENCODING=BASE64;VALUE=BINARY:iVBORw0KGgo=
END:VEVENT
BEGIN:VEVENT
UID:not-base64
DTSTART:20240106T090000Z
ATTACH;ENCODING=BASE64;VALUE=BINARY;FMTTYPE=application/x-tessarinth-ink:***
END:VEVENT
END:VCALENDAR
)";

TEST_F(ICalTest, HandwritingTravelsApartFromTheKeptLines) {
    const ImportedCalendar calendar = Import(kInkAttached);
    ASSERT_EQ(calendar.appointments.size(), 2u);
    ASSERT_EQ(calendar.appointmentsInk.size(), 2u);
    ASSERT_TRUE(calendar.appointmentsInk[0].item.has_value());
    EXPECT_EQ(calendar.appointmentsInk[0].item->line, 7);
    EXPECT_EQ(calendar.appointmentsInk[0].item->bytes,
              std::string("\xfd\xff\xff\xff\x02\0\0\0\xff\xff\xff\xff\xff\xff\xff\xff", 16));
    // Another program's attachment is kept like any other line; ours is not.
    EXPECT_EQ(calendar.appointments[0].extraProperties,
              "ATTACH;FMTTYPE=image/png;ENCODING=BASE64;VALUE=BINARY:iVBORw0KGgo=");
    EXPECT_TRUE(calendar.appointmentsInk[1].empty());
    EXPECT_TRUE(Contains(calendar.notes,
                         "line 14: the handwriting attached is not base64 and is not kept"));

    // Stored as the import stores it (a handwritten memo naming its ink file) and written with
    // that file's ink, the same bytes come back.
    const std::string ink = calendar.appointmentsInk[0].item->bytes;
    std::vector<AppointmentRecord> stored = calendar.appointments;
    stored[0].body = u"3.dat";
    stored[0].handwritten = true;
    const std::string text =
        WriteICalendar(stored, calendar.tasks, platform::SystemClock(),
                       [&](std::u16string_view body) -> std::optional<std::string> {
                           if (body == u"3.dat") {
                               return ink;
                           }
                           return std::nullopt;
                       });
    const ImportedCalendar again = Import(text);
    ASSERT_TRUE(again.appointmentsInk[0].item.has_value());
    EXPECT_EQ(again.appointmentsInk[0].item->bytes, ink);
    EXPECT_TRUE(again.appointmentsInk[1].empty());
    const std::vector<std::string> lines = Unfold(text);
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "ATTACH;FMTTYPE=image/png;ENCODING=BASE64;VALUE=BINARY:iVBORw0KGgo="),
              1);
    // Without an ink source nothing is attached, and a stored copy of our line is never written.
    AppointmentRecord stale = stored[0];
    stale.extraProperties +=
        "\r\nATTACH;ENCODING=BASE64;VALUE=BINARY;FMTTYPE=application/x-tessarinth-ink:AAAA";
    EXPECT_EQ(WriteICalendar({stale}, {}).find("x-tessarinth-ink"), std::string::npos);
}

constexpr std::string_view kSkippedComponents = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VEVENT
UID:series
DTSTART:20240101T100000Z
RRULE:FREQ=DAILY
END:VEVENT
BEGIN:VEVENT
UID:series
RECURRENCE-ID:20240103T100000Z
DTSTART:20240103T120000Z
END:VEVENT
BEGIN:VJOURNAL
UID:diary
DTSTART;VALUE=DATE:20240101
SUMMARY:日記
END:VJOURNAL
BEGIN:VFREEBUSY
FREEBUSY:20240101T100000Z/PT1H
END:VFREEBUSY
BEGIN:X-PLANNER-THING
X-A:1
END:X-PLANNER-THING
END:VCALENDAR
)";

TEST_F(ICalTest, ComponentsThePlannerDoesNotKeepAreSkippedWithANote) {
    const ImportedCalendar calendar = Import(kSkippedComponents);
    ASSERT_EQ(calendar.appointments.size(), 1u);
    // The changed occurrence is kept with its series.
    EXPECT_EQ(calendar.appointments[0].recurrence.changes.size(), 1u);
    EXPECT_EQ(calendar.changedOccurrences,
              std::vector<std::string>{
                  "line 8: series: the occurrence of 2024-01-03 11:00 moved to 2024-01-03 13:00"});
    EXPECT_EQ(calendar.skipped,
              (std::vector<std::string>{"line 13: VJOURNAL not kept by the planner",
                                        "line 18: VFREEBUSY not kept by the planner",
                                        "line 21: X-PLANNER-THING not kept by the planner"}));
}

}  // namespace
}  // namespace calendar
