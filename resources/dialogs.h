#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace resources {

// The control id of labels and pictures that nothing addresses.
inline constexpr uint16_t kUnaddressedControl = 0xFFFF;

// One control of a dialog template. Positions and sizes are in dialog units of the template's
// font.
struct DialogItem {
    enum class Kind {
        Static,
        Icon,
        PushButton,
        DefPushButton,
        CheckBox,     // automatic: a tap toggles it
        RadioButton,  // automatic: a tap sets it, clearing the dialog's other radio buttons
        Edit,         // single line
        MonthCalendar,
    };
    enum class Align { Left, Center, Right };

    Kind kind = Kind::Static;
    uint16_t id = kUnaddressedControl;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::u16string text;
    int iconId = 0;  // Kind::Icon only
    Align align = Align::Left;
    bool border = false;
    bool autoHScroll = false;  // an edit box that scrolls sideways as the text grows
    bool tabStop = false;
};

// A modal pop-up dialog with a caption.
struct DialogTemplate {
    int id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::u16string caption;
    std::u16string fontFace;
    int fontPointSize = 0;
    std::vector<DialogItem> items;
};

// The dialog template of the given id (103 About box, 104 date picker, 115 settings, 131
// repeat, 132 find, 133 sync), or nullptr.
const DialogTemplate* FindDialog(int id);

}  // namespace resources
