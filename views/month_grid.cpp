#include "views/month_grid.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/gui/colors.h"
#include "platform/gui/font.h"
#include "platform/gui/pen.h"
#include "views/date_header.h"
#include "views/view_font.h"

namespace views {
namespace {

constexpr int kCellWidth = 16;
constexpr int kCellHeight = 10;
constexpr int kColumns = 7;
constexpr int kWeekRows = 6;  // of the census' seven rows, the grid shows the first six
constexpr int kSaturdayColumn = 6;

// The month number sits behind the grid, below the weekday letters, and reaches past the grid's
// right edge so that its centre falls at x+63.
constexpr int kMonthNumberTop = 10;
constexpr int kMonthNumberWidth = 126;
constexpr int kMonthNumberBottom = 72;
constexpr gui::ColorRef kMonthNumberColor = gui::kLightGray;

// Time-band dots: 2 x 2 pixels stacked down the cell's right side, the earliest band on top.
constexpr int kBandCount = 4;
constexpr int kBandDotLeft = 13;
constexpr int kBandDotTop = 2;
constexpr int kBandDotSize = 2;
constexpr gui::ColorRef kBandDotColor = gui::Rgb(0xFF, 0, 0);

// The all-day underline runs from left+3 up to, not including, left+12.
constexpr int kUnderlineLeft = 3;
constexpr int kUnderlineEnd = 12;
constexpr int kUnderlineRow = 8;
constexpr gui::ColorRef kUnderlineColor = gui::Rgb(0, 0, 0xFF);

// The last week row lends its right four cells to the summary, previous-month, today and
// next-month buttons; no month reaches them.
constexpr int kButtonRow = kMonthGridButtonRow;
constexpr int kFirstButtonColumn = kMonthGridFirstButtonColumn;
constexpr std::array<std::u16string_view, 4> kButtonLabels = {u"i", u"<", u"・", u">"};

// The text rectangle of day cell (row, column): one pixel right of and below its grid lines, so
// it takes in the line on its right and the one below it.
gui::Rect DayCellRect(int x, int y, int row, int column) {
    const int left = x + kCellWidth * column + 1;
    const int top = y + kCellHeight * (row + 1) + 1;
    return {left, top, left + kCellWidth, top + kCellHeight};
}

// The pen's zone over the grid, in main window coordinates (see MonthGridCellAt).
constexpr gui::Rect kPenZone{128, 14, 239, 72};
constexpr gui::Point kPenCellOrigin{127, 13};

gui::Rect HeaderCellRect(int x, int y, int column) {
    const int left = x + kCellWidth * column;
    return {left, y, left + kCellWidth, y + kCellHeight};
}

// The inside of a day cell, between its grid lines: its text rectangle less the line on its
// right and the one below it.
gui::Rect DayCellInside(const gui::Rect& cell) {
    return {cell.left, cell.top, cell.right - 1, cell.bottom - 1};
}

// How a day number is drawn: its ink, and the colour of its cell behind it when the cell has
// one of its own.
struct DayNumberLook {
    gui::ColorRef ink = gui::kBlack;
    std::optional<gui::ColorRef> cell;
};

DayNumberLook DayNumberLookOf(const ViewState& state, size_t cell, int column) {
    const schedule::MonthCensusState& census = state.census;
    const platform::Date date = census.dates[cell];
    const settings::Settings& settings = state.settings;
    if (census.census.holiday[cell] != 0) {
        return {settings.ccHoliDay, std::nullopt};
    }
    // The selected day's colour (a bright yellow unless the user chose another) fills its
    // cell, and the number stands on it in black, or in white on a dark colour: a pale number
    // on white could hardly be read.
    if (date == state.selectedDate) {
        return {gui::ReadableTextOn(settings.ccCurDay), settings.ccCurDay};
    }
    if (date == state.todayDate) {
        return {settings.ccToday, std::nullopt};
    }
    if (column == 0) {
        return {settings.ccSunDay, std::nullopt};
    }
    if (column == kSaturdayColumn) {
        return {settings.ccSatDay, std::nullopt};
    }
    return {settings.ccWeekDay, std::nullopt};
}

void DrawMonthNumber(gui::Surface& surface, int x, int y, const ViewState& state) {
    const std::optional<platform::CalendarFields> fields =
        platform::DateToFields(state.selectedDate);
    if (!fields) {
        return;
    }
    const std::string digits = std::to_string(fields->Month);
    const std::u16string text(digits.begin(), digits.end());
    const gui::Font previous =
        surface.SelectFont(CreateViewFont(kMonthNumberHeight, state.settings));
    surface.SetTextColor(kMonthNumberColor);
    surface.DrawText(text, {x, y + kMonthNumberTop, x + kMonthNumberWidth, y + kMonthNumberBottom},
                     gui::TextAlign::Center);
    surface.SelectFont(previous);
}

void DrawBandDots(gui::Surface& surface, const gui::Rect& cell, uint8_t bands) {
    for (int k = 0; k < kBandCount; ++k) {
        if ((bands & (1U << k)) == 0) {
            continue;
        }
        const int top = cell.top + kBandDotTop + kBandDotSize * k;
        for (int dy = 0; dy < kBandDotSize; ++dy) {
            for (int dx = 0; dx < kBandDotSize; ++dx) {
                surface.SetPixel(cell.left + kBandDotLeft + dx, top + dy, kBandDotColor);
            }
        }
    }
}

void DrawAllDayUnderline(gui::Surface& surface, const gui::Rect& cell) {
    const gui::Pen previous = surface.SelectPen(gui::Pen::Solid(kUnderlineColor));
    const int row = cell.top + kUnderlineRow;
    surface.Polyline({{cell.left + kUnderlineLeft, row}, {cell.left + kUnderlineEnd, row}});
    surface.SelectPen(previous);
}

void DrawDayCell(gui::Surface& surface, const gui::Rect& cell, const ViewState& state, size_t index,
                 int column) {
    const std::optional<platform::CalendarFields> fields =
        platform::DateToFields(state.census.dates[index]);
    if (!fields) {
        return;
    }
    const std::string digits = std::to_string(fields->Day);
    const DayNumberLook look = DayNumberLookOf(state, index, column);
    if (look.cell) {
        const gui::Rect inside = DayCellInside(cell);
        surface.FillRect(inside.left, inside.top, inside.right, inside.bottom, *look.cell);
    }
    surface.SetTextColor(look.ink);
    surface.DrawText(std::u16string(digits.begin(), digits.end()), cell, gui::TextAlign::CenterTop);
    DrawBandDots(surface, cell, state.census.census.timeBands[index]);
    if (state.census.census.allDay[index] == 1) {
        DrawAllDayUnderline(surface, cell);
    }
    surface.SetTextColor(gui::kBlack);
}

void DrawWeekdayHeader(gui::Surface& surface, int x, int y, const settings::Settings& settings) {
    for (int column = 0; column < kColumns; ++column) {
        gui::ColorRef color = settings.ccWeekDay;
        if (column == 0) {
            color = settings.ccSunDay;
        } else if (column == kSaturdayColumn) {
            color = settings.ccSatDay;
        }
        surface.SetTextColor(color);
        surface.DrawText(kWeekdayLetters.substr(static_cast<size_t>(column), 1),
                         HeaderCellRect(x, y, column), gui::TextAlign::CenterTop);
    }
    surface.SetTextColor(gui::kBlack);
}

// Lines along the top and left edges and between the cells; the right edge and the bottom are
// left to the neighbouring panel and the window.
void DrawGridLines(gui::Surface& surface, int x, int y) {
    const gui::Pen previous = surface.SelectPen(gui::Pen::Solid(gui::kBlack));
    for (int i = 0; i < kColumns; ++i) {
        const int left = x + kCellWidth * i;
        surface.Rectangle(left, y, left + 1, y + kMonthGridHeight);
    }
    for (int k = 0; k <= kWeekRows; ++k) {
        const int top = y + kCellHeight * k;
        surface.Rectangle(x, top, x + kMonthGridWidth, top + 1);
    }
    surface.SelectPen(previous);
}

}  // namespace

void DrawMonthGrid(gui::Surface& surface, int x, int y, const ViewState& state) {
    surface.FillRect(x, y, x + kMonthGridWidth, y + kMonthGridHeight, gui::kWhite);
    DrawMonthNumber(surface, x, y, state);

    surface.SetTextColor(gui::kBlack);
    const gui::Font previousFont =
        surface.SelectFont(CreateViewFont(kGridTextHeight, state.settings));
    for (int row = 0; row < kWeekRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const size_t index = static_cast<size_t>(row * kColumns + column);
            const gui::Rect cell = DayCellRect(x, y, row, column);
            if (state.census.dates[index] != 0) {
                DrawDayCell(surface, cell, state, index, column);
            }
            // The buttons go on whatever the census holds for their cells.
            if (row == kButtonRow && column >= kFirstButtonColumn) {
                surface.DrawText(kButtonLabels[static_cast<size_t>(column - kFirstButtonColumn)],
                                 cell, gui::TextAlign::CenterTop);
            }
        }
    }
    DrawWeekdayHeader(surface, x, y, state.settings);
    surface.SelectFont(previousFont);

    DrawGridLines(surface, x, y);
}

std::optional<MonthGridCell> MonthGridCellAt(gui::Point point) {
    if (!kPenZone.Contains(point)) {
        return std::nullopt;
    }
    return MonthGridCell{(point.y - kPenCellOrigin.y) / kCellHeight,
                         (point.x - kPenCellOrigin.x) / kCellWidth};
}

}  // namespace views
