#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <sstream>
#include <string>

#include "cli/calendar_commands.h"
#include "platform/files/data_home.h"
#include "schedule/ink_entry.h"
#include "store/schedule_store.h"
#include "tests/support/temp_folder.h"

namespace cli {

// A week of December 2026 as another calendar program would export it: a meeting whose memo
// holds a backslash, a tab and a second line, a night bus over midnight, a two-day holiday, a
// weekly series with an alarm and a handwritten memo, a dated task and two undated ones, one of
// them done on the 7th.
inline constexpr const char* kWeekCalendar =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
    "BEGIN:VEVENT\r\nUID:a@test\r\nDTSTART:20261207T090000\r\nDTEND:20261207T103000\r\n"
    "SUMMARY:会議\r\nLOCATION:本社 3F\r\nDESCRIPTION:C:\\\\temp\tx\\n二行目\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:b@test\r\nDTSTART:20261208T220000\r\nDTEND:20261209T020000\r\n"
    "SUMMARY:夜行バス\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:c@test\r\nDTSTART;VALUE=DATE:20261210\r\nDTEND;VALUE=DATE:20261212\r\n"
    "SUMMARY:連休\r\nCATEGORIES:祝日\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:d@test\r\nDTSTART:20261201T150000\r\nDTEND:20261201T160000\r\n"
    "RRULE:FREQ=WEEKLY;COUNT=4\r\nSUMMARY:定例\r\nDESCRIPTION:7.dat\r\n"
    "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT15M\r\nDESCRIPTION:定例\r\nEND:VALARM\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VTODO\r\nUID:e@test\r\nDUE;VALUE=DATE:20261209\r\nSUMMARY:請求書\r\n"
    "DESCRIPTION:一行目\\n二行目\r\nEND:VTODO\r\n"
    "BEGIN:VTODO\r\nUID:f@test\r\nSUMMARY:買い物\r\nEND:VTODO\r\n"
    "BEGIN:VTODO\r\nUID:g@test\r\nSUMMARY:掃除\r\nSTATUS:COMPLETED\r\n"
    "COMPLETED:20261207T100000\r\nEND:VTODO\r\n"
    "END:VCALENDAR\r\n";

// A data home holding the imported week, with the series' memo marked handwritten as the
// planner marks its own, and the series' ink file "7.dat" (two records and a few stray bytes).
class ImportedHome : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        ASSERT_TRUE(folder_.Made());
        const auto ics = folder_.Path() / "week.ics";
        testing_support::WriteBytes(ics, kWeekCalendar);
        ASSERT_EQ(ImportCalendar(home_, ics.string()), 0);
        {
            store::Application store;
            ASSERT_TRUE(store.LogOn(home_.StorePath()).ok());
            auto series = store.GetAppointmentFromOid(kHandwrittenSeries);
            ASSERT_TRUE(series.ok());
            ASSERT_EQ(series->Body(), u"7.dat");
            series->SetHandwritten(true);
            ASSERT_TRUE(series->Save().ok());
        }
        const std::array<schedule::InkEntry, 2> ink{{{-3, 1}, {-1, -1}}};
        testing_support::WriteBytes(home_.DeviceRoot() / "My Documents" / "7.dat",
                                    schedule::EncodeInkEntries(ink) + "xyz");
    }

    // The weekly series, fourth of the events imported.
    static constexpr int32_t kHandwrittenSeries = 4;

    template <typename Command>
    int Run(Command command, std::initializer_list<std::string> args) {
        out_.str("");
        err_.str("");
        return command(home_, std::vector<std::string>(args), clock_, out_, err_);
    }

    static long LineCount(const std::string& text) {
        return std::count(text.begin(), text.end(), '\n');
    }

    // Tab-separated fields as one line.
    static std::string Line(std::initializer_list<std::string> fields) {
        std::string line;
        for (const std::string& field : fields) {
            line += (line.empty() ? "" : "\t") + field;
        }
        return line + "\n";
    }

    testing_support::TempFolder folder_;
    platform::DataHome home_{folder_.Path()};
    // Today, for commands run without a date.
    platform::FixedClock clock_{platform::CalendarFields{2026, 12, 1, 7, 18, 45, 0, 0}};
    std::ostringstream out_;
    std::ostringstream err_;
};

}  // namespace cli
