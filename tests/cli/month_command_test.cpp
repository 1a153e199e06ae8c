#include "cli/month_command.h"

#include <gtest/gtest.h>

#include "tests/cli/imported_home.h"

namespace cli {
namespace {

using MonthCommandTest = ImportedHome;

TEST_F(MonthCommandTest, TsvPrintsEveryDayWithItsCellAndMarks) {
    ASSERT_EQ(Run(MonthCommand, {"2026-12", "--tsv"}), 0) << err_.str();
    // December 2026 begins on a Tuesday. The series (15:00-16:00) falls on the 1st, 8th, 15th
    // and 22nd; the meeting is in the morning of the 7th; the night bus covers the evening of
    // the 8th and the small hours of the 9th; the holiday is all-day on the 10th and 11th.
    std::string expected;
    for (int day = 1; day <= 31; ++day) {
        const int cell = day + 1;
        int allDay = 0;
        int bands = 0;
        int holiday = 0;
        if (day == 1 || day == 15 || day == 22) {
            bands = 4;
        } else if (day == 7 || day == 9) {
            bands = 1;
        } else if (day == 8) {
            bands = 4 | 8;
        } else if (day == 10 || day == 11) {
            allDay = 1;
            holiday = 1;
        }
        char date[16];
        std::snprintf(date, sizeof date, "2026-12-%02d", day);
        expected += Line({date, std::to_string(cell / 7), std::to_string(cell % 7),
                          std::to_string(allDay), std::to_string(bands), std::to_string(holiday)});
    }
    EXPECT_EQ(out_.str(), expected);

    // A day of the month gives the same month, and so does today by the clock.
    ASSERT_EQ(Run(MonthCommand, {"--tsv", "2026-12-31"}), 0);
    EXPECT_EQ(out_.str(), expected);
    ASSERT_EQ(Run(MonthCommand, {"--tsv"}), 0);
    EXPECT_EQ(out_.str(), expected);
}

TEST_F(MonthCommandTest, TheReadableGridShowsTheMarksUnderEachDay) {
    ASSERT_EQ(Run(MonthCommand, {"2026-12-07"}), 0) << err_.str();
    const std::string text = out_.str();
    EXPECT_NE(text.find("December 2026\n Sun     Mon     Tue     Wed     Thu     Fri     Sat\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  6      >7       8       9      10*H    11*H    12\n"
                        "         M...    ..AE    M...\n"),
              std::string::npos)
        << text;
}

TEST_F(MonthCommandTest, BadArgumentsFailWithOneLine) {
    for (const std::string bad : {"2026-00", "2026-1", "2026/12", "2026-12-32", "12-2026"}) {
        EXPECT_EQ(Run(MonthCommand, {bad}), 2) << bad;
        EXPECT_EQ(out_.str(), "");
        EXPECT_EQ(LineCount(err_.str()), 1) << err_.str();
    }
    EXPECT_EQ(Run(MonthCommand, {"2026-12", "--tsv", "extra"}), 2);
}

}  // namespace
}  // namespace cli
