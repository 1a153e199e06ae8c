#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "tests/app/planner_fixture.h"

namespace app {
namespace {

using namespace resources;
using schedule::DayItemKind;

// A week with an appointment, a weekly series, a dated task and five undated tasks.
class PenInputTest : public PlannerFixture {
protected:
    void SetUp() override {
        Start([](store::Application& store) {
            calendar::AppointmentRecord meeting;
            meeting.start = At(2026, 12, 7, 10);
            meeting.end = At(2026, 12, 7, 11);
            meeting.subject = u"会議";
            calendar::AppointmentRecord weekly = meeting;
            weekly.start = At(2026, 12, 1, 15);
            weekly.end = At(2026, 12, 1, 16);
            weekly.subject = u"定例";
            weekly.recurrence.rule = "FREQ=WEEKLY;COUNT=4";
            weekly.zoneStart = weekly.start;
            calendar::TaskRecord dated;
            dated.subject = u"請求書";
            dated.dueDate = At(2026, 12, 7);
            std::vector<calendar::TaskRecord> tasks{dated};
            for (int i = 0; i < 5; ++i) {
                calendar::TaskRecord undated;
                undated.subject = u"用事" + std::u16string(1, static_cast<char16_t>(u'1' + i));
                tasks.push_back(undated);
            }
            ASSERT_TRUE(store.AddAll({meeting, weekly}, tasks).ok());
        });
    }

    // The enabled state of the last context menu's items, by command.
    bool Enabled(uint16_t command) const {
        for (const gui::MenuItem& item : responder_.popupsShown.back()) {
            if (item.command == command) {
                return item.enabled;
            }
        }
        ADD_FAILURE() << "no item " << command;
        return false;
    }
};

TEST_F(PenInputTest, AHoldOnARowOpensTheContextMenuAndItsPenUpDoesNothingMore) {
    ASSERT_EQ(Row(0).kind, DayItemKind::Appointment);
    ASSERT_EQ(Row(1).kind, DayItemKind::DatedTask);
    Hold(ItemRow(1));
    ASSERT_EQ(responder_.popupsShown.size(), 1u);
    EXPECT_TRUE(Enabled(kCommandToggleComplete));
    EXPECT_TRUE(Enabled(kCommandNewTaskHere));
    EXPECT_TRUE(Enabled(kCommandPasteAsAppointment));
    EXPECT_TRUE(main_->HoldHandled());
    EXPECT_EQ(main_->ContextRow(), 1);
    EXPECT_FALSE(main_->ContextInCornerPanel());
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);  // the task was not opened

    planner_.settings.bTask = 0;
    Hold(ItemRow(0));
    EXPECT_FALSE(Enabled(kCommandToggleComplete));
    EXPECT_FALSE(Enabled(kCommandNewTaskHere));
    EXPECT_EQ(main_->ContextRow(), 0);

