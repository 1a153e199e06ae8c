#include "controls/date_picker.h"

#include <gtest/gtest.h>

#include "platform/gui/dialog.h"
#include "platform/gui/month_calendar.h"
#include "resources/resource_ids.h"

namespace controls {
namespace {

platform::Date At(int year, int month, int day, int hour = 0, int minute = 0) {
    return *platform::MakeDate(year, month, day, hour, minute);
}

class DatePickerTest : public ::testing::Test {
protected:
    DatePickerTest() {
        screen_.SetModalResponder(&responder_);
        editor_ = screen_.CreateTopLevel<gui::Window>(u"TaskWindow", u"Tessarinth", gui::kWhite);
        editor_->Show();
    }

    // Runs the picker, picking `day` (or only looking when it is empty) and closing with
    // `command`; returns the picker's result and what its calendar started on.
    int Pick(DatePickerVariant variant, PickedDates& dates, std::optional<gui::CalendarDay> day,
             uint16_t command = resources::kCommandOk) {
        responder_.dialogAnswers.push_back({[this, day](gui::Dialog& dialog) {
                                                auto* calendar = dialog.ItemAs<gui::MonthCalendar>(
                                                    resources::kDatePickerCalendar);
                                                ASSERT_NE(calendar, nullptr);
                                                shownFirst_ = calendar->Selection();
                                                fullScreen_ = dialog.IsFullScreen();
                                                if (day) {
                                                    calendar->Pick(*day);
                                                }
                                            },
                                            command});
        return RunDatePicker(screen_, *editor_, variant, dates);
    }

    gui::DeviceScreen screen_{gui::Orientation::Portrait, 1};
    gui::ScriptedResponder responder_;
    gui::Window* editor_ = nullptr;
    gui::CalendarDay shownFirst_;
    bool fullScreen_ = false;
};

TEST_F(DatePickerTest, TheStartMovesTheEndAndTheSelectedDayEachKeepingItsTime) {
    PickedDates dates{At(2026, 10, 5, 10), At(2026, 10, 5, 11, 30), At(2026, 10, 3)};
    EXPECT_EQ(Pick(DatePickerVariant::StartDate, dates, gui::CalendarDay{2026, 10, 12}), 1);
    EXPECT_EQ(shownFirst_, (gui::CalendarDay{2026, 10, 5}));
    EXPECT_TRUE(fullScreen_);
    EXPECT_EQ(responder_.dialogsShown, std::vector<std::u16string>{u"日付の選択"});
    EXPECT_EQ(dates.start, At(2026, 10, 12, 10));
    EXPECT_EQ(dates.end, At(2026, 10, 12, 11, 30));
    EXPECT_EQ(dates.selectedDate, At(2026, 10, 12));

    // Over midnight: both land on the picked day, so the end now lies before the start.
    PickedDates night{At(2026, 10, 5, 23), At(2026, 10, 6, 1), At(2026, 10, 5)};
    Pick(DatePickerVariant::StartDate, night, gui::CalendarDay{2026, 10, 12});
    EXPECT_EQ(night.start, At(2026, 10, 12, 23));
    EXPECT_EQ(night.end, At(2026, 10, 12, 1));
}

TEST_F(DatePickerTest, TheEndVariantMovesTheEndAloneAndCancelNothing) {
    PickedDates dates{At(2026, 10, 5, 10), At(2026, 10, 5, 11, 30), At(2026, 10, 5)};
    Pick(DatePickerVariant::EndDate, dates, gui::CalendarDay{2026, 10, 7});
    EXPECT_EQ(dates.start, At(2026, 10, 5, 10));
    EXPECT_EQ(dates.end, At(2026, 10, 7, 11, 30));
    EXPECT_EQ(dates.selectedDate, At(2026, 10, 5));

    const PickedDates before = dates;
    EXPECT_EQ(Pick(DatePickerVariant::StartDate, dates, gui::CalendarDay{2027, 1, 1},
                   resources::kCommandCancel),
              2);
    EXPECT_EQ(dates.start, before.start);
    EXPECT_EQ(dates.end, before.end);
    EXPECT_EQ(dates.selectedDate, before.selectedDate);
}

TEST_F(DatePickerTest, ATaskWithoutDueDateStartsOnTheSelectedDayAndGetsMidnight) {
    PickedDates dates{0.0, 0.0, At(2026, 12, 7)};
    Pick(DatePickerVariant::StartDate, dates, std::nullopt);
    EXPECT_EQ(shownFirst_, (gui::CalendarDay{2026, 12, 7}));
    Pick(DatePickerVariant::StartDate, dates, gui::CalendarDay{2026, 12, 24});
    EXPECT_EQ(dates.start, At(2026, 12, 24));
    EXPECT_EQ(dates.selectedDate, At(2026, 12, 24));
}

TEST(WithDayOf, KeepsTheTimeAndRefusesDaysOutsideTheCalendar) {
    EXPECT_EQ(WithDayOf(At(2026, 1, 31, 8, 15), 2028, 2, 29), At(2028, 2, 29, 8, 15));
    EXPECT_EQ(WithDayOf(At(2026, 1, 31, 8, 15), 2026, 2, 30), At(2026, 1, 31, 8, 15));
    EXPECT_EQ(WithDayOf(0.0, 100, 1, 1), At(100, 1, 1));
}

}  // namespace
}  // namespace controls
