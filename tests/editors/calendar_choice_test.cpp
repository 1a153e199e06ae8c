// The editors' calendar line: shown only with several calendars, it names the item's calendar,
// and "." moves a new or stored item to another one, as a change undo takes back.
#include <gtest/gtest.h>

#include "editors/appointment_editor.h"
#include "editors/task_editor.h"
#include "resources/resource_ids.h"
#include "schedule/item_calendars.h"
#include "tests/app/planner_fixture.h"

namespace editors::calendar_choice {
namespace {

using namespace resources;
using app::At;
using app::ItemRow;

// Where the editors' "." of the calendar line lies on the screen (their layouts, moved down by
// the navigation bar), and the navigation bar's OK.
constexpr gui::Point kAppointmentCalendarButton{131, 26 + 114};
constexpr gui::Point kTaskCalendarButton{233, 26 + 58};
constexpr gui::Point kOkButton{230, 12};

// On Monday 7 December 2026, in the default calendar: a meeting and a dated task. With
// `withWork`, the store has a second calendar, 仕事.
class CalendarChoiceTest : public app::PlannerFixture {
protected:
    void StartWith(bool withWork) {
        Start([&](store::Application& store) {
            if (withWork) {
                work_.name = "仕事";
                work_.color = "#11AA33";
                ASSERT_TRUE(store.SaveCalendar(work_).ok());
            }
            calendar::AppointmentRecord meeting;
            meeting.start = At(2026, 12, 7, 10);
            meeting.end = At(2026, 12, 7, 11);
            meeting.subject = u"会議";
            calendar::AppointmentRecord weekly;
            weekly.start = At(2026, 12, 7, 15);
            weekly.end = At(2026, 12, 7, 16);
            weekly.subject = u"定例";
            weekly.recurrence.rule = "FREQ=WEEKLY;COUNT=3";
            weekly.zoneStart = weekly.start;
            calendar::TaskRecord report;
            report.subject = u"報告";
            report.dueDate = At(2026, 12, 7);
            ASSERT_TRUE(store.AddAll({meeting, weekly}, {report}).ok());
        });
    }
    int RowOf(std::u16string_view subject) const {
        for (size_t i = 0; i < schedule::kDayItemRows; ++i) {
            if (Row(i).subject == subject && Row(i).objectId != 0) {
                return static_cast<int>(i);
            }
        }
        ADD_FAILURE() << "not listed";
        return 0;
    }
    // The calendar the only stored appointment (or task) with the subject is in.
    int64_t CalendarOf(std::u16string_view subject) {
        auto appointments = Reader().AllAppointments();
        auto tasks = Reader().AllTasks();
        EXPECT_TRUE(appointments.ok() && tasks.ok());
        for (const auto& record : *appointments) {
            if (record.subject == subject) {
                return record.calendarId;
            }
        }
        for (const auto& record : *tasks) {
            if (record.subject == subject) {
                return record.calendarId;
            }
        }
        return -1;
    }
    // Taps "." and picks the `position`th calendar of its pop-up (1 the first).
    void Choose(gui::Point button, uint16_t position) {
        responder_.popupCommands.push_back(position);
        Press(button);
    }
    void Command(uint16_t command) {
        main_->PostCommand(command);
        screen_.ProcessPending();
    }

    store::StoreCalendar work_;
};

TEST_F(CalendarChoiceTest, AMeetingMovedToAnotherCalendarIsStoredThereAndTakenBack) {
    StartWith(true);
    Tap(ItemRow(RowOf(u"会議")));
    ASSERT_NE(dynamic_cast<AppointmentEditor*>(main_->OpenEditorWindow()), nullptr);
    Choose(kAppointmentCalendarButton, 2);
    ASSERT_EQ(responder_.popupsShown.size(), 1u);
    ASSERT_EQ(responder_.popupsShown[0].size(), 2u);
    EXPECT_EQ(responder_.popupsShown[0][0].text, u"・カレンダー");
    EXPECT_EQ(responder_.popupsShown[0][1].text, u"　仕事");
    EXPECT_EQ(CalendarOf(u"会議"), 1);  // nothing moves before OK
    Press(kOkButton);
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);
    EXPECT_EQ(CalendarOf(u"会議"), work_.id);
    EXPECT_EQ(Row(static_cast<size_t>(RowOf(u"会議"))).calendarId, work_.id);

