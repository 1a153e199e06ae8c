// 検索 from the 移動 menu: the find dialog lists what holds the text, and a tap on an item goes
// to its day as the date commands go.
#include <gtest/gtest.h>

#include "controls/find_dialog.h"
#include "platform/gui/dialog.h"
#include "platform/gui/push_button.h"
#include "resources/resource_ids.h"
#include "tests/app/planner_fixture.h"

namespace app {
namespace {

using namespace resources;

// Today is Monday 7 December 2026: a dentist's appointment in March, a weekly series from
// November, a task without a date, and thirty numbered meetings.
class FindItemsTest : public PlannerFixture {
protected:
    void SetUp() override {
        Start([](store::Application& store) {
            calendar::AppointmentRecord dentist;
            dentist.start = At(2026, 3, 2, 10);
            dentist.end = At(2026, 3, 2, 11);
            dentist.subject = u"歯医者";
            dentist.location = u"駅前";
            calendar::AppointmentRecord weekly;
            weekly.start = At(2026, 11, 2, 10);
            weekly.end = At(2026, 11, 2, 11);
            weekly.subject = u"定例";
            weekly.recurrence.rule = "FREQ=WEEKLY";
            weekly.zoneStart = weekly.start;
            std::vector<calendar::AppointmentRecord> appointments{dentist, weekly};
            for (int i = 0; i < 30; ++i) {
                calendar::AppointmentRecord meeting;
                meeting.start = At(2027, 1, 4, 9) + i;
                meeting.end = meeting.start + 1.0 / 24;
                meeting.subject = u"Meeting " + std::u16string(1, static_cast<char16_t>(u'A' + i));
                appointments.push_back(meeting);
            }
            calendar::TaskRecord undated;
            undated.subject = u"歯ブラシ";
            ASSERT_TRUE(store.AddAll(appointments, {undated}).ok());
        });
    }

    // The list of the find dialog that is open.
    static controls::FoundListWindow* ListOf(gui::Dialog& dialog) {
        for (gui::Window* child : dialog.Children()) {
            if (auto* list = dynamic_cast<controls::FoundListWindow*>(child)) {
                return list;
            }
        }
        return nullptr;
    }

    // Types the text and presses 検索, as the user does.
    void Find(gui::Dialog& dialog, std::u16string_view text) {
        dialog.SetItemText(kFindText, text);
        auto* button = dialog.ItemAs<gui::PushButton>(kFindRun);
        ASSERT_NE(button, nullptr);
        button->Click();
        screen_.ProcessPending();
    }

    // A tap on a shown row of the list (0: the top one).
    void TapRow(const controls::FoundListWindow& list, int shownRow) {
        const gui::Rect rect = list.ScreenRect();
        const gui::Point point{rect.left + 80, rect.top + 1 + 16 * shownRow + 8};
        screen_.PenDown(point);
        screen_.ProcessPending();
        screen_.PenUp(point);
        screen_.ProcessPending();
    }

    // 移動 on the menu bar, and 検索 from its drop-down.
    void ChooseFind() {
        responder_.popupCommands.push_back(kCommandFind);
        screen_.PenDown({60, 310});
        screen_.ProcessPending();
        screen_.PenUp({60, 310});
        screen_.ProcessPending();
        screen_.PaintPending();
    }

