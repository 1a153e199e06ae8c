#pragma once

#include <functional>

#include "platform/gui/window.h"
#include "platform/time/date_time.h"
#include "schedule/day_items.h"
#include "views/view_state.h"

namespace controls {

// The counts the summary shows for the selected date.
struct SummaryCounts {
    int appointments = 0;  // rows of the selected date that are appointments
    int datedTasks = 0;    // rows of the selected date that are dated tasks
    int openTasks = 0;     // undated tasks not yet complete
};

// Counts only what the day item table holds: a day with more items than its rows shows what
// fitted.
SummaryCounts CountSummary(const schedule::DayItems& items, platform::Date selectedDate);

// The summary pop-up over the main window: the selected date with its hour strip and the three
// counts. It closes itself five seconds after it was last painted, or on OK.
class SummaryWindow : public gui::Window {
public:
    static constexpr int kWidth = 80;
    static constexpr int kHeight = 100;
    static constexpr int kTop = 50;
    static constexpr int kCloseTimer = 1;
    static constexpr int kCloseAfterMilliseconds = 5000;

    // `readState` hands over the planner's state at each paint, so a pop-up left open shows the
    // day as it is now.
    SummaryWindow(gui::DeviceScreen& screen, std::function<views::ViewState()> readState);

    void OnCreate() override;
    void OnPaint(gui::Surface& surface) override;
    void OnTimer(int timerId) override;
    bool OnCommand(uint16_t command) override;

private:
    std::function<views::ViewState()> readState_;
};

// Opens a new summary pop-up in `mainWindow`, centred across it 50 pixels from its top, and
// paints it at once. Every call opens another one.
SummaryWindow* OpenSummaryWindow(gui::Window& mainWindow,
                                 std::function<views::ViewState()> readState);

}  // namespace controls
