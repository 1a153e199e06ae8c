// What is written is what was read: lines the planner reads into its own fields (categories)
// go back as they came while the item keeps what they say.
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

}  // namespace
}  // namespace pim