    // Runs the dialog with `act`, which is given it and its list, then closed by `close`
    // unless a tap closed it first.
    void WithFindDialog(const std::function<void(gui::Dialog&, controls::FoundListWindow&)>& act,
                        uint16_t close = kCommandCancel) {
        responder_.dialogAnswers.push_back({[&, act](gui::Dialog& dialog) {
                                                auto* list = ListOf(dialog);
                                                ASSERT_NE(list, nullptr);
                                                act(dialog, *list);
                                            },
                                            close});
        ChooseFind();
        EXPECT_EQ(responder_.dialogsShown.back(), u"検索");
        EXPECT_EQ(responder_.unexpected, 0);
    }
};

TEST_F(FindItemsTest, FindIsTheLastItemOfGoTo) {
    responder_.popupCommands.push_back(0);
    screen_.PenDown({60, 310});
    screen_.ProcessPending();
    ASSERT_EQ(responder_.popupsShown.size(), 1u);
    const std::vector<gui::MenuItem>& items = responder_.popupsShown[0];
    ASSERT_EQ(items.size(), 12u);
    EXPECT_TRUE(items[10].separator);
    EXPECT_EQ(items[11].text, u"検索");
    EXPECT_EQ(items[11].command, kCommandFind);
    EXPECT_TRUE(items[11].enabled);
}

TEST_F(FindItemsTest, ATapOnAFoundItemGoesToItsDay) {
    WithFindDialog([&](gui::Dialog& dialog, controls::FoundListWindow& list) {
        // Full screen under the navigation bar, the list under the text field to its edges.
        EXPECT_EQ(dialog.ScreenRect(), screen_.WorkArea());
        EXPECT_EQ(list.ScreenRect().left, 2);
        EXPECT_EQ(list.ScreenRect().right, 238);
        EXPECT_EQ(list.ScreenRect().bottom, screen_.WorkArea().bottom - 2);
        EXPECT_GT(list.ScreenRect().top, dialog.Item(kFindText)->ScreenRect().bottom);
        Find(dialog, u"歯");
        // The year's heading, the appointment, the heading of the tasks without a date, the task.
        ASSERT_EQ(list.Rows().size(), 4u);
        ASSERT_EQ(list.Found().items.size(), 2u);
        EXPECT_EQ(list.Found().items[0].subject, u"歯医者");
        TapRow(list, 1);
    });
    EXPECT_EQ(main_->SelectedDate(), At(2026, 3, 2));
    EXPECT_EQ(main_->SelectedDateFields().Month, 3);
    EXPECT_EQ(main_->TodayDate(), At(2026, 12, 7));
    // The day was loaded as a date command loads it.
    EXPECT_EQ(Row(0).subject, u"歯医者");
    EXPECT_EQ(planner_.census.census.cachedMonth, 3);
    EXPECT_EQ(screen_.ActiveWindow(), main_);
}

TEST_F(FindItemsTest, ASeriesLeadsToItsNextOccurrenceFromThePlannersToday) {
    main_->SendCommand(kCommandNextWeek);
    ASSERT_EQ(main_->SelectedDate(), At(2026, 12, 14));
    WithFindDialog([&](gui::Dialog& dialog, controls::FoundListWindow& list) {
        Find(dialog, u"定例");
        ASSERT_EQ(list.Found().items.size(), 1u);
        EXPECT_EQ(list.Found().items[0].occurrence, store::SeriesOccurrence::Next);
        TapRow(list, 1);
    });
    // Today is a Monday: its own occurrence is the next, whichever day is shown.
    EXPECT_EQ(main_->SelectedDate(), At(2026, 12, 7));
}

TEST_F(FindItemsTest, HeadingsAnOpenUndatedTaskAndClosingLeaveTheDayAlone) {
    main_->SendCommand(kCommandNextWeek);
    ASSERT_EQ(main_->SelectedDate(), At(2026, 12, 14));
    WithFindDialog([&](gui::Dialog& dialog, controls::FoundListWindow& list) {
        Find(dialog, u"歯");
        TapRow(list, 0);  // the year's heading
        TapRow(list, 2);  // 日付なし
        EXPECT_FALSE(dialog.IsEnded());
        TapRow(list, 3);  // the task without a date: on every day's corner panel
        EXPECT_TRUE(dialog.IsEnded());
    });
    EXPECT_EQ(main_->SelectedDate(), At(2026, 12, 14));
    WithFindDialog(
        [&](gui::Dialog& dialog, controls::FoundListWindow& list) {
            Find(dialog, u"歯医者");
            EXPECT_EQ(list.Found().items.size(), 1u);
        },
        kCommandOk);
    EXPECT_EQ(main_->SelectedDate(), At(2026, 12, 14));
}

TEST_F(FindItemsTest, NothingFoundAndAnEmptyTextSaySo) {
    WithFindDialog([&](gui::Dialog& dialog, controls::FoundListWindow& list) {
        Find(dialog, u"   ");
        EXPECT_TRUE(list.Rows().empty());
        Find(dialog, u"歯医者はなし");
        EXPECT_TRUE(list.Rows().empty());
        EXPECT_TRUE(list.Found().items.empty());
        Find(dialog, u"ＭＥＥＴＩＮＧ　ａ");
        EXPECT_EQ(list.Found().items.size(), 1u);
        // Return in the text field finds, as 検索 does.
        dialog.SetItemText(kFindText, u"定例");
        dialog.Item(kFindText)->Focus();
        screen_.KeyDown(gui::Key::Return);
        screen_.ProcessPending();
        ASSERT_EQ(list.Found().items.size(), 1u);
        EXPECT_EQ(list.Found().items[0].subject, u"定例");
    });
}

TEST_F(FindItemsTest, ALongListScrollsAndTheRowTappedIsTheOneShown) {
    size_t shown = 0;
    WithFindDialog([&](gui::Dialog& dialog, controls::FoundListWindow& list) {
        Find(dialog, u"meeting");
        ASSERT_EQ(list.Found().items.size(), 30u);
        ASSERT_EQ(list.Rows().size(), 31u);  // under 2027
        shown = list.VisibleRows();
        ASSERT_LT(shown, 31u);
        ASSERT_NE(list.Bar(), nullptr);
        EXPECT_EQ(list.Bar()->Maximum(), static_cast<int>(31 - shown));
        // A tap on the bar's track under its thumb pages down.
        const gui::Rect bar = list.Bar()->ScreenRect();
        const gui::Point track{bar.left + 6, bar.bottom - 20};
        screen_.PenDown(track);
        screen_.PenUp(track);
        screen_.ProcessPending();
        EXPECT_EQ(list.FirstRow(), shown);
        EXPECT_EQ(list.Bar()->Value(), static_cast<int>(shown));
        TapRow(list, 0);
    });
    // The top row was item `shown - 1` (row 0 is the heading): 4 January and as many days more.
    ASSERT_GT(shown, 0u);
    EXPECT_EQ(main_->SelectedDate(), At(2027, 1, 4) + static_cast<double>(shown - 1));
}

TEST_F(FindItemsTest, TheListFillsTheScreenTurnedAndFollowsATurn) {
    screen_.Rotate();
    WithFindDialog([&](gui::Dialog& dialog, controls::FoundListWindow& list) {
        EXPECT_EQ(list.ScreenRect().right, 318);
        EXPECT_EQ(list.ScreenRect().bottom, screen_.WorkArea().bottom - 2);
        EXPECT_FALSE(dialog.IsScrollable());
        Find(dialog, u"meeting");
        const size_t landscapeRows = list.VisibleRows();
        screen_.Rotate();
        EXPECT_EQ(list.ScreenRect().right, 238);
        EXPECT_EQ(list.ScreenRect().bottom, screen_.WorkArea().bottom - 2);
        EXPECT_GT(list.VisibleRows(), landscapeRows);
        EXPECT_EQ(list.Bar()->ScreenRect().right, 237);
    });
}

}  // namespace
}  // namespace app
