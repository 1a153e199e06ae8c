#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gui/control.h"
#include "platform/gui/dialog_handler.h"
#include "platform/gui/dialog_template.h"
#include "platform/gui/dialog_units.h"
#include "platform/gui/window.h"

class QEventLoop;

namespace gui {

class DialogScrollBar;

// The command of a dialog's Cancel button; Escape sends it too.
inline constexpr uint16_t kCancelCommand = 2;
// What a modal run returns when its dialog went away without being ended.
inline constexpr int kDialogNotEnded = -1;

// A modal dialog: a top-level window made from a template, its controls laid out in pixels of
// the template's font, its caption the title the navigation bar shows. Commands and control
// notifications go to the handler; the handler ends the dialog with a result.
//
// A dialog taller than its window (a full-screen one in landscape, where the work area is 188
// pixels high) scrolls: a scroll bar at its right edge moves the controls up and down, as do
// the mouse wheel and the keyboard moving into a control out of sight. Controls scrolled partly
// or wholly out of the window are cut at its edges, so none lies over the bars.
class Dialog : public Window {
public:
    Dialog(DeviceScreen& screen, DialogTemplate dialogTemplate, DialogHandler& handler,
           Window* owner);

    const DialogTemplate& Template() const { return template_; }
    DialogHandler& Handler() const { return handler_; }
    const DialogUnits& Units() const { return units_; }
    Window* Owner() const override { return owner_; }

    // The control with the id (the first, when several share it), or null.
    Control* Item(uint16_t id) const;
    template <typename T>
    T* ItemAs(uint16_t id) const {
        return dynamic_cast<T*>(Item(id));
    }
    // All controls in template order.
    const std::vector<Control*>& Items() const { return items_; }
    void SetItemText(uint16_t id, std::u16string_view text);
    std::u16string ItemText(uint16_t id) const;
    // For check boxes and radio buttons (setting one clears the others); other controls read
    // unchecked.
    void CheckItem(uint16_t id, bool checked);
    bool IsItemChecked(uint16_t id) const;

    // Ends the modal run with the result; the dialog goes once the current message is handled.
    void End(int result);
    bool IsEnded() const { return outcome_->ended; }
    int Result() const { return outcome_->result; }
    // Fills the work area (see InitFullScreenDialog) instead of being centred.
    void MakeFullScreen();
    bool IsFullScreen() const { return fullScreen_; }

    // How a modal run learns of the end; it outlives the dialog object.
    struct Outcome {
        bool ended = false;
        int result = kDialogNotEnded;
        QEventLoop* loop = nullptr;
    };
    std::shared_ptr<Outcome> SharedOutcome() const { return outcome_; }

    // ---- scrolling ----
    // Whether the controls reach further down than the window shows.
    bool IsScrollable() const { return MaxScrollOffset() > 0; }
    // How many pixels the controls are moved up; 0 shows the top of the dialog.
    int ScrollOffset() const { return scrollOffset_; }
    // How far the template's height reaches below the window; 0 when it fits.
    int MaxScrollOffset() const;
    // Moves the controls so that `offset` pixels of the dialog lie above the window (clamped to
    // what there is to scroll).
    void ScrollTo(int offset);
    // Scrolls as little as brings the whole control into sight (its top, when it is taller
    // than the window).
    void ScrollIntoView(const Control& control);

    void OnCreate() override;
    void OnDestroy() override;
    // The screen turned: the window has its new size, so what there is to scroll is new too.
    void OnSettingChange() override;
    void PlaceScreenWidget() override;
    void OnPaint(Surface& surface) override;
    void OnKeyDown(Key key) override;
    bool OnCommand(uint16_t command) override;
    void OnControlNotify(Control& control, ControlNotification code) override;

private:
    void CreateItem(const DialogItem& item);
    void ClearOtherRadioButtons(uint16_t id);
    uint16_t DefaultCommand() const;
    // After the window was sized: shows or hides the scroll bar and keeps the offset in range.
    void UpdateScrolling();
    // The part of the window the controls are seen in: all of it but the scroll bar.
    Rect ViewRect() const;
    // Cuts each control's widget to the part of it inside the view.
    void ClipItemsToView();

    DialogTemplate template_;
    DialogHandler& handler_;
    Window* owner_;
    DialogUnits units_;
    std::vector<Control*> items_;
    DialogScrollBar* scrollBar_ = nullptr;
    int scrollOffset_ = 0;
    std::shared_ptr<Outcome> outcome_ = std::make_shared<Outcome>();
    bool fullScreen_ = false;
};

}  // namespace gui
