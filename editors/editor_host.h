#pragma once

#include "controls/history.h"
#include "controls/pad_data.h"
#include "editors/edit_record.h"
#include "editors/store_write_context.h"
#include "platform/files/data_home.h"
#include "platform/time/date_time.h"
#include "settings/settings.h"

namespace editors {

// What an editor window reaches of the planner: the record and the pad it edits, the history
// lists, the settings, the store writes, the selected date a date pick moves, and the way back
// to the main window. The planner hands one to each editor it opens, so editors never see the
// main window itself.
class EditorHost {
public:
    virtual ~EditorHost() = default;

    virtual EditRecord& Record() = 0;
    virtual controls::PadData& Pad() = 0;
    virtual controls::HistoryLists& History() = 0;
    virtual const platform::DataHome& Home() const = 0;
    virtual const settings::Settings& Settings() const = 0;
    // What the store writes take: the store, the data home, the settings, the month census.
    virtual StoreWriteContext WriteContext() = 0;

    virtual platform::Date SelectedDate() const = 0;
    // Moves the main window's selected date (and its calendar fields) to `day`, as a date pick
    // does; the main window shows it when the editor closes.
    virtual void MoveSelectedDate(platform::Date day) = 0;

    // After an editor's write: the month's marks marked stale when the write succeeded (so they
    // show it at once), then the marks and the twelve days reloaded.
    virtual void ReloadAfterWrite(bool written) = 0;

    // Closing: the main window shown and painted at once (its day reloaded when the selected
    // date moved while the editor was open). The editor destroys itself afterwards.
    virtual void ReturnToMainWindow() = 0;
};

}  // namespace editors
