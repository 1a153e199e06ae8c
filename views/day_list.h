#pragma once

#include <QImage>
#include <string>

#include "platform/gui/surface.h"
#include "views/view_state.h"

namespace views {

// The three icons of the day list, loaded once at start-up.
struct DayListIcons {
    QImage reminder;   // 117
    QImage memo;       // 119
    QImage recurring;  // 118
};

DayListIcons LoadDayListIcons();

// A date label: month/day and the weekday letter, for example 10/5火.
std::u16string DayListLabelText(platform::Date rowDate);

// The text of a row's item line: "9-10:30 subject@location" for an appointment, "期限日:subject"
// for a dated task, nothing for an empty day. For an appointment whose memo is handwriting and
// whose subject is empty it is the time text alone; the ink is drawn after it.
std::u16string DayListLineText(const schedule::DayItemRow& row);

// The lower panel of the main window: the rows of the day item table with their date labels,
// times, subjects, icons, ink and the brackets of all-day spans; with more than one calendar
// shown, a 2-pixel bar in each item's calendar colour at x 51-52, between the divider and the
// text. `windowRect` is the main
// window's rectangle on the screen: narrower than tall is portrait (12 rows), else landscape
// (7 rows).
void DrawDayList(gui::Surface& surface, const gui::Rect& windowRect, const ViewState& state,
                 const DayListIcons& icons);

// What the pen finds over the day list, in the main window's coordinates. These are the pen's
// own numbers: below y 76, rows of 16 pixels counted from y 76 (the drawn rows start at 78), the
// date column left of x 50, the items from x 54, nothing between.
enum class DayListZone { None, DateColumn, Divider, Items };
struct DayListHit {
    DayListZone zone = DayListZone::None;
    int row = 0;  // may lie past the table's last row
};
DayListHit DayListHitAt(gui::Point point);

}  // namespace views