    Command(kCommandUndo);
    EXPECT_EQ(CalendarOf(u"会議"), 1);
    Command(kCommandRedo);
    EXPECT_EQ(CalendarOf(u"会議"), work_.id);
}

// The calendar is the series': chosen on an occurrence, it moves the whole series without
// asking whether the change is for this occurrence alone; with another change it asks as ever.
TEST_F(CalendarChoiceTest, AnOccurrenceMovesItsWholeSeriesWithoutAQuestion) {
    StartWith(true);
    Tap(ItemRow(RowOf(u"定例")));
    ASSERT_NE(dynamic_cast<AppointmentEditor*>(main_->OpenEditorWindow()), nullptr);
    Choose(kAppointmentCalendarButton, 2);
    Press(kOkButton);
    EXPECT_TRUE(responder_.messageBoxTexts.empty());
    EXPECT_EQ(CalendarOf(u"定例"), work_.id);
    auto appointments = Reader().AllAppointments();
    ASSERT_TRUE(appointments.ok());
    for (const auto& record : *appointments) {
        if (record.subject == u"定例") {
            EXPECT_EQ(record.recurrence.rule, "FREQ=WEEKLY;COUNT=3");
            EXPECT_TRUE(record.recurrence.changes.empty());
        }
    }

    Tap(ItemRow(RowOf(u"定例")));
    Choose(kAppointmentCalendarButton, 1);
    Press({59, 26 + 94});  // the reminder box ticked too
    responder_.messageBoxAnswers.push_back(gui::MessageBoxAnswer::Cancel);
    Press(kOkButton);
    EXPECT_EQ(responder_.messageBoxTexts.size(), 1u);
    EXPECT_EQ(CalendarOf(u"定例"), work_.id);  // cancelled: back in the editor, nothing written
}

TEST_F(CalendarChoiceTest, LeavingTheEditorAfterAChoiceMovesNothing) {
    StartWith(true);
    Tap(ItemRow(RowOf(u"会議")));
    Choose(kAppointmentCalendarButton, 2);
    main_->OpenEditorWindow()->SendCommand(kCommandBack);
    screen_.ProcessPending();
    EXPECT_EQ(CalendarOf(u"会議"), 1);
}

TEST_F(CalendarChoiceTest, ANewAppointmentGoesToTheCalendarChosen) {
    StartWith(true);
    Tap(ItemRow(0, 20));  // the date column: a new appointment on the 7th
    ASSERT_NE(dynamic_cast<AppointmentEditor*>(main_->OpenEditorWindow()), nullptr);
    Choose(kAppointmentCalendarButton, 2);
    Press(kOkButton);
    auto appointments = Reader().AllAppointments();
    ASSERT_TRUE(appointments.ok());
    ASSERT_EQ(appointments->size(), 3u);
    EXPECT_EQ(CalendarOf(u""), work_.id);
}

TEST_F(CalendarChoiceTest, ATaskMovesToAnotherCalendarFromTheTaskEditor) {
    StartWith(true);
    Tap(ItemRow(RowOf(u"報告")));
    ASSERT_NE(dynamic_cast<TaskEditor*>(main_->OpenEditorWindow()), nullptr);
    Choose(kTaskCalendarButton, 2);
    Press(kOkButton);
    EXPECT_EQ(CalendarOf(u"報告"), work_.id);
    Command(kCommandUndo);
    EXPECT_EQ(CalendarOf(u"報告"), 1);
}

// The line's place in the appointment editor on the screen: white but where the line draws.
int InkedInAppointmentLine(const QImage& screen) {
    int inked = 0;
    for (int y = 26 + 106; y < 26 + 122; ++y) {
        for (int x = 0; x < 136; ++x) {
            inked += screen.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
        }
    }
    return inked;
}

TEST_F(CalendarChoiceTest, TheLineShowsTheCalendarsSwatchOnlyWithSeveralCalendars) {
    StartWith(true);
    Tap(ItemRow(RowOf(u"会議")));
    ASSERT_NE(main_->OpenEditorWindow(), nullptr);
    const QImage before = screen_.Render(1);
    EXPECT_GT(InkedInAppointmentLine(before), 0);
    // The swatch's inside is the calendar's colour: the palette's for calendar 1, then 仕事's.
    const auto swatch = [](const QImage& image) { return image.pixel(7, 26 + 106 + 8); };
    const settings::Colorref own = schedule::PaletteColour(1);
    EXPECT_EQ(swatch(before), qRgb(own & 0xFF, (own >> 8) & 0xFF, (own >> 16) & 0xFF));
    Choose(kAppointmentCalendarButton, 2);
    screen_.PaintPending();
    EXPECT_EQ(swatch(screen_.Render(1)), qRgb(0x11, 0xAA, 0x33));
}

TEST_F(CalendarChoiceTest, WithOneCalendarTheEditorsHaveNoCalendarLine) {
    StartWith(false);
    Tap(ItemRow(RowOf(u"会議")));
    ASSERT_NE(main_->OpenEditorWindow(), nullptr);
    EXPECT_EQ(InkedInAppointmentLine(screen_.Render(1)), 0);
    Choose(kAppointmentCalendarButton, 1);
    main_->OpenEditorWindow()->SendCommand(kCommandBack);
    screen_.ProcessPending();
    Tap(ItemRow(RowOf(u"報告")));
    Choose(kTaskCalendarButton, 1);
    EXPECT_TRUE(responder_.popupsShown.empty());
}

}  // namespace
}  // namespace editors::calendar_choice