    // The chosen command reaches the window once the hold is noted: a new task on the row's day.
    planner_.settings.bTask = 1;
    Hold(ItemRow(3), kCommandNewTaskHere);
    EXPECT_TRUE(main_->HoldHandled());
    ASSERT_NE(main_->OpenEditorWindow(), nullptr);
    EXPECT_EQ(planner_.editRecord->Start, Row(3).rowDate);
    main_->OpenEditorWindow()->SendCommand(resources::kCommandBack);
    // A tap after a hold is a tap again.
    Tap(GridCell(3, 4));
    EXPECT_FALSE(main_->HoldHandled());
    EXPECT_EQ(main_->SelectedDate(), At(2026, 12, 24));
}

TEST_F(PenInputTest, OnlyTheCornerRowsShownTakeAHoldEmptyOrNot) {
    Hold(CornerEntry(3));
    ASSERT_EQ(responder_.popupsShown.size(), 1u);
    EXPECT_TRUE(main_->ContextInCornerPanel());
    EXPECT_EQ(main_->ContextRow(), 3);
    EXPECT_TRUE(Enabled(kCommandToggleComplete));
    EXPECT_TRUE(Enabled(kCommandNewTaskHere));
    EXPECT_FALSE(Enabled(kCommandPasteAsAppointment));

    // y 74 and 75 of the zone name row 4: the next page's first task, not on screen.
    responder_.holds.push_back(true);
    screen_.PenDown({60, 26 + 75});
    screen_.PenUp({60, 26 + 75});
    EXPECT_EQ(responder_.popupsShown.size(), 1u);
    EXPECT_FALSE(main_->HoldHandled());

    // On the second page one entry is shown; the empty row below it takes a paste.
    Tap({118, 26 + 58});  // "▼"
    ASSERT_EQ(planner_.dayItems->cornerPage, 1);
    Hold(CornerEntry(1));
    ASSERT_EQ(responder_.popupsShown.size(), 2u);
    EXPECT_TRUE(main_->ContextInCornerPanel());
    EXPECT_EQ(main_->ContextRow(), 1);
    EXPECT_FALSE(Enabled(kCommandPasteAsAppointment));
}

TEST_F(PenInputTest, TheArrowsPageOnlyWhileShown) {
    Tap({118, 26 + 16});  // "▲" is not shown on the first page
    EXPECT_EQ(planner_.dayItems->cornerPage, 0);
    Tap({118, 26 + 58});
    EXPECT_EQ(planner_.dayItems->cornerPage, 1);
    Tap({118, 26 + 58});  // no "▼" on the last page
    EXPECT_EQ(planner_.dayItems->cornerPage, 1);
    Tap({118, 26 + 16});
    EXPECT_EQ(planner_.dayItems->cornerPage, 0);
}

TEST_F(PenInputTest, GridTapsSelectDaysAndTheLastRowsEmptyCellsAreButtons) {
    // December 2026 starts on a Tuesday and ends on a Thursday, on the fifth row.
    Tap(GridCell(0, 2));
    EXPECT_EQ(main_->SelectedDate(), At(2026, 12, 1));
    EXPECT_EQ(planner_.dayItems->window[0], At(2026, 12, 1));
    Tap(GridCell(4, 4));
    EXPECT_EQ(main_->SelectedDate(), At(2026, 12, 31));
    Tap(GridCell(0, 0));  // no day there
    EXPECT_EQ(main_->SelectedDate(), At(2026, 12, 31));
    Tap({239, GridCell(2, 6).y});  // one past the zone
    EXPECT_EQ(main_->SelectedDate(), At(2026, 12, 31));

    Tap(GridCell(5, 6));  // ">": next month
    EXPECT_EQ(main_->SelectedDate(), At(2027, 1, 31));
    // January 2027 ends on a Sunday of the sixth row: the buttons' cells left are 3 to 6.
    Tap(GridCell(5, 4));  // "<"
    EXPECT_EQ(main_->SelectedDate(), At(2026, 12, 31));
    Tap(GridCell(5, 5));  // "・": today
    EXPECT_EQ(main_->SelectedDate(), At(2026, 12, 7));
    Tap(GridCell(5, 3));  // "i": the summary
    EXPECT_NE(screen_.OkButtonTarget(), nullptr);
    EXPECT_EQ(screen_.OkButtonTarget()->ClassName(), u"InfoWindow");
}

TEST_F(PenInputTest, TapsOnRowsOpenTheirItemOrOccurrenceOrNothing) {
    ASSERT_EQ(Row(2).kind, DayItemKind::Appointment);  // the weekly series on the 8th
    ASSERT_EQ(Row(2).recurring, 1);
    ASSERT_EQ(Row(3).kind, DayItemKind::EmptyDay);
    // An occurrence opens the appointment editor on itself.
    Tap(ItemRow(2));
    ASSERT_NE(main_->OpenEditorWindow(), nullptr);
    EXPECT_EQ(main_->OpenEditorWindow()->ClassName(), u"TimeWindow");
    EXPECT_EQ(planner_.editRecord->ItemOid, Row(2).objectId);
    EXPECT_EQ(planner_.editRecord->Start, Row(2).start);
    EXPECT_EQ(planner_.editRecord->Occurrence, Row(2).occurrence);
    EXPECT_EQ(planner_.editRecord->Recurring, 1);
    main_->OpenEditorWindow()->SendCommand(kCommandBack);

    Tap(ItemRow(3));
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);
    Tap(ItemRow(1, 52));  // between the date column and the items
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);
    Tap({100, 26 + 76});  // the list's top line
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);

    // The date column of an empty day: a new appointment at the start of that day.
    Tap(ItemRow(3, 20));
    ASSERT_NE(main_->OpenEditorWindow(), nullptr);
    EXPECT_EQ(main_->OpenEditorWindow()->ClassName(), u"TimeWindow");
    EXPECT_EQ(planner_.editRecord->Start, At(2026, 12, 9));
    EXPECT_EQ(planner_.editRecord->ItemOid, 0);
    main_->OpenEditorWindow()->SendCommand(kCommandBack);

    Tap(ItemRow(1));
    ASSERT_NE(main_->OpenEditorWindow(), nullptr);
    EXPECT_EQ(main_->OpenEditorWindow()->ClassName(), u"TaskWindow");
    EXPECT_EQ(planner_.editRecord->Subject, u"請求書");
    EXPECT_EQ(planner_.editRecord->ItemOid, Row(1).objectId);
}

}  // namespace
}  // namespace app
