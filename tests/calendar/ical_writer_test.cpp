// Writing calendar files: alarms, tasks, kept properties, and text other programs accept.
#include <gtest/gtest.h>
#include <libical/ical.h>

#include <set>
#include <sstream>
#include <string>

#include "calendar/ical_io.h"
#include "tests/calendar/ical_test_support.h"

namespace calendar {
namespace {

TEST_F(ICalTest, AlarmsAndTheReminderFlag) {
    ImportedCalendar calendar = Import(kAlarms);
    ASSERT_EQ(calendar.appointments.size(), 2u);
    EXPECT_TRUE(calendar.appointments[0].reminderSet);
    EXPECT_EQ(calendar.appointments[0].extraProperties,
              "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT1H\r\nDESCRIPTION:歯医者\r\n"
              "END:VALARM");
    EXPECT_FALSE(calendar.appointments[1].reminderSet);

    // The stored alarm is written back; a new reminder gets the default one.
    calendar.appointments[1].reminderSet = true;
    std::vector<std::string> lines = Unfold(Export(calendar));
    EXPECT_TRUE(Contains(lines, "TRIGGER:-PT1H"));
    EXPECT_TRUE(Contains(lines, "TRIGGER:-PT15M"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "BEGIN:VALARM"), 2);

    // Reminder switched off: the stored alarm goes.
    calendar.appointments[0].reminderSet = false;
    calendar.appointments[1].reminderSet = false;
    lines = Unfold(Export(calendar));
    EXPECT_FALSE(Contains(lines, "BEGIN:VALARM"));
    const ImportedCalendar again = Import(Export(calendar));
    EXPECT_FALSE(again.appointments[0].reminderSet);
}

TEST_F(ICalTest, TheReminderGovernsOnlyTheAlarmsThatRingHere) {
    ImportedCalendar calendar = Import(WithCrlf(R"(BEGIN:VCALENDAR
BEGIN:VEVENT
UID:both@test
DTSTART:20261221T090000Z
BEGIN:VALARM
ACTION:DISPLAY
TRIGGER:-PT10M
DESCRIPTION:shown
END:VALARM
BEGIN:VALARM
ACTION:EMAIL
TRIGGER;VALUE=DATE-TIME:20261220T080000Z
SUMMARY:mailed
DESCRIPTION:mailed
ATTENDEE:mailto:me@example.com
END:VALARM
END:VEVENT
BEGIN:VEVENT
UID:mail-only@test
DTSTART:20261221T090000Z
BEGIN:VALARM
ACTION:EMAIL
TRIGGER:-P1D
SUMMARY:mailed
DESCRIPTION:mailed
ATTENDEE:mailto:me@example.com
END:VALARM
END:VEVENT
END:VCALENDAR
)"));
    ASSERT_EQ(calendar.appointments.size(), 2u);
    EXPECT_TRUE(calendar.appointments[0].reminderSet);
    // An e-mail alarm alone is no reminder of the planner's.
    EXPECT_FALSE(calendar.appointments[1].reminderSet);

    // The bell off: the alarm shown here goes, the e-mail alarms stay.
    calendar.appointments[0].reminderSet = false;
    std::vector<std::string> lines = Unfold(Export(calendar));
    EXPECT_FALSE(Contains(lines, "ACTION:DISPLAY"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "ACTION:EMAIL"), 2);
    EXPECT_TRUE(Contains(lines, "TRIGGER;VALUE=DATE-TIME:20261220T080000Z"));

    // The bell on for the e-mail-only event: a reminder of its own beside the e-mail.
    calendar.appointments[1].reminderSet = true;
    lines = Unfold(Export(calendar));
    EXPECT_TRUE(Contains(lines, "TRIGGER:-PT15M"));
    EXPECT_TRUE(Contains(lines, "TRIGGER:-P1D"));
}

TEST_F(ICalTest, AnotherProgramsTimeLinesAndZoneAreWrittenBackAsTheyCame) {
    ImportedCalendar calendar = Import(WithCrlf(R"(BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//Another Program//EN
BEGIN:VTIMEZONE
TZID:Europe/Berlin
BEGIN:STANDARD
DTSTART;VALUE=DATE-TIME:20261025T030000
RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10
TZNAME:CET
TZOFFSETFROM:+0200
TZOFFSETTO:+0100
END:STANDARD
BEGIN:DAYLIGHT
DTSTART;VALUE=DATE-TIME:20270328T020000
RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3
TZNAME:CEST
TZOFFSETFROM:+0100
TZOFFSETTO:+0200
END:DAYLIGHT
END:VTIMEZONE
BEGIN:VEVENT
UID:theirs@test
SUMMARY:theirs
DTSTART;TZID=Europe/Berlin;VALUE=DATE-TIME:20261208T100000
DTEND;TZID=Europe/Berlin;VALUE=DATE-TIME:20261208T110000
END:VEVENT
END:VCALENDAR
)"));
    ASSERT_EQ(calendar.appointments.size(), 1u);
    calendar.appointments[0].subject = u"theirs, edited here";
    std::vector<std::string> lines = Unfold(Export(calendar));
    EXPECT_TRUE(Contains(lines, "DTSTART;TZID=Europe/Berlin;VALUE=DATE-TIME:20261208T100000"));
    EXPECT_TRUE(Contains(lines, "DTEND;TZID=Europe/Berlin;VALUE=DATE-TIME:20261208T110000"));
    // Their zone, not one written from this system's data.
    EXPECT_TRUE(Contains(lines, "DTSTART;VALUE=DATE-TIME:20261025T030000"));
    EXPECT_FALSE(Contains(lines, "X-LIC-LOCATION:Europe/Berlin"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "BEGIN:VTIMEZONE"), 1);

    // A time changed here is written as this planner writes it.
    calendar.appointments[0].start = At(2026, 12, 8, 9);
    lines = Unfold(Export(calendar));
    EXPECT_TRUE(Contains(lines, "DTSTART;TZID=Europe/Berlin:20261208T090000"));
    EXPECT_TRUE(Contains(lines, "DTEND;TZID=Europe/Berlin;VALUE=DATE-TIME:20261208T110000"));
}

TEST_F(ICalTest, ReopenedTaskLosesItsCompletedMarks) {
    ImportedCalendar calendar = Import(kTasks);
    ASSERT_EQ(calendar.tasks.size(), 6u);
    for (TaskRecord& task : calendar.tasks) {
        task.complete = false;
        task.dateCompleted = kNoDateValue;
    }
    for (const TaskRecord& task : Import(Export(calendar)).tasks) {
        EXPECT_FALSE(task.complete) << task.uid;
    }
}

constexpr std::string_view kUnknownProperties = R"(BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//Other Program//EN
BEGIN:VEVENT
UID:roundtrip-1@example.jp
DTSTAMP:20240301T120000Z
DTSTART;TZID=Europe/Berlin:20240305T100000
DTEND;TZID=Europe/Berlin:20240305T113000
SUMMARY;LANGUAGE=ja:打ち合わせ
DESCRIPTION:第3四半期の予算について話し合います。資料は事前に共有フォルダへ置いてく
 ださい。議事録は佐藤さんが担当します。
ORGANIZER;CN="Sato, Hanako":mailto:hanako@example.jp
ATTENDEE;ROLE=REQ-PARTICIPANT;PARTSTAT=ACCEPTED;CN=Taro:mailto:taro@example.jp
X-FOO;P=1:a,b\,c
CLASS:PRIVATE
PRIORITY:5
SEQUENCE:2
URL:https://example.jp/meet?id=1,2
FOOBAR:an iana token libical does not know
X-MICROSOFT-CDO-BUSYSTATUS:BUSY
BEGIN:X-TESSARINTH-INK
X-STROKES:12,40;13,41;15,44
END:X-TESSARINTH-INK
BEGIN:VALARM
ACTION:DISPLAY
TRIGGER:-PT30M
DESCRIPTION:会議
END:VALARM
END:VEVENT
BEGIN:VTODO
UID:roundtrip-task@example.jp
DTSTAMP:20240301T120000Z
DTSTART;TZID=Asia/Tokyo:20240301T090000
SUMMARY:議事録
PRIORITY:1
DTSTAMP:20240501T000000Z
END:VTODO
END:VCALENDAR
)";

TEST_F(ICalTest, UnknownPropertiesAndComponentsSurviveARoundTrip) {
    const ImportedCalendar first = Import(kUnknownProperties);
    ASSERT_EQ(first.appointments.size(), 1u);
    ASSERT_EQ(first.tasks.size(), 1u);
    EXPECT_EQ(first.appointments[0].subject, u"打ち合わせ");
    EXPECT_EQ(first.appointments[0].body.substr(0, 3), u"第3四");
    EXPECT_TRUE(first.appointments[0].reminderSet);

    const std::string text = Export(first);
    const ImportedCalendar second = Import(text);
    EXPECT_EQ(second.appointments, first.appointments);
    EXPECT_EQ(second.tasks, first.tasks);

    // Every line the planner does not model is written back word for word.
    const std::vector<std::string> written = Unfold(text);
    // So are the event's own times, in the zone they were given in.
    for (const std::string& line : Unfold(std::string(kUnknownProperties))) {
        if (line.rfind("PRODID", 0) == 0) {
            continue;
        }
        EXPECT_TRUE(Contains(written, line)) << line;
    }
    // The task's DTSTART names a zone, so its definition is written too.
    EXPECT_TRUE(Contains(written, "TZID:Asia/Tokyo"));
}

TEST_F(ICalTest, ExportIsValidICalendar) {
    ImportedCalendar calendar = Import(kNewYorkSeries);
    const ImportedCalendar alarms = Import(kAlarms);
    calendar.appointments.insert(calendar.appointments.end(), alarms.appointments.begin(),
                                 alarms.appointments.end());
    calendar.tasks = Import(kTasks).tasks;
    AppointmentRecord fresh;
    fresh.oid = 42;
    fresh.start = At(2024, 5, 1, 9);
    fresh.end = At(2024, 5, 1, 10);
    fresh.subject =
        u"とても長い件名が七十五オクテットを超えると折り返されなければならない、という確認";
    fresh.categories = u"仕事, 私用";
    fresh.reminderSet = true;
    calendar.appointments.push_back(fresh);
    TaskRecord task;
    task.subject = u"a, b; c\\d";
    calendar.tasks.push_back(task);

    const std::string text = Export(calendar);
    EXPECT_EQ(text.rfind("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"
                         "PRODID:-//Tessarinth//Tessarinth ",
                         0),
              0u);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\r');
        EXPECT_LE(line.size() - 1, 75u) << line;
    }
    icalcomponent* parsed = icalparser_parse_string(text.c_str());
    ASSERT_NE(parsed, nullptr);
    EXPECT_EQ(icalcomponent_count_errors(parsed), 0);
    icalcomponent_free(parsed);

    const std::vector<std::string> lines = Unfold(text);
    EXPECT_TRUE(Contains(lines, "UID:tessarinth-42@localhost"));
    EXPECT_TRUE(Contains(lines, "UID:tessarinth-task-new-6@localhost"));
    EXPECT_TRUE(Contains(lines, "DTSTAMP:20240601T100000Z"));
    EXPECT_TRUE(Contains(lines, "CATEGORIES:仕事,私用"));
    EXPECT_TRUE(Contains(lines, "SUMMARY:a\\, b\\; c\\\\d"));

    const ImportedCalendar again = Import(text);
    ASSERT_EQ(again.appointments.size(), 4u);
    EXPECT_EQ(again.appointments[3].subject, fresh.subject);
    EXPECT_EQ(again.appointments[3].categories, fresh.categories);
    EXPECT_EQ(again.appointments[3].start, fresh.start);
    EXPECT_TRUE(again.appointments[3].reminderSet);
    ASSERT_EQ(again.tasks.size(), 7u);
    EXPECT_EQ(again.tasks[6].subject, task.subject);
}

// An event with exception dates and no rule, in UTC, as the store holds it: no series, so its
// start is kept in local time alone (zoneStart equal to start). Its times are still written as
// the instants they are, east and west of UTC.
TEST_F(ICalTest, ExceptionDatesWithoutARuleKeepTheirInstants) {
    constexpr std::string_view kExdateOnly =
        "BEGIN:VCALENDAR\nVERSION:2.0\nBEGIN:VEVENT\nUID:x\nDTSTART:20250101T100000Z\n"
        "DTEND:20250101T110000Z\nEXDATE:20250105T100000Z\nEND:VEVENT\nEND:VCALENDAR\n";
    for (const char* zone : {"Asia/Tokyo", "America/Los_Angeles"}) {
        SCOPED_TRACE(zone);
        setenv("TZ", zone, 1);
        tzset();
        ImportedCalendar calendar = Import(kExdateOnly);
        ASSERT_EQ(calendar.appointments.size(), 1u);
        AppointmentRecord& stored = calendar.appointments[0];
        EXPECT_FALSE(stored.recurrence.recurs());
        stored.zoneStart = stored.start;
        const std::vector<std::string> lines = Unfold(Export(calendar));
        EXPECT_TRUE(Contains(lines, "DTSTART:20250101T100000Z"));
        EXPECT_TRUE(Contains(lines, "DTEND:20250101T110000Z"));
        EXPECT_TRUE(Contains(lines, "EXDATE:20250105T100000Z"));
        EXPECT_EQ(Import(Export(calendar)).appointments[0].start, stored.start);
    }
}

// The memos of a series and its moved occurrence: `seriesBody` on the series, `changeBody` on the
// occurrence of 8 January, each with its own handwritten mark.
AppointmentRecord SeriesWithMemos(std::u16string seriesBody, bool seriesHandwritten,
                                  std::u16string changeBody, bool changeHandwritten) {
    AppointmentRecord series;
    series.uid = "memos@test";
    series.start = At(2025, 1, 6, 9);
    series.end = At(2025, 1, 6, 10);
    series.recurrence.rule = "FREQ=DAILY;COUNT=5";
    series.body = std::move(seriesBody);
    series.handwritten = seriesHandwritten;
    OccurrenceChange moved;
    moved.recurrenceId = At(2025, 1, 8, 9);
    moved.start = At(2025, 1, 8, 15);
    moved.end = At(2025, 1, 8, 16);
    moved.body = std::move(changeBody);
    moved.handwritten = changeHandwritten;
    series.recurrence.changes = {moved};
    return series;
}

// The DESCRIPTION and ink ATTACH lines of each VEVENT written, in order.
std::vector<std::string> MemoLines(const std::string& text) {
    std::vector<std::string> memo;
    for (const std::string& line : Unfold(text)) {
        if (line.starts_with("DESCRIPTION") ||
            (line.starts_with("ATTACH") &&
             line.find("FMTTYPE=application/x-tessarinth-ink") != std::string::npos)) {
            memo.push_back(line.substr(0, line.find(':') + 1) +
                           (line.starts_with("ATTACH") ? "ink" : line.substr(line.find(':') + 1)));
        } else if (line == "END:VEVENT") {
            memo.push_back("--");
        }
    }
    return memo;
}

TEST_F(ICalTest, AHandwrittenMemoIsWrittenAsReadableTextBesideItsInk) {
    std::vector<std::u16string> asked;
    const InkSource inkOf = [&](std::u16string_view body) -> std::optional<std::string> {
        asked.emplace_back(body);
        return std::string(8, '\x01');
    };
    const platform::FixedClock clock(platform::CalendarFields{2025, 1, 0, 1, 12, 0, 0, 0});
    const std::string ink =
        "ATTACH;ENCODING=BASE64;VALUE=BINARY;FMTTYPE=application/x-tessarinth-ink:";
    const std::string handwritten = "DESCRIPTION:手書きメモ";

    // Handwriting alone, and handwriting with text another program typed beside it.
    EXPECT_EQ(MemoLines(WriteICalendar({SeriesWithMemos(u"2.dat", true, u"3.dat\r\n追記", true)},
                                       {}, clock, inkOf)),
              (std::vector<std::string>{handwritten, ink + "ink", "--", "DESCRIPTION:追記",
                                        ink + "ink", "--"}));
    EXPECT_EQ(asked, (std::vector<std::u16string>{u"2.dat", u"3.dat\r\n追記"}));

    // Text memos that read like an ink file's name are written as they read, without ink.
    asked.clear();
    EXPECT_EQ(MemoLines(WriteICalendar(
                  {SeriesWithMemos(u"1.dat\nplease look at that file", false, u"4.dat", false)}, {},
                  clock, inkOf)),
              (std::vector<std::string>{"DESCRIPTION:1.dat\\nplease look at that file", "--",
                                        "DESCRIPTION:4.dat", "--"}));
    EXPECT_TRUE(asked.empty());

    // Without its ink (a file that cannot be read, an export without handwriting) a handwritten
    // memo still never shows the name of its file.
    EXPECT_EQ(
        MemoLines(WriteICalendar({SeriesWithMemos(u"2.dat", true, u"3.dat\r\n追記", true)}, {},
                                 clock, [](std::u16string_view) { return std::nullopt; })),
        (std::vector<std::string>{handwritten, "--", "DESCRIPTION:追記", "--"}));
    EXPECT_EQ(MemoLines(WriteICalendar({SeriesWithMemos(u"2.dat", true, u"", false)}, {}, clock)),
              (std::vector<std::string>{handwritten, "--", "--"}));
}

}  // namespace
}  // namespace calendar
