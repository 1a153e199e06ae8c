#pragma once

#include <cstdint>

#include "app/date_navigation.h"
#include "app/item_clipboard.h"
#include "app/planner.h"
#include "editors/editor_host.h"
#include "platform/gui/device_screen.h"
#include "platform/gui/window.h"
#include "platform/time/date_time.h"
#include "store/store_change_watcher.h"
#include "views/corner_panel.h"
#include "views/day_list.h"
#include "views/view_state.h"

namespace app {

// The planner's one screen: the corner panel, the month grid, in landscape the date header
// and day strip, and the day item list, with the menu bar, the keys and the command table.
class MainWindow : public gui::Window, private editors::EditorHost {
public:
    // `today` is the local date the planner started on; it becomes the selected date.
    MainWindow(gui::DeviceScreen& screen, Planner& planner, platform::CalendarFields today);

    void OnCreate() override;
    void OnDestroy() override;
    void OnActivate(gui::Activation state) override;
    void OnSettingChange() override;
    void OnPaint(gui::Surface& surface) override;
    void OnKeyDown(gui::Key key) override;
    bool OnCommand(uint16_t command) override;
    // The pen (pen_input.cpp): taps select days, page the corner panel, press the grid's buttons
    // and open items; a hold over the list or the corner panel opens the context menu.
    void OnPenDown(gui::Point point) override;
    void OnPenUp(gui::Point point) override;
    // The store watch (store_following.cpp): a change another program made to the store is
    // shown within a tick, or when the open editor returns.
    void OnTimer(int timerId) override;

    // Selects another day (today stays) and shows it, as a move of the date does.
    void SelectDay(platform::Date day);

    // Narrower than tall: the date header and the day strip are left out.
    bool IsPortrait() const;
    // Invalidates the full repaint rectangle with the background erased.
    void Repaint();

    platform::Date SelectedDate() const override { return day_.selectedDate; }
    const platform::CalendarFields& SelectedDateFields() const { return day_.selectedDateFields; }
    platform::Date TodayDate() const { return day_.todayDate; }
    bool KeyCommandPending() const { return keyCommandPending_; }
    gui::MenuBar* MenuBar() const { return menuBar_; }
    const ItemClipboard& Clipboard() const { return clipboard_; }
    // What the last hold opened its context menu over: a row of the day list, or a row of the
    // corner panel's page; and whether the current press was such a hold.
    int ContextRow() const { return contextRow_; }
    bool ContextInCornerPanel() const { return contextInCornerPanel_ != 0; }
    bool HoldHandled() const { return holdHandled_; }
    // Which paging marks the last paint drew on the corner panel.
    views::CornerMarks CornerMarks() const { return cornerMarks_; }
    // What the panels draw from, as it stands now.
    views::ViewState ViewStateNow() const;

    // The editors the main window opens; at most one is open at a time.
    enum class EditorKind { Appointment, Task };
    // Opens the editor on the edit record as it was filled: the editor fitted above the menu bar
    // without a repaint, shown and painted at once, and the main window hidden. Nothing happens
    // while another editor is open.
    void OpenEditor(EditorKind kind);
    // The editor open now, or null.
    gui::Window* OpenEditorWindow() const;

protected:
    // One handler per command of the table; those of later parts of the program are wired
    // here and filled in as those parts arrive.
    virtual void ShowAboutBox();
    virtual void GoToday();
    virtual void GoNextMonth();
    virtual void GoPreviousWeek();
    virtual void GoPreviousMonth();
    virtual void GoPreviousDay();
    virtual void GoNextDay();
    virtual void GoNextWeek();
    virtual void NewAppointment();
    virtual void ShowSettings();
    // The settings dialog's 同期: the sync dialog over it (sync_dialog_opening.cpp).
    void ShowSyncDialog(gui::Window& over);
    virtual void CutItem();
    virtual void CopyItem();
    virtual void PasteAsTask();
    virtual void NewTask();
    virtual void ToggleComplete();
    virtual void NewTaskFromContextMenu();
    virtual void ShowSummary();
    virtual void PasteAsAppointment();
    // 検索: the find dialog; the item tapped in its list selects its day, as a date command
    // does.
    virtual void OpenFindDialog();

    // Greys the "仕事" item of the "新規" drop-down unless dated tasks are shown.
    void ApplyTaskSetting();
    // Greys "元に戻す" and "やり直し" of the "移動" drop-down while there is nothing to take back
    // or to do again (undo_commands.cpp).
    void ApplyUndoMenuState();
    // Reloads the month's marks and the twelve days, then repaints.
    void RefreshAfterChange();
    // After a move of the selected date: its fields, then the month's marks, the day, a repaint.
    void FinishMove();

