// What is written is what was read: lines the planner reads into its own fields (categories, an
// end at the start's moment, a completion moment, a zone named by a path) go back as they came
// while the item keeps what they say, and a file read, written, read and written again gives
// the same text the second time.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "calendar/ical_io.h"
#include "tests/calendar/ical_test_support.h"

namespace calendar {
namespace {

long Count(const std::vector<std::string>& lines, const std::string& wanted) {
    return std::count(lines.begin(), lines.end(), wanted);
}

constexpr std::string_view kCategoryLines = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VEVENT
UID:two-lines@test
DTSTAMP:20261201T000000Z
DTSTART:20261207T090000Z
DTEND:20261207T100000Z
CATEGORIES:仕事
CATEGORIES;LANGUAGE=ja:会議,重要
END:VEVENT
BEGIN:VEVENT
UID:one-line@test
DTSTAMP:20261201T000000Z
DTSTART:20261208T090000Z
CATEGORIES:仕事,会議
END:VEVENT
BEGIN:VTODO
UID:task@test
DTSTAMP:20261201T000000Z
CATEGORIES:家
CATEGORIES:買い物
END:VTODO
END:VCALENDAR
)";

// The record keeps one text; the lines it came on go back as they were while that text stays,
// and an edit of the categories here writes the planner's one line.
TEST_F(ICalTest, CategoriesGoBackOnTheLinesTheyCameOn) {
    ImportedCalendar calendar = Import(WithCrlf(kCategoryLines));
    ASSERT_EQ(calendar.appointments.size(), 2u);
    ASSERT_EQ(calendar.tasks.size(), 1u);
    EXPECT_EQ(calendar.appointments[0].categories, u"仕事, 会議, 重要");
    EXPECT_EQ(calendar.tasks[0].categories, u"家, 買い物");
    // A line the planner writes the same way is not kept twice.
    EXPECT_EQ(calendar.appointments[1].extraProperties, "DTSTAMP:20261201T000000Z");

    std::vector<std::string> lines = Unfold(Export(calendar));
    EXPECT_EQ(Count(lines, "CATEGORIES:仕事"), 1);
    EXPECT_EQ(Count(lines, "CATEGORIES;LANGUAGE=ja:会議,重要"), 1);
    EXPECT_EQ(Count(lines, "CATEGORIES:仕事,会議"), 1);
    EXPECT_EQ(Count(lines, "CATEGORIES:家"), 1);
    EXPECT_EQ(Count(lines, "CATEGORIES:買い物"), 1);
    EXPECT_EQ(Count(lines, "CATEGORIES:仕事,会議,重要"), 0);
    EXPECT_EQ(Import(Export(calendar)).appointments, calendar.appointments);

    calendar.appointments[0].categories = u"仕事, 私用";
    calendar.tasks[0].categories = u"家";
    lines = Unfold(Export(calendar));
    EXPECT_EQ(Count(lines, "CATEGORIES:仕事,私用"), 1);
    EXPECT_EQ(Count(lines, "CATEGORIES;LANGUAGE=ja:会議,重要"), 0);
    EXPECT_EQ(Count(lines, "CATEGORIES:買い物"), 0);
    EXPECT_EQ(Count(lines, "CATEGORIES:家"), 1);
    EXPECT_EQ(Count(lines, "CATEGORIES:仕事"), 0);
}

constexpr std::string_view kEndsAtItsStart = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VEVENT
UID:end-skipped@test
DTSTAMP:20261201T000000Z
DTSTART;TZID=America/New_York:20270314T033000
DTEND;TZID=America/New_York:20270314T023000
END:VEVENT
BEGIN:VEVENT
UID:start-skipped@test
DTSTAMP:20261201T000000Z
DTSTART;TZID=America/New_York:20270314T023000
DTEND;TZID=America/New_York:20270314T033000
END:VEVENT
BEGIN:VEVENT
UID:utc-start@test
DTSTAMP:20261201T000000Z
DTSTART:20270314T073000Z
DTEND;TZID=America/New_York:20270314T023000
END:VEVENT
END:VCALENDAR
)";

