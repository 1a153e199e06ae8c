// The pen on the main window. A press is a hold (the context menu opens while the pen is down,
// and its pen up is ignored) or a tap (handled at pen up, where the first zone that matches
// ends the handling). The zones are the panels' own, declared beside their drawing.
#include <vector>

#include "app/main_window.h"
#include "editors/edit_record.h"
#include "resources/resource_ids.h"
#include "resources/shell_resources.h"
#include "views/month_grid.h"

namespace app {
namespace {

using namespace resources;

// The commands of the month grid's buttons, from the first button column on.
constexpr uint16_t kGridButtonCommands[] = {kCommandSummary, kCommandPreviousMonth, kCommandToday,
                                            kCommandNextMonth};

}  // namespace

void MainWindow::OnPenDown(gui::Point point) {
    holdHandled_ = false;
    OpenContextMenuOnHold(point);
}

void MainWindow::OpenContextMenuOnHold(gui::Point point) {
    const bool overCorner = views::kCornerHoldZone.Contains(point);
    const views::DayListHit hit = views::DayListHitAt(point);
    const bool overItems = hit.zone == views::DayListZone::Items && hit.row >= 0 &&
                           hit.row < static_cast<int>(schedule::kDayItemRows);
    if (!overCorner && !overItems) {
        return;
    }
    const gui::Rect screenRect = ScreenRect();
    const gui::Point screenPoint{screenRect.left + point.x, screenRect.top + point.y};
    if (Screen().RecognizeHold(screenPoint) != gui::kHoldGesture) {
        return;
    }
    gui::PopupMenu menu = PopupOf(kContextMenu, 0);
    int64_t heldCalendarId = 0;
    if (overCorner) {
        // Only the rows the panel shows take the menu, empty ones too (a task can be pasted or
        // made there): the zone's bottom pixel row would name the first entry of the next page,
        // which the user cannot see.
        const int row = views::CornerRowAt(point);
        if (row < 0 || row >= views::kCornerEntriesPerPage) {
            return;
        }
        const int64_t index =
            static_cast<int64_t>(planner_.dayItems->cornerPage) * views::kCornerEntriesPerPage +
            row;
        const auto& tasks = planner_.dayItems->undatedTasks;
        contextInCornerPanel_ = 1;
        contextRow_ = row;
        heldKind_ = schedule::DayItemKind::EmptyDay;
        heldObjectId_ = index < static_cast<int64_t>(tasks.size())
                            ? tasks[static_cast<size_t>(index)].objectId
                            : 0;
        heldRowDate_ = 0;
        heldCalendarId =
            heldObjectId_ != 0 ? tasks[static_cast<size_t>(index)].calendarId : int64_t{0};
        menu.EnableItem(kCommandToggleComplete, true);
        menu.EnableItem(kCommandNewTaskHere, true);
        menu.EnableItem(kCommandPasteAsAppointment, false);
    } else {
        contextInCornerPanel_ = 0;
        contextRow_ = hit.row;
        const schedule::DayItemRow& row = planner_.dayItems->table[static_cast<size_t>(hit.row)];
        heldKind_ = row.kind;
        heldObjectId_ = row.kind == schedule::DayItemKind::EmptyDay ? 0 : row.objectId;
        heldRowDate_ = row.rowDate;
        heldCalendarId = row.calendarId;
        menu.EnableItem(kCommandToggleComplete, row.kind == schedule::DayItemKind::DatedTask);
        menu.EnableItem(kCommandNewTaskHere, settings::IsOn(planner_.settings.bTask));
        menu.EnableItem(kCommandPasteAsAppointment, true);
    }
    // An item of a read-only calendar can only be copied.
    if (heldObjectId_ != 0 && planner_.dayItems->calendars.IsReadOnly(heldCalendarId)) {
        for (const gui::MenuItem& item : std::vector<gui::MenuItem>(menu.Items())) {
            if (!item.separator) {
                menu.EnableItem(item.command, item.command == kCommandCopy);
            }
        }
    }
    // The chosen command arrives as a message of its own, once the menu is gone and the hold
    // noted.
    if (const uint16_t chosen = Screen().TrackPopupMenu(menu, screenPoint); chosen != 0) {
        PostCommand(chosen);
    }
    holdHandled_ = true;
}

void MainWindow::OnPenUp(gui::Point point) {
    if (holdHandled_) {
        return;
    }
    if (views::kCornerNextPageZone.Contains(point)) {
        if (cornerMarks_.moreBelow != 0) {
            ++planner_.dayItems->cornerPage;
            Repaint();
        }
        return;
    }
    if (views::kCornerPreviousPageZone.Contains(point)) {
        if (cornerMarks_.moreAbove != 0) {
            --planner_.dayItems->cornerPage;
            Repaint();
        }
        return;
    }
    if (const std::optional<views::MonthGridCell> cell = views::MonthGridCellAt(point)) {
        const platform::Date date = planner_.census.dates[cell->Index()];
        if (date != 0) {
            SelectDay(date);
        } else if (cell->row == views::kMonthGridButtonRow &&
                   cell->column >= views::kMonthGridFirstButtonColumn) {
            PostCommand(kGridButtonCommands[cell->column - views::kMonthGridFirstButtonColumn]);
        }
        return;
    }
    const views::DayListHit hit = views::DayListHitAt(point);
    if (hit.zone == views::DayListZone::None || hit.row < 0 ||
        hit.row >= static_cast<int>(schedule::kDayItemRows)) {
        return;
    }
    TapOnDayList(hit);
}

void MainWindow::TapOnDayList(const views::DayListHit& hit) {
    const schedule::DayItemRow& row = planner_.dayItems->table[static_cast<size_t>(hit.row)];
    editors::EditRecord& record = *planner_.editRecord;
    switch (hit.zone) {
        case views::DayListZone::DateColumn:
            // Whatever the row holds: a new appointment at the start of its day.
            editors::FillForNewAppointment(record, row.rowDate);
            OpenEditor(EditorKind::Appointment);
            return;
        case views::DayListZone::Items:
            if (row.kind == schedule::DayItemKind::Appointment) {
                editors::FillFromAppointmentRow(record, row);
                OpenEditor(EditorKind::Appointment);
            } else if (row.kind == schedule::DayItemKind::DatedTask) {
                editors::FillFromTaskRow(record, row);
                OpenEditor(EditorKind::Task);
            }
            return;
        case views::DayListZone::Divider:
        case views::DayListZone::None:
            return;
    }
}

}  // namespace app
