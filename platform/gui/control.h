#pragma once

#include <QEvent>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/gui/window.h"

namespace gui {

// A control: a child window drawn by a desktop widget that lies over the device screen at the
// window's screen rectangle times the zoom. The widget follows its window: it is shown only
// while the window, its ancestors and its top-level window are visible and that top-level
// window is the topmost one; it moves with zoom and rotation and goes with the window.
// Controls start visible, as the program creates all of its controls.
//
// What the user does reaches the parent window: clicks as OnCommand(id), the rest as
// OnControlNotify. Changes the program makes through this interface notify nobody.
// The pen at a point of a widget that lies over the device screen, sent to that widget as the
// left mouse button (a move with no button) at the middle of the device pixel: for a desktop
// widget the screen's pen must drive, such as a scroll bar.
void SendPenAsMouse(QWidget& widget, int zoom, QEvent::Type type, Point point);

class Control : public Window {
public:
    Control(DeviceScreen& screen, std::u16string className, uint16_t id);
    ~Control() override;

    uint16_t Id() const { return id_; }

    virtual void SetText(std::u16string_view text);
    virtual std::u16string Text() const;

    void Enable(bool enabled);
    bool IsEnabled() const;
    // Gives the control the keyboard, as the window with the focus.
    void Focus();
    bool HasFocus() const;

    // The character height in device pixels (the dialog's font, or the handheld's default).
    void SetFontPixelSize(int pixelSize);
    int FontPixelSize() const { return fontPixels_; }

    QWidget* ScreenWidget() const override { return widget_; }
    void PlaceScreenWidget() override;
    void OnCreate() override;
    void OnDestroy() override;
    // Keys reach the control only through the screen; it hands them to its parent, so that a
    // dialog hears Return and Escape whichever of its controls has the focus.
    void OnKeyDown(Key key) override;
    // The pen reaches a control through the screen only when input is given to the device
    // itself (a script) rather than to the desktop widget; it acts as a tap does on the widget:
    // the control takes the keyboard if it takes it from a click, and a tap that ends on it
    // presses it.
    void OnPenDown(Point point) override;
    void OnPenUp(Point point) override;

protected:
    // A tap that began and ended on the enabled control: a button is pressed, a box toggles.
    virtual void OnTapped() {}
    // Subclasses make their widget (parented to the screen) in their constructor and hand it
    // over here; the control owns it from then on.
    void Attach(QWidget* widget);
    // Reports to the parent window: a command with this control's id, or a notification.
    void CommandParent();
    void NotifyParent(ControlNotification code);
    // The style sheet for the zoom; subclasses add their own rules (colours, sizes).
    virtual QString StyleSheet(int zoom) const;
    // After the look was applied for a new zoom: what the style sheet cannot scale.
    virtual void ApplyZoom(int /*zoom*/) {}
    // Applies the look again, as after a change of zoom or font.
    void Restyle();

    static QString ToQString(std::u16string_view text);

private:
    uint16_t id_;
    QPointer<QWidget> widget_;
    std::u16string text_;  // for controls whose widget shows no text
    int fontPixels_;
    int styledZoom_ = 0;
    bool pressed_ = false;  // the pen went down on the enabled control
};

}  // namespace gui
