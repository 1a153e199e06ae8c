#pragma once

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

namespace gui {

enum class DialogItemKind {
    Static,
    Icon,
    PushButton,
    DefaultPushButton,  // the one Return presses
    CheckBox,           // automatic: a tap toggles it
    RadioButton,        // automatic: a tap sets it and clears the dialog's other radio buttons
    Edit,
    ComboBox,  // editable drop-down; its height includes the dropped list
    MonthCalendar,
};

// Style flags of a dialog item, or-ed together.
inline constexpr uint32_t kItemBorder = 1u << 0;
// An edit that scrolls sideways as the text grows (every single-line edit here does).
inline constexpr uint32_t kItemAutoHScroll = 1u << 1;
inline constexpr uint32_t kItemTabStop = 1u << 2;    // takes the keyboard at the start
inline constexpr uint32_t kItemCenter = 1u << 3;     // static text centred
inline constexpr uint32_t kItemRight = 1u << 4;      // static text right-aligned
inline constexpr uint32_t kItemMultiLine = 1u << 5;  // edit of several lines
inline constexpr uint32_t kItemVScroll = 1u << 6;    // multi-line edit with a scroll bar
inline constexpr uint32_t kItemDisabled = 1u << 7;

// One control of a dialog; its rectangle is in dialog units.
struct DialogItem {
    DialogItemKind kind = DialogItemKind::Static;
    uint16_t id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::u16string text;
    uint32_t style = 0;
    QImage image;  // Icon only: shown at its own size
};

// A dialog as its template describes it: size in dialog units of its font, caption, font and
// controls in creation order. A dialog that is not made full screen is centred in the work
// area, so x and y are kept only as the template gives them.
struct DialogTemplate {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::u16string caption;
    std::u16string fontFace;
    int pointSize = 0;
    std::vector<DialogItem> items;
};

}  // namespace gui
