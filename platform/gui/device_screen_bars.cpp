#include "platform/gui/device_screen.h"

#include <QMenu>
#include <QPainter>

#include <algorithm>

#include "platform/gui/input_panel_button.h"
#include "platform/gui/message_box.h"
#include "platform/gui/shell_look.h"

namespace gui {
namespace {

QFont BarFont(int zoom) {
    return ShellFont(12, zoom);
}

QString CssColor(const QColor& color) {
    return color.name(QColor::HexRgb);
}

// The pop-up menus in the bars' colours, every length in device pixels times the zoom, so a
// menu grows with the screen it belongs to.
QString MenuStyleSheet(int zoom) {
    return QStringLiteral(
               "QMenu { background: white; color: %1; border: %3px solid %2; padding: %3px 0px; }"
               "QMenu::item { padding: %4px %5px; }"
               "QMenu::item:selected { background: %6; color: white; }"
               "QMenu::item:disabled { color: #808080; }"
               "QMenu::separator { height: %3px; background: %2; margin: %4px %3px; }")
        .arg(CssColor(kMenuTextColor), CssColor(kMenuBarLineColor))
        .arg(zoom)
        .arg(3 * zoom)
        .arg(12 * zoom)
        .arg(CssColor(kBarColor));
}

// Buttons of a menu bar laid out left to right, each as wide as its text needs.
struct ButtonSlot {
    int left;
    int right;
    const MenuBarButton* button;
};

std::vector<ButtonSlot> LayOutButtons(const MenuBar& bar) {
    std::vector<ButtonSlot> placed;
    const QFontMetrics metrics(BarFont(1));
    int x = 0;
    for (const MenuBarButton& button : bar.Buttons()) {
        if (button.separator) {
            x += 6;
            continue;
        }
        const int width = metrics.horizontalAdvance(QString::fromStdU16String(button.text)) + 12 +
                          (button.dropDown ? 8 : 0);
        placed.push_back({x, x + width, &button});
        x += width;
    }
    return placed;
}

constexpr int kOkButtonWidth = 30;

}  // namespace

MenuBar* DeviceScreen::CreateMenuBar(Window& owner, std::vector<MenuBarButton> buttons) {
    auto bar = std::make_unique<MenuBar>(std::move(buttons));
    MenuBar* raw = bar.get();
    menuBars_[&owner] = std::move(bar);
    update();
    return raw;
}

MenuBar* DeviceScreen::MenuBarOf(const Window& owner) const {
    auto found = menuBars_.find(&owner);
    return found == menuBars_.end() ? nullptr : found->second.get();
}

void DeviceScreen::ShowOkButton(Window& window) {
    if (std::find(okButtons_.begin(), okButtons_.end(), &window) == okButtons_.end()) {
        okButtons_.push_back(&window);
    }
    update();
}

Window* DeviceScreen::OkButtonTarget() const {
    // The newest window that asked for the button within the active window: a pop-up child
    // (the summary) is closed by it while it is up, the window itself afterwards.
    for (auto it = okButtons_.rbegin(); it != okButtons_.rend(); ++it) {
        const Window* topLevel = *it;
        while (topLevel->Parent()) {
            topLevel = topLevel->Parent();
        }
        if (active_ && topLevel == active_ && (*it)->IsVisible()) {
            return *it;
        }
    }
    return nullptr;
}

QAction* DeviceScreen::ExecMenu(QMenu& menu, QPoint anchor, PopupOpening opening) {
    menu.setFont(BarFont(zoom_));
    menu.setStyleSheet(MenuStyleSheet(zoom_));
    menu.ensurePolished();
    const QSize hint = menu.sizeHint();
    const Rect placed = PlacePopup({hint.width(), hint.height()}, {anchor.x(), anchor.y()},
                                   {0, 0, Width() * zoom_, Height() * zoom_}, opening);
    return menu.exec(mapToGlobal(QPoint(placed.left, placed.top)));
}

uint16_t DeviceScreen::TrackPopupMenu(const PopupMenu& menu, Point screenPoint,
                                      PopupOpening opening) {
    if (responder_) {
        return responder_->ChoosePopupCommand(menu, screenPoint);
    }
    QMenu popup(this);
    for (const MenuItem& item : menu.Items()) {
        if (item.separator) {
            popup.addSeparator();
            continue;
        }
        QAction* action = popup.addAction(QString::fromStdU16String(item.text));
        action->setEnabled(item.enabled);
        action->setData(item.command);
    }
    QAction* chosen =
        ExecMenu(popup, QPoint(screenPoint.x * zoom_, screenPoint.y * zoom_), opening);
    return chosen ? static_cast<uint16_t>(chosen->data().toUInt()) : uint16_t{0};
}

MessageBoxAnswer DeviceScreen::ShowMessageBox(std::u16string_view text, std::u16string_view caption,
                                              MessageBoxButtons buttons) {
    // In a dialog of the screen's own over the window in front, so that the question is drawn
    // at the screen's zoom inside its frame, as the program's other dialogs are.
    return RunMessageBox(*this, active_, text, caption, buttons);
}

bool DeviceScreen::PressOnBars(Point p) {
    if (p.y < kBarHeight) {
        Window* target = OkButtonTarget();
        if (target && p.x >= Width() - kOkButtonWidth) {
            target->PostCommand(kOkCommand);
        }
        return true;
    }
    if (p.y >= Height() - kBarHeight) {
        if (InputPanelButtonRect(Width(), Height()).Contains(p)) {
            PressInputPanelButton();
            return true;
        }
        MenuBar* bar = active_ ? MenuBarOf(*active_) : nullptr;
        if (!bar) {
            return true;
        }
        for (const ButtonSlot& slot : LayOutButtons(*bar)) {
            if (p.x < slot.left || p.x >= slot.right) {
                continue;
            }
            Window* owner = active_;
            if (slot.button->dropDown) {
                // As the shell's, the sub-menu rises from its button over the work area.
                const uint16_t chosen = TrackPopupMenu(
                    slot.button->menu, {slot.left, Height() - kBarHeight}, PopupOpening::Upward);
                if (chosen != 0 && IsAlive(owner)()) {
                    owner->PostCommand(chosen);
                }
            } else {
                owner->PostCommand(slot.button->command);
            }
            break;
        }
        return true;
    }
    return false;
}

void DeviceScreen::DrawBars(QPainter& painter, int zoom) const {
    const int width = Width() * zoom;
    const int barHeight = kBarHeight * zoom;
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    // Navigation bar: the active window's title, and its OK button when it asked for one.
    painter.fillRect(0, 0, width, barHeight, kBarColor);
    painter.setFont(BarFont(zoom));
    painter.setPen(kBarTextColor);
    const QString title = active_ ? QString::fromStdU16String(active_->title_) : QString();
    painter.drawText(QRect(6 * zoom, 0, width - 40 * zoom, barHeight),
                     Qt::AlignVCenter | Qt::AlignLeft, title);
    if (OkButtonTarget()) {
        const QRect ok((Width() - kOkButtonWidth + 3) * zoom, 4 * zoom, (kOkButtonWidth - 6) * zoom,
                       (kBarHeight - 8) * zoom);
        painter.setPen(QPen(kBarTextColor, zoom));
        painter.drawRoundedRect(ok, 3 * zoom, 3 * zoom);
        painter.drawText(ok, Qt::AlignCenter, QStringLiteral("OK"));
    }
    // Menu bar of the active window.
    const int top = (Height() - kBarHeight) * zoom;
    painter.fillRect(0, top, width, barHeight, kMenuBarColor);
    painter.fillRect(0, top, width, zoom, kMenuBarLineColor);
    const MenuBar* bar = active_ ? MenuBarOf(*active_) : nullptr;
    if (!bar) {
        return;
    }
    painter.setPen(kMenuTextColor);
    for (const ButtonSlot& slot : LayOutButtons(*bar)) {
        const QRect area(slot.left * zoom, top, (slot.right - slot.left) * zoom, barHeight);
        QRect textArea = area;
        if (slot.button->dropDown) {
            textArea.setRight(area.right() - 8 * zoom);
            // A small triangle tells a drop-down from a button.
            const int cx = area.right() - 6 * zoom;
            const int cy = top + barHeight / 2 - zoom;
            QPolygon arrow;
            arrow << QPoint(cx - 3 * zoom, cy - 2 * zoom) << QPoint(cx + 3 * zoom, cy - 2 * zoom)
                  << QPoint(cx, cy + 2 * zoom);
            painter.setBrush(kMenuTextColor);
            painter.drawPolygon(arrow);
            painter.setBrush(Qt::NoBrush);
        }
        painter.drawText(textArea, Qt::AlignCenter, QString::fromStdU16String(slot.button->text));
        painter.fillRect(area.right(), top + 5 * zoom, zoom, barHeight - 10 * zoom,
                         kMenuBarLineColor);
    }
}

}  // namespace gui
