#include "cli/agenda_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "cli/entry_commands.h"
#include "tests/cli/imported_home.h"

namespace cli {
namespace {

using AgendaCommandTest = ImportedHome;

// Object ids follow the import: the four events 1 to 4, then the tasks 5 to 7.
TEST_F(AgendaCommandTest, TsvPrintsEveryRowAndTheUndatedTasks) {
    ASSERT_EQ(Run(AgendaCommand, {"2026-12-07", "--tsv"}), 0) << err_.str();
    const auto empty = [](const std::string& row, const std::string& date) {
        return Line({row, date, "empty", "0", "", "", "0", "0", "0", "0", "0", "0", "", "", ""});
    };
    const std::string expected =
        Line({"0", "2026-12-07", "appointment", "1", "2026-12-07T09:00", "2026-12-07T10:30", "0",
              "0", "0", "0", "0", "0", "会議", "本社 3F", "C:\\\\temp\\tx\\n二行目"}) +
        Line({"1", "2026-12-08", "appointment", "4", "2026-12-08T15:00", "2026-12-08T16:00", "0",
              "0", "1", "1", "0", "2", "定例", "", "7.dat"}) +
        Line({"2", "2026-12-08", "appointment", "2", "2026-12-08T22:00", "2026-12-09T02:00", "0",
              "0", "0", "0", "0", "0", "夜行バス", "", ""}) +
        Line({"3", "2026-12-09", "appointment", "2", "2026-12-08T22:00", "2026-12-09T02:00", "0",
              "0", "0", "0", "0", "0", "夜行バス", "", ""}) +
        Line({"4", "2026-12-09", "task", "5", "2026-12-09T00:00", "2026-12-09T00:00", "0", "0", "0",
              "0", "0", "0", "請求書", "", "一行目\\n二行目"}) +
        Line({"5", "2026-12-10", "appointment", "3", "2026-12-10T00:00", "2026-12-11T00:00", "1",
              "1", "0", "0", "0", "0", "連休", "", ""}) +
        empty("6", "2026-12-11") + empty("7", "2026-12-12") + empty("8", "2026-12-13") +
        empty("9", "2026-12-14") +
        Line({"10", "2026-12-15", "appointment", "4", "2026-12-15T15:00", "2026-12-15T16:00", "0",
              "0", "1", "1", "0", "2", "定例", "", "7.dat"}) +
        empty("11", "2026-12-16") + Line({"undated", "0", "6", "0", "買い物"}) +
        Line({"undated", "1", "7", "1", "掃除"});
    EXPECT_EQ(out_.str(), expected);
    EXPECT_EQ(err_.str(), "");
}

TEST_F(AgendaCommandTest, WithoutADateTheClocksTodayIsShown) {
    ASSERT_EQ(Run(AgendaCommand, {"--tsv", "2026-12-07"}), 0);
    const std::string explicitDay = out_.str();
    ASSERT_EQ(Run(AgendaCommand, {"--tsv"}), 0);
    EXPECT_EQ(out_.str(), explicitDay);
}

TEST_F(AgendaCommandTest, TheReadableFormAlignsJapaneseSubjects) {
    ASSERT_EQ(Run(AgendaCommand, {"2026-12-07"}), 0);
    // The subject column is as wide as the widest subject (夜行バス, eight columns), so every
    // location starts in the same column; the marks say R recurring, A reminder, I ink.
    const std::string text = out_.str();
    EXPECT_TRUE(
        text.starts_with("Agenda from Mon 2026-12-07\n\n"
                         "Mon 12-07  09:00-10:30  ....  会議      本社 3F  C:\\temp x / 二行目\n"
                         "Tue 12-08  15:00-16:00  RA.I  定例               "
                         "(handwritten, 7.dat, 2 ink records)\n"
                         "           22:00-...    ....  夜行バス\n"
                         "Wed 12-09  ...-02:00    ....  夜行バス\n"))
        << text;
    EXPECT_NE(text.find("\nUndated tasks (2)\n  [ ] 買い物\n  [x] 掃除\n"), std::string::npos);
}

// From 9999-12-21 on the twelve days run past the calendar's last day: the list ends with
// 9999-12-31, as the screen's leaves the rows after it blank (once std::out_of_range).
TEST_F(AgendaCommandTest, TheCalendarsLastDaysEndTheList) {
    ASSERT_EQ(Run(AddCommand, {"appointment", "--start", "9999-12-31T22:00", "--end",
                               "9999-12-31T23:59", "--subject", "最後"}),
              0)
        << err_.str();
    for (const char* day : {"9999-12-21", "9999-12-25", "9999-12-31"}) {
        ASSERT_EQ(Run(AgendaCommand, {day}), 0) << day << err_.str();
        const std::string text = out_.str();
        EXPECT_NE(text.find("Fri 12-31  22:00-23:59  ....  最後\n\nUndated tasks"),
                  std::string::npos)
            << text;
        EXPECT_EQ(text.find('?'), std::string::npos) << text;
        ASSERT_EQ(Run(AgendaCommand, {day, "--tsv"}), 0);
        const std::string tsv = out_.str();
        EXPECT_EQ(tsv.find('?'), std::string::npos) << tsv;
        // A row for each day left, the last day's holding the appointment, then the one open
        // undated task.
        const long days = 31 - std::stol(std::string(day).substr(8)) + 1;
        EXPECT_EQ(std::count(tsv.begin(), tsv.end(), '\n'), days + 1) << tsv;
        EXPECT_NE(tsv.find("\t9999-12-31\tappointment\t"), std::string::npos) << tsv;
    }
}

TEST_F(AgendaCommandTest, BadArgumentsAndAnUnreadableStoreFailWithOneLine) {
    for (const std::string bad : {"2026-02-30", "2026-13-01", "20261207", "2026-12-7", "today"}) {
        EXPECT_NE(Run(AgendaCommand, {bad}), 0) << bad;
        EXPECT_EQ(out_.str(), "");
        EXPECT_EQ(LineCount(err_.str()), 1) << err_.str();
        EXPECT_NE(err_.str().find(bad), std::string::npos);
    }
    EXPECT_NE(Run(AgendaCommand, {"2026-12-07", "2026-12-08"}), 0);

    testing_support::WriteBytes(home_.StorePath(), std::string(8192, '?'));
    std::filesystem::remove(home_.StorePath().string() + "-wal");
    std::filesystem::remove(home_.StorePath().string() + "-shm");
    EXPECT_EQ(Run(AgendaCommand, {"2026-12-07", "--tsv"}), 1);
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(LineCount(err_.str()), 1) << err_.str();
    EXPECT_TRUE(err_.str().starts_with("tessarinth-cli: agenda: ")) << err_.str();
}

}  // namespace
}  // namespace cli
