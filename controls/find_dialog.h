#pragma once

#include <QImage>

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "platform/gui/device_screen.h"
#include "platform/gui/scroll_bar.h"
#include "platform/gui/window.h"
#include "platform/time/date_time.h"
#include "schedule/store_session.h"
#include "settings/settings.h"
#include "store/found_item.h"
#include "views/found_list.h"

namespace controls {

// What the find dialog searches and draws with: the planner's store, its today (a series is
// shown at its next occurrence from it), its settings (colours, the list's font) and the day
// list's repeat icon.
struct FindContext {
    schedule::StoreSession& store;
    platform::Date todayDate = 0;
    const settings::Settings& settings;
    const QImage& recurringIcon;
};

// The most items the dialog lists; a search that finds more says so in a last row.
inline constexpr size_t kMostItemsListed = 1000;

// The list of what the search found, filling the dialog under its text field: painted as the
// planner paints its panels (views/found_list.h), with a scroll bar at its right edge. A tap on
// an item row tells `chosen` the item's index.
class FoundListWindow : public gui::Window {
public:
    // The scroll bar's width, as wide as the other controls' bars.
    static constexpr int kScrollBarWidth = 13;

    FoundListWindow(gui::DeviceScreen& screen, const FindContext& context,
                    std::function<void(size_t)> chosen);

    void OnCreate() override;
    void OnPaint(gui::Surface& surface) override;
    void OnPenDown(gui::Point point) override;
    void OnPenUp(gui::Point point) override;

    // Shows what a search found (from its first row), or the note when it found nothing.
    void ShowFound(store::FoundItems found, views::FoundListNote note);
    // Moves the list to `rect` (its parent's coordinates), the scroll bar with it.
    void Fit(const gui::Rect& rect);
    // Scrolls so that `row` is at the top, as far as there are rows to show below it.
    void ScrollTo(size_t row);

    const store::FoundItems& Found() const { return found_; }
    const std::vector<views::FoundListRow>& Rows() const { return rows_; }
    size_t FirstRow() const { return firstRow_; }
    size_t VisibleRows() const;
    gui::ScrollBar* Bar() const { return bar_; }
    // Where the text ends: left of the scroll bar.
    int TextRight() const;

private:
    void UpdateBar();

    const FindContext& context_;
    std::function<void(size_t)> chosen_;
    store::FoundItems found_;
    std::vector<views::FoundListRow> rows_;
    views::FoundListNote note_ = views::FoundListNote::Hint;
    size_t firstRow_ = 0;
    std::optional<size_t> pressedRow_;
    gui::ScrollBar* bar_ = nullptr;
};

// The dialog "検索", full screen with a done button: a text field (the keyboard's at the start)
// and 検索, which finds the items whose texts hold what was typed (Return too), and under them
// the list of what it found, ordered by date. A tap on an item closes the dialog: the result is
// the day it leads to (schedule::DayOfFoundItem; nothing for an open task without a date). The
// done button and Escape close it without a day.
std::optional<platform::Date> RunFindDialog(gui::DeviceScreen& screen, gui::Window& owner,
                                            const FindContext& context);

}  // namespace controls
