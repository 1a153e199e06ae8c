#pragma once

#include <functional>
#include <optional>
#include <string>

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

// What the summary tells of the planner's own syncs with its calendar server, in its own words.
struct SyncMark {
    std::u16string lastGood;  // "14:05" today, "12/7" an earlier day; empty before the first
    std::u16string trouble;   // why the latest sync did not finish; empty when it did
    int conflicts = 0;        // settled by the latest sync
    std::u16string keptIn;    // where their losing versions were kept
};
// Read at each paint; nullopt where no server is set up (the pop-up then has no sync lines).
using SyncMarkReader = std::function<std::optional<SyncMark>()>;

// The summary pop-up over the main window: the selected date with its hour strip and the three
// counts, and, with a calendar server set up, three lines under them on its syncs. It closes
// itself five seconds after it was last painted, or on OK.
class SummaryWindow : public gui::Window {
public:
    static constexpr int kWidth = 80;
    static constexpr int kHeight = 100;
    // The sync lines' band under the counts: room for its four lines (the last sync, the
    // latest's trouble, the conflicts and the folder they went to).
    static constexpr int kSyncBandHeight = 50;
    static constexpr int kTop = 50;
    static constexpr int kCloseTimer = 1;
    static constexpr int kCloseAfterMilliseconds = 5000;

    // `readState` hands over the planner's state at each paint, so a pop-up left open shows the
    // day as it is now.
    SummaryWindow(gui::DeviceScreen& screen, std::function<views::ViewState()> readState,
                  SyncMarkReader readSyncMark = nullptr);

    void OnCreate() override;
    void OnPaint(gui::Surface& surface) override;
    void OnTimer(int timerId) override;
    bool OnCommand(uint16_t command) override;

private:
    void PaintSyncMark(gui::Surface& surface, const SyncMark& mark,
                       const settings::Settings& settings);

    std::function<views::ViewState()> readState_;
    SyncMarkReader readSyncMark_;
};

// Opens a new summary pop-up in `mainWindow`, centred across it 50 pixels from its top (higher
// where the window is too low for it below that, as a landscape one is for the sync lines), and
// paints it at once. Every call opens another one. It is as tall as the sync lines need when a
// server is set up at the moment it opens.
SummaryWindow* OpenSummaryWindow(gui::Window& mainWindow,
                                 std::function<views::ViewState()> readState,
                                 SyncMarkReader readSyncMark = nullptr);

}  // namespace controls