// 02:30 on 14 March 2027 does not happen in New York: read with the offset before the skipped
// hour it is 07:30 UTC, the moment of 03:30. An end there (or a start there, with the end at
// 03:30) makes an event without length, whose end is still written back as it came. (A changed
// occurrence's is, in the calendar of every case below.)
TEST_F(ICalTest, AnEndAtTheStartsMomentIsWrittenBackAsItCame) {
    ImportedCalendar calendar = Import(WithCrlf(kEndsAtItsStart));
    ASSERT_EQ(calendar.appointments.size(), 3u);
    for (const AppointmentRecord& record : calendar.appointments) {
        EXPECT_EQ(record.start, At(2027, 3, 14, 8, 30)) << record.uid;
        EXPECT_EQ(record.end, record.start) << record.uid;
    }
    const std::string text = Export(calendar);
    std::vector<std::string> lines = Unfold(text);
    EXPECT_EQ(Count(lines, "DTEND;TZID=America/New_York:20270314T023000"), 2) << text;
    EXPECT_EQ(Count(lines, "DTEND;TZID=America/New_York:20270314T033000"), 1) << text;
    EXPECT_EQ(Import(text).appointments, calendar.appointments);

    // Moved here, an event without length has no end to write: the one it came with no
    // longer stands for its start.
    for (AppointmentRecord& record : calendar.appointments) {
        record.start = At(2027, 3, 15, 9);
        record.end = record.start;
    }
    lines = Unfold(Export(calendar));
    EXPECT_EQ(Count(lines, "DTEND;TZID=America/New_York:20270314T023000"), 0);
    EXPECT_EQ(Count(lines, "DTEND;TZID=America/New_York:20270314T033000"), 0);
}

constexpr std::string_view kCompleted = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VTODO
UID:repeated-hour@test
DTSTAMP:20261201T000000Z
COMPLETED:20261025T013000Z
END:VTODO
BEGIN:VTODO
UID:in-tokyo@test
DTSTAMP:20261201T000000Z
COMPLETED;TZID=Asia/Tokyo:20261207T183000
END:VTODO
BEGIN:VTODO
UID:plain@test
DTSTAMP:20261201T000000Z
COMPLETED:20261207T093000Z
END:VTODO
END:VCALENDAR
)";

// When a task was completed is a moment. 01:30 UTC on 25 October 2026 is the second 02:30 of
// the night Berlin's clocks go back, which reads as the first when written from the local
// time; it, and a completion given in a zone, go back as they came.
TEST_F(ICalTest, ACompletionKeepsItsMomentAndTheLineItCameOn) {
    ImportedCalendar calendar = Import(WithCrlf(kCompleted));
    ASSERT_EQ(calendar.tasks.size(), 3u);
    EXPECT_EQ(calendar.tasks[0].dateCompleted, At(2026, 10, 25, 2, 30));
    EXPECT_EQ(calendar.tasks[1].dateCompleted, At(2026, 12, 7, 10, 30));
    EXPECT_EQ(calendar.tasks[2].dateCompleted, At(2026, 12, 7, 10, 30));
    // A line written back the same from its moment is not kept.
    EXPECT_EQ(calendar.tasks[2].extraProperties, "DTSTAMP:20261201T000000Z");

    const std::string text = Export(calendar);
    std::vector<std::string> lines = Unfold(text);
    EXPECT_TRUE(Contains(lines, "COMPLETED:20261025T013000Z")) << text;
    EXPECT_TRUE(Contains(lines, "COMPLETED;TZID=Asia/Tokyo:20261207T183000")) << text;
    EXPECT_TRUE(Contains(lines, "COMPLETED:20261207T093000Z")) << text;
    EXPECT_EQ(Import(text).tasks, calendar.tasks);

    // Completed again at another moment: that moment, in UTC.
    calendar.tasks[0].dateCompleted = At(2026, 10, 26, 8, 15, 30);
    calendar.tasks[1].dateCompleted = At(2026, 12, 8, 7);
    lines = Unfold(Export(calendar));
    EXPECT_TRUE(Contains(lines, "COMPLETED:20261026T071530Z"));
    EXPECT_TRUE(Contains(lines, "COMPLETED:20261208T060000Z"));
    EXPECT_FALSE(Contains(lines, "COMPLETED:20261025T013000Z"));
    EXPECT_FALSE(Contains(lines, "COMPLETED;TZID=Asia/Tokyo:20261207T183000"));
}