    Planner& planner_;

private:
    // What the editors reach of the planner (editor_opening.cpp).
    editors::EditRecord& Record() override;
    controls::PadData& Pad() override;
    controls::HistoryLists& History() override;
    const platform::DataHome& Home() const override;
    const settings::Settings& Settings() const override;
    editors::StoreWriteContext WriteContext() override;
    void MoveSelectedDate(platform::Date day) override;
    void ReloadAfterWrite(bool written) override;
    void ReturnToMainWindow() override;

    // Pen input (pen_input.cpp): the context menu of a hold at `point`, if the press became one
    // over an item row or a corner entry; and a tap on a row of the list.
    void OpenContextMenuOnHold(gui::Point point);
    void TapOnDayList(const views::DayListHit& hit);

    // The item clipboard's commands (item_clipboard.cpp) act on the item the context menu was
    // opened over, found again by its kind and object id: the corner entry, or else a day-list
    // row holding it (null for the other, and for both when the item is gone or the hold was
    // over an empty row).
    const schedule::UndatedTask* ContextEntry() const;
    const schedule::DayItemRow* ContextItemRow() const;
    // Whether the hold was over the day list's rows; the held row's day is then `heldRowDate_`.
    bool HeldOverDayList() const { return contextInCornerPanel_ == 0; }
    // Whether a hold has opened the context menu yet: its commands have nothing to act on before.
    bool HoldKnown() const { return contextInCornerPanel_ != 0 || heldRowDate_ != 0; }
    // Whether the item the context menu was opened over belongs to a read-only calendar: the
    // commands that would change it say so and leave the store alone.
    bool RefusedAsReadOnly(int64_t calendarId);
    // After a clipboard command's write: the marks, when it succeeded, and the day reloaded.
    void ReloadAfterClipboardWrite(bool written);
    // 元に戻す and やり直し (undo_commands.cpp): the newest change taken back, or the oldest one
    // taken back done again, and the screen shows it at once; a change whose item was changed
    // since is refused with a message naming the item.
    void ApplyNextStep(store::StepDirection direction);
    // Reloads the month's marks and the twelve days from a store another program changed.
    void FollowStoreChange();
    // Takes up settings another program saved into the registry file (store_following.cpp).
    void FollowSettingsFile();
    // What changed settings change on the screen and beside it, from the settings they replace.
    void TakeNewSettings(const settings::Settings& before);

    gui::MenuBar* menuBar_ = nullptr;
    gui::ActivationRecord activation_;
    SelectedDay day_;
    bool keyCommandPending_ = false;
    // The pen's state: whether this press opened the context menu, and what it was opened over.
    bool holdHandled_ = false;
    int contextRow_ = 0;
    int contextInCornerPanel_ = 0;
    // The held item as the menu opened: the day items may be loaded again before its command
    // runs (the store-following tick, a reminder being recorded), and rows move when they are.
    schedule::DayItemKind heldKind_ = schedule::DayItemKind::EmptyDay;
    int32_t heldObjectId_ = 0;  // 0: an empty row or corner entry
    platform::Date heldRowDate_ = 0;
    views::CornerMarks cornerMarks_;
    ItemClipboard clipboard_;
    gui::Window* editor_ = nullptr;
    std::function<bool()> editorAlive_;
    platform::Date selectedAtEditorOpen_ = 0;  // to tell whether a date pick moved the day
    store::StoreChangeWatcher storeWatcher_;
    bool reloadOnReturn_ = false;  // the store changed while an editor was open
};

// Moves a top-level window to its own left and top with the width of its right edge and the
// height of its bottom edge less the menu bar, without repainting.
void FitAboveMenuBar(gui::Window& window);

// Where the panels sit in the main window, in painting order.
inline constexpr gui::Point kCornerPanelOrigin{2, 2};
inline constexpr gui::Point kMonthGridOrigin{127, 2};
inline constexpr gui::Point kDateHeaderOrigin{241, 2};  // landscape only
inline constexpr gui::Point kDayStripOrigin{242, 26};   // landscape only

// The timer that looks for changes other programs made to the store, and how often: often
// enough that a change shows within two seconds, cheap enough to run all day.
inline constexpr int kStoreWatchTimer = 2;
inline constexpr int kStoreWatchMilliseconds = 500;

// The full repaint rectangle of the main window, in its own coordinates.
inline constexpr gui::Rect kFullRepaintRect{0, 0, 319, 270};

}  // namespace app
