#include "views/day_list.h"

#include <QString>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "calendar/handwritten_memo.h"
#include "resources/images.h"
#include "resources/resource_ids.h"
#include "views/date_header.h"
#include "views/ink_drawing.h"
#include "views/view_font.h"

namespace views {
namespace {

using schedule::DayItemKind;
using schedule::DayItemRow;
using schedule::DayItemTable;

// Rows drawn and the panel's right edges: the background and top line reach kPanelRight, text
// and icons end at kTextRight.
constexpr size_t kPortraitRows = schedule::kDayItemRows;
constexpr size_t kLandscapeRows = 7;
constexpr int kPortraitPanelRight = 237;
constexpr int kLandscapePanelRight = 317;
constexpr int kPortraitTextRight = 235;
constexpr int kLandscapeTextRight = 315;

constexpr int kPanelLeft = 2;
constexpr int kPanelTop = 76;
constexpr int kPanelBottom = 268;
// The vertical line between the date labels and the item lines.
constexpr int kDividerX = 50;

constexpr int kFirstRowTop = 78;
constexpr int kRowHeight = 16;
constexpr int kLabelLeft = 3;
constexpr int kLabelRight = 47;

// Item text starts at kTextLeft, or past the brackets when spans pass through the row.
constexpr int kTextLeft = 53;
constexpr int kLaneTextLeft = 58;
constexpr size_t kLaneCount = 5;
constexpr int kFirstLaneX = 55;
constexpr int kLanePitch = 5;
constexpr int kBracketTick = 3;
constexpr int kBracketMiddle = 8;
constexpr gui::ColorRef kBracketRed = gui::Rgb(0xFF, 0, 0);

// With more than one calendar shown, a bar in the calendar's colour stands in the gap between
// the divider and the item text, one pixel short of the row's top and bottom: the brackets'
// ticks run along those lines, and items of one calendar in rows below each other stay apart.
constexpr int kCalendarBarLeft = kDividerX + 1;
constexpr int kCalendarBarRight = kTextLeft;
constexpr int kCalendarBarInset = 1;

constexpr int kIconPitch = resources::kIconSize;
// Handwriting stands this far right of the time text; whatever of it reaches below its row is
// erased down to kInkEraseDepth below the row's top.
constexpr int kInkGap = 5;
constexpr int kInkEraseDepth = 116;
constexpr int kStrikeDepth = 8;

// The pen's numbers over the list (see DayListHitAt).
constexpr int kPenTop = 76;
constexpr int kPenRowHeight = 16;
constexpr int kPenDateColumnEnd = 50;
constexpr int kPenItemsLeft = 54;

enum class Lane { Free, Start, Through, End };

// The span brackets that cross one drawn row.
struct RowLanes {
    std::array<Lane, kLaneCount> lanes{};
    bool hasLanes = false;
    bool holidaySpan = false;
};

using LaneTable = std::array<RowLanes, schedule::kDayItemRows>;

struct ListLayout {
    size_t rows = kPortraitRows;
    int panelRight = kPortraitPanelRight;
    int textRight = kPortraitTextRight;
};

ListLayout LayoutFor(const gui::Rect& windowRect) {
    if (windowRect.right < windowRect.bottom) {
        return {kPortraitRows, kPortraitPanelRight, kPortraitTextRight};
    }
    return {kLandscapeRows, kLandscapePanelRight, kLandscapeTextRight};
}

bool SameDay(platform::Date a, platform::Date b) {
    return platform::DayNumber(a) == platform::DayNumber(b);
}

std::u16string Decimal(int value) {
    return QString::number(value).toStdU16String();
}

// "9" for 09:00, "9:5" for 09:05.
std::u16string ClockText(platform::Date moment) {
    const std::optional<platform::CalendarFields> fields = platform::DateToFields(moment);
    if (!fields) {
        return {};
    }
    if (fields->Minute == 0) {
        return Decimal(fields->Hour);
    }
    return Decimal(fields->Hour) + u":" + Decimal(fields->Minute);
}

std::u16string StartText(const DayItemRow& row) {
    if (row.allDay != 0) {
        return {};
    }
    return SameDay(row.start, row.rowDate) ? ClockText(row.start) : u"前日";
}

std::u16string EndText(const DayItemRow& row) {
    if (row.allDay != 0) {
        return {};
    }
    return SameDay(row.end, row.rowDate) ? ClockText(row.end) : u"翌日";
}

std::u16string WithLocation(std::u16string line, const DayItemRow& row) {
    if (!row.location.empty()) {
        line += u"@" + row.location;
    }
    return line;
}

bool IsInkOnly(const DayItemRow& row) {
    return row.subject.empty() && row.inkCount > 0;
}

// The memo icon says the row has a memo it does not show: a text memo, handwriting beside a
// subject, or text typed beside handwriting (another calendar program's, say).
bool HasMemoIcon(const DayItemRow& row) {
    if (row.handwritten == 0) {
        return !row.memoText.empty();
    }
    return (row.inkCount > 0 && !row.subject.empty()) ||
           !calendar::TypedTextOf(row.body, true).empty();
}

// A multi-day all-day appointment: its row opens a bracket.
bool OpensSpan(const DayItemRow& row) {
    return row.kind == DayItemKind::Appointment && row.allDay != 0 &&
           !SameDay(row.end, row.rowDate);
}

void MarkLane(RowLanes& row, size_t lane, Lane value, bool holiday) {
    row.lanes[lane] = value;
    row.hasLanes = true;
    row.holidaySpan = row.holidaySpan || holiday;
}

// Gives each span the lowest lane free in its first row and runs it down to the first row of
// its end day, or to the last drawn row. The first span without a free lane ends the assignment
// for every later span as well.
LaneTable AssignSpanLanes(const DayItemTable& table, size_t rowCount) {
    LaneTable lanes{};
    for (size_t i = 0; i < rowCount; ++i) {
        const DayItemRow& row = table[i];
        if (!OpensSpan(row)) {
            continue;
        }
        const auto free = std::find(lanes[i].lanes.begin(), lanes[i].lanes.end(), Lane::Free);
        if (free == lanes[i].lanes.end()) {
            break;
        }
        const size_t lane = static_cast<size_t>(free - lanes[i].lanes.begin());
        const bool holiday = row.holiday == 1;
        MarkLane(lanes[i], lane, Lane::Start, holiday);
        for (size_t j = i + 1; j < rowCount; ++j) {
            if (SameDay(table[j].rowDate, row.end)) {
                MarkLane(lanes[j], lane, Lane::End, holiday);
                break;
            }
            MarkLane(lanes[j], lane, Lane::Through, holiday);
        }
    }
    return lanes;
}

int RowTop(size_t row) {
    return kFirstRowTop + kRowHeight * static_cast<int>(row);
}

int TextLeft(const RowLanes& row) {
    for (size_t lane = kLaneCount; lane > 0; --lane) {
        if (row.lanes[lane - 1] != Lane::Free) {
            return kLaneTextLeft + kLanePitch * static_cast<int>(lane - 1);
        }
    }
    return kTextLeft;
}

gui::ColorRef LabelColour(platform::Date rowDate, const ViewState& state, const LaneTable& lanes,
                          size_t rowCount) {
    const settings::Settings& colours = state.settings;
    if (SameDay(rowDate, state.todayDate)) {
        return colours.ccToday;
    }
    const DayItemTable& table = state.dayItems.table;
    for (size_t i = 0; i < table.size(); ++i) {
        if (!SameDay(table[i].rowDate, rowDate)) {
            continue;
        }
        if (table[i].holiday != 0 || (i < rowCount && lanes[i].holidaySpan)) {
            return colours.ccHoliDay;
        }
    }
    const std::optional<platform::CalendarFields> fields = platform::DateToFields(rowDate);
    const int weekday = fields ? fields->DayOfWeek : 1;
    if (weekday == 0) {
        return colours.ccSunDay;
    }
    if (weekday == 6) {
        return colours.ccSatDay;
    }
    return colours.ccWeekDay;
}

void DrawDateLabel(gui::Surface& surface, platform::Date rowDate, int top, gui::ColorRef colour) {
    surface.SetTextColor(colour);
    surface.DrawText(DayListLabelText(rowDate), {kLabelLeft, top, kLabelRight, top + kRowHeight},
                     gui::TextAlign::RightTop);
    surface.SetTextColor(gui::kBlack);
}

void DrawIcons(gui::Surface& surface, const DayItemRow& row, int textRight, int top,
               const DayListIcons& icons) {
    int left = textRight;
    const auto draw = [&](const QImage& icon) {
        left -= kIconPitch;
        surface.DrawImage(icon, left, top);
    };
    if (row.reminder != 0) {
        draw(icons.reminder);
    }
    if (HasMemoIcon(row)) {
        draw(icons.memo);
    }
    if (row.recurring != 0) {
        draw(icons.recurring);
    }
}

void DrawAppointment(gui::Surface& surface, const DayItemRow& row, int left, int textRight, int top,
                     const DayListIcons& icons) {
    const std::u16string line = DayListLineText(row);
    surface.DrawText(line, {left, top, textRight, top + kRowHeight}, gui::TextAlign::LeftTop);
    if (IsInkOnly(row)) {
        const int inkLeft = left + surface.MeasureText(line).width + kInkGap;
        DrawInk(surface, row.ink, row.inkCount, inkLeft, top, kHalfInkScale);
        if (inkLeft < textRight) {
            surface.FillRect(inkLeft, top + kRowHeight, textRight, top + kInkEraseDepth,
                             gui::kWhite);
        }
    }
    DrawIcons(surface, row, textRight, top, icons);
}

void DrawDatedTask(gui::Surface& surface, const DayItemRow& row, int left, int textRight, int top) {
    const std::u16string line = DayListLineText(row);
    surface.DrawText(line, {left, top, textRight, top + kRowHeight}, gui::TextAlign::LeftTop);
    if (row.complete != 0) {
        // Cut where the text is cut, short of the margin.
        const int strikeRight = std::min(left + surface.MeasureText(line).width, textRight);
        surface.Polyline({{left, top + kStrikeDepth}, {strikeRight, top + kStrikeDepth}});
    }
}

void DrawCalendarBar(gui::Surface& surface, const DayItemRow& row, int top,
                     const schedule::ItemCalendars& calendars) {
    if (row.kind == DayItemKind::EmptyDay) {
        return;
    }
    const schedule::ItemCalendar* calendar = calendars.Find(row.calendarId);
    const gui::ColorRef colour =
        calendar ? calendar->colour : schedule::PaletteColour(row.calendarId);
    surface.FillRect(kCalendarBarLeft, top + kCalendarBarInset, kCalendarBarRight,
                     top + kRowHeight - kCalendarBarInset, colour);
}

void DrawSpanBrackets(gui::Surface& surface, const LaneTable& lanes, size_t rowCount) {
    const gui::Pen previous = surface.SelectPen(gui::Pen::Solid(kBracketRed));
    for (size_t i = 0; i < rowCount; ++i) {
        if (!lanes[i].hasLanes) {
            continue;
        }
        const int top = RowTop(i);
        const int bottom = top + kRowHeight;
        for (size_t lane = 0; lane < kLaneCount; ++lane) {
            const Lane value = lanes[i].lanes[lane];
            if (value == Lane::Free) {
                continue;
            }
            const int x = kFirstLaneX + kLanePitch * static_cast<int>(lane);
            surface.Polyline({{x, top}, {x, bottom}});
            if (value == Lane::Start) {
                surface.Polyline({{x - kBracketTick, top}, {x, top}});
                surface.Polyline(
                    {{x, top + kBracketMiddle}, {x + kBracketTick, top + kBracketMiddle}});
            } else if (value == Lane::End) {
                surface.Polyline({{x, bottom}, {x - kBracketTick, bottom}});
            }
        }
    }
    surface.SelectPen(previous);
}

}  // namespace

DayListIcons LoadDayListIcons() {
    return {resources::Icon(resources::kReminderIcon), resources::Icon(resources::kMemoIcon),
            resources::Icon(resources::kRecurrenceIcon)};
}

std::u16string DayListLabelText(platform::Date rowDate) {
    const std::optional<platform::CalendarFields> fields = platform::DateToFields(rowDate);
    if (!fields) {
        return {};
    }
    return Decimal(fields->Month) + u"/" + Decimal(fields->Day) +
           kWeekdayLetters[fields->DayOfWeek % kWeekdayLetters.size()];
}

std::u16string DayListLineText(const DayItemRow& row) {
    switch (row.kind) {
        case DayItemKind::EmptyDay:
            return {};
        case DayItemKind::DatedTask:
            return u"期限日:" + row.subject;
        case DayItemKind::Appointment:
            break;
    }
    const std::u16string start = StartText(row);
    const std::u16string end = EndText(row);
    const std::u16string time =
        start.empty() && end.empty() ? std::u16string() : start + u"-" + end;
    if (!row.subject.empty()) {
        return WithLocation(time + u" " + row.subject, row);
    }
    if (row.inkCount > 0) {
        return time;
    }
    return WithLocation(start + u"-" + end + u" " + row.subject, row);
}

void DrawDayList(gui::Surface& surface, const gui::Rect& windowRect, const ViewState& state,
                 const DayListIcons& icons) {
    const ListLayout layout = LayoutFor(windowRect);
    const DayItemTable& table = state.dayItems.table;
    const size_t rowCount = std::min(layout.rows, table.size());

    const gui::Pen previousPen = surface.SelectPen(gui::Pen::Solid(gui::kBlack));
    surface.SetTextColor(gui::kBlack);
    surface.FillRect(kPanelLeft, kPanelTop, layout.panelRight, kPanelBottom, gui::kWhite);
    surface.Rectangle(kPanelLeft + 1, kPanelTop, layout.panelRight, kPanelTop + 1);
    surface.Rectangle(kPanelLeft, kPanelTop, kPanelLeft + 1, kPanelBottom);
    surface.Rectangle(kDividerX, kPanelTop, kDividerX + 1, kPanelBottom);
    const gui::Font previousFont =
        surface.SelectFont(CreateViewFont(ListTextHeight(state.settings), state.settings));

    const LaneTable lanes = AssignSpanLanes(table, rowCount);
    const bool calendarBars = state.dayItems.calendars.MarksShown();
    std::optional<int64_t> labelledDay;
    for (size_t i = 0; i < rowCount; ++i) {
        const DayItemRow& row = table[i];
        const int top = RowTop(i);
        if (labelledDay != platform::DayNumber(row.rowDate)) {
            DrawDateLabel(surface, row.rowDate, top,
                          LabelColour(row.rowDate, state, lanes, rowCount));
            labelledDay = platform::DayNumber(row.rowDate);
        }
        const int left = TextLeft(lanes[i]);
        switch (row.kind) {
            case DayItemKind::Appointment:
                DrawAppointment(surface, row, left, layout.textRight, top, icons);
                break;
            case DayItemKind::DatedTask:
                DrawDatedTask(surface, row, left, layout.textRight, top);
                break;
            case DayItemKind::EmptyDay:
                break;
        }
        if (calendarBars) {
            DrawCalendarBar(surface, row, top, state.dayItems.calendars);
        }
    }
    DrawSpanBrackets(surface, lanes, rowCount);

    surface.SelectFont(previousFont);
    surface.SelectPen(previousPen);
}

DayListHit DayListHitAt(gui::Point point) {
    if (point.y <= kPenTop) {
        return {};
    }
    const int row = (point.y - kPenTop) / kPenRowHeight;
    if (point.x < kPenDateColumnEnd) {
        return {DayListZone::DateColumn, row};
    }
    return {point.x < kPenItemsLeft ? DayListZone::Divider : DayListZone::Items, row};
}

}  // namespace views