// The calendar that holds every case above at once.
std::string WrittenAsRead() {
    std::ifstream in(std::string(TESSARINTH_CALENDAR_SAMPLES) + "/written_as_read.ics",
                     std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_FALSE(text.str().empty());
    return text.str();
}

const AppointmentRecord* ByUid(const ImportedCalendar& calendar, const std::string& uid) {
    for (const AppointmentRecord& record : calendar.appointments) {
        if (record.uid == uid) {
            return &record;
        }
    }
    ADD_FAILURE() << "no appointment " << uid;
    return nullptr;
}

// An item without DTSTAMP is given one when it is written; read again, that stamp is kept and
// written where the first one stood.
TEST_F(ICalTest, AStampMadeWhenWrittenStandsWhereItIsWrittenAgain) {
    const std::string first = Export(Import(WithCrlf(R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VEVENT
UID:unstamped@test
DTSTART:20261207T090000Z
SUMMARY:no stamp
X-OTHER:kept
END:VEVENT
BEGIN:VTODO
UID:unstamped-task@test
SUMMARY:no stamp
X-OTHER:kept
END:VTODO
END:VCALENDAR
)")));
    EXPECT_EQ(Export(Import(first)), first);
}

// A file holding all of the above, with a zone named by a path as older libical-based programs
// wrote it: read, written, read and written again gives the same text, keeps every line the
// planner reads into its fields as it came, and the same times.
TEST_F(ICalTest, AFileReadAndWrittenTwiceGivesTheSameText) {
    const std::string original = WrittenAsRead();
    const ImportedCalendar firstRead = Import(original);
    EXPECT_TRUE(firstRead.skipped.empty());
    EXPECT_TRUE(firstRead.dropped.empty());
    const std::string first = Export(firstRead);
    const ImportedCalendar secondRead = Import(first);
    const std::string second = Export(secondRead);
    EXPECT_EQ(second, first);

    const std::vector<std::string> written = Unfold(first);
    for (const char* line : {
             "TZID:/softwarestudio.org/Olson_20011030_5/America/New_York",
             "DTSTART;TZID=/softwarestudio.org/Olson_20011030_5/America/New_York:20260710T090000",
             "CATEGORIES:Work",
             "CATEGORIES:Travel",
             "CATEGORIES;LANGUAGE=ja:会議,重要",
             "CATEGORIES:移動",
             "CATEGORIES:買い物",
             "COMPLETED:20261025T013000Z",
             "COMPLETED;TZID=Asia/Tokyo:20261207T183000",
         }) {
        EXPECT_TRUE(Contains(written, line)) << line;
    }
    EXPECT_EQ(Count(written, "DTEND;TZID=America/New_York:20270314T023000"), 2) << first;

    for (const ImportedCalendar* read : {&firstRead, &secondRead}) {
        const AppointmentRecord* path = ByUid(*read, "path-zone@example.com");
        ASSERT_NE(path, nullptr);
        // 09:00 in New York in summer is 13:00 UTC.
        EXPECT_EQ(path->start, At(2026, 7, 10, 15));
        EXPECT_EQ(path->end, At(2026, 7, 10, 16));
        const AppointmentRecord* skipped = ByUid(*read, "skipped-hour@example.com");
        ASSERT_NE(skipped, nullptr);
        EXPECT_EQ(skipped->start, At(2027, 3, 14, 8, 30));
        EXPECT_EQ(skipped->end, skipped->start);
        ASSERT_EQ(read->tasks.size(), 2u);
        EXPECT_EQ(read->tasks[0].dateCompleted, At(2026, 10, 25, 2, 30));
    }
    EXPECT_EQ(secondRead.tasks, firstRead.tasks);
}

}  // namespace
}  // namespace calendar
