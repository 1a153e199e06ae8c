#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/gui/colors.h"
#include "platform/gui/geometry.h"
#include "platform/gui/modal_responder.h"
#include "platform/result.h"

namespace cli {

// One line of a `drive` script, read. Coordinates are device screen pixels.

// tap X Y, hold X Y, stroke X1 Y1 X2 Y2 ...
struct PenStep {
    enum class Gesture { Tap, Hold, Stroke };
    Gesture gesture = Gesture::Tap;
    std::vector<gui::Point> points;
};

// key NAME: the keys the planner's windows and accelerators know.
enum class DriveKey { Up, Down, Left, Right, Return, CtrlA, CtrlQ, CtrlY, CtrlZ };
struct KeyStep {
    DriveKey key = DriveKey::Return;
};

// type TEXT: committed to the control with the keyboard.
struct TypeStep {
    std::u16string text;
};

// command ID: posted to the active window.
struct CommandStep {
    uint16_t command = 0;
};

// wait MS: the manual timers advanced.
struct WaitStep {
    int milliseconds = 0;
};

// answer yes|no|cancel|ok [shot FILE.png ZOOM]: the next message box, pictured first with the
// box up when a shot is given.
struct AnswerStep {
    gui::MessageBoxAnswer answer = gui::MessageBoxAnswer::Ok;
    std::string shotFile;  // empty: no picture
    int shotZoom = 1;
};

// popup ID|none: the next pop-up menu (0: dismissed).
struct PopupStep {
    uint16_t command = 0;
};

// What to do with a modal dialog before it is closed, in the order written.
struct DialogAction {
    enum class Kind { PickDate, SetText, Check, Press, Shot, Print };
    Kind kind = Kind::Press;
    // The control (not used for PickDate: the dialog's month calendar); Print prints its text
    // as dialog<TAB>ID<TAB>text.
    uint16_t id = 0;
    int year = 0;  // PickDate
    int month = 0;
    int day = 0;
    std::u16string text;   // SetText
    bool checked = false;  // Check
    std::string file;      // Shot: the screen with the dialog open, at `zoom`
    int zoom = 1;
};

// dialog ok|cancel [date YYYY-MM-DD] [set ID TEXT] [check ID 0|1] [press ID] [print ID] [shot
// FILE.png ZOOM]...: the next modal dialog, then closed with OK (command 1) or Cancel (command 2).
struct DialogStep {
    std::vector<DialogAction> actions;
    uint16_t closeCommand = 1;
};

// color 0xBBGGRR|cancel: the next colour chooser.
struct ColorStep {
    std::optional<gui::ColorRef> color;
};

// shot FILE.png [ZOOM]
struct ShotStep {
    std::string file;
    int zoom = 1;
};

// state
struct StateStep {};

using DriveStep = std::variant<PenStep, KeyStep, TypeStep, CommandStep, WaitStep, AnswerStep,
                               PopupStep, DialogStep, ColorStep, ShotStep, StateStep>;

// Reads one script line. Blank lines and lines starting with '#' give no step, and a '#' word
// ends any other line but `type`'s (whose text runs to the end of the line). A line that is not
// one of the forms above gives an error that says what is wrong with it.
platform::Result<std::optional<DriveStep>> ParseDriveLine(std::string_view line);

}  // namespace cli
