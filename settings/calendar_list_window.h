#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "platform/gui/device_screen.h"
#include "platform/gui/scroll_bar.h"
#include "platform/gui/window.h"
#include "store/store_calendar.h"

namespace settings {

// The calendars of the store in the 同期 dialog, one row each under a heading row: at the left a
// box ticked while the calendar is shown, then its colour (where it has one) and its name (grey
// while hidden, with 読取専用 when its items cannot be changed here); at the right a box filled
// for the default calendar. A tap on a row's left box or on its right box tells `tapped` which
// row and which box; the owner changes the store and shows the calendars again. A scroll bar at
// the right edge moves the rows when they do not all fit.
class CalendarListWindow : public gui::Window {
public:
    enum class Box { Shown, Default };
    using TappedHandler = std::function<void(size_t row, Box box)>;

    static constexpr int kRowHeight = 14;
    static constexpr int kScrollBarWidth = 13;

    CalendarListWindow(gui::DeviceScreen& screen, TappedHandler tapped);

    void OnCreate() override;
    void OnPaint(gui::Surface& surface) override;
    void OnPenDown(gui::Point point) override;
    void OnPenUp(gui::Point point) override;

    // Shows these calendars, keeping the first row shown where it can.
    void ShowCalendars(std::vector<store::StoreCalendar> calendars);
    const std::vector<store::StoreCalendar>& Calendars() const { return calendars_; }
    // Moves the list to `rect` (its parent's coordinates), the scroll bar with it.
    void Fit(const gui::Rect& rect);

    // Where the row's boxes are drawn, in the list's own coordinates; empty when the row is
    // scrolled out of sight.
    gui::Rect BoxRect(size_t row, Box box) const;
    // The row and box under a point of the list, if any.
    std::optional<std::pair<size_t, Box>> BoxAt(gui::Point point) const;
    size_t FirstRow() const { return firstRow_; }
    size_t VisibleRows() const;
    bool HasScrollBar() const;

private:
    void UpdateBar();
    // Left of the scroll bar while it is shown, else the list's right edge.
    int ContentRight() const;

    TappedHandler tapped_;
    std::vector<store::StoreCalendar> calendars_;
    size_t firstRow_ = 0;
    std::optional<std::pair<size_t, Box>> pressed_;
    gui::ScrollBar* bar_ = nullptr;
};

}  // namespace settings
