// What is written is what was read: lines the planner reads into its own fields (categories, an
// end at the start's moment, a completion moment) go back as they came while the item keeps
// what they say.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ical/ical_io.h"
#include "tests/platform/ical/ical_test_support.h"

namespace pim {
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
// 03:30) makes an event without length, whose end is still written back as it came.
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

}  // namespace
}  // namespace pim
