#pragma once

#include <cstdint>
#include <string_view>

#include "platform/gui/dialog_template.h"
#include "platform/gui/modal_responder.h"

namespace gui {

class DeviceScreen;
class Window;

// The control ids of a message box: its buttons send their answer's number, as the handheld's
// message boxes do (OK 1, キャンセル 2, はい 6, いいえ 7); its text is a static nothing sends.
inline constexpr uint16_t kMessageBoxText = 0xFFFF;
inline constexpr uint16_t kMessageBoxYes = static_cast<uint16_t>(MessageBoxAnswer::Yes);
inline constexpr uint16_t kMessageBoxNo = static_cast<uint16_t>(MessageBoxAnswer::No);

// The dialog a question or a warning is put in: a pop-up of the screen's own, in the dialogs'
// face, its text from the top left, broken into lines as wide as the dialog allows (at word
// boundaries, and inside a word too long for a line, as a file's path can be) and as many lines
// high as it takes, at the given zoom and at zooms 1 and 2, the sizes the screen is mostly seen
// at; under it a row of buttons: OK; はい and いいえ; はい, いいえ and キャンセル. The first
// button is the default, which Return presses.
DialogTemplate MessageBoxTemplate(std::u16string_view text, std::u16string_view caption,
                                  MessageBoxButtons buttons, int zoom);

// What a command sent to a message box answers: its button's answer, or, for anything else
// (Escape's cancel to a box without キャンセル), the answer of a box closed without a choice.
MessageBoxAnswer MessageBoxAnswerOf(MessageBoxButtons buttons, uint16_t command);

// Asks in that dialog over `owner` (null: over nothing) and waits for the answer. With a modal
// responder installed the box is still made and shown, and the responder's answer presses its
// button. An empty caption leaves the owner's title in the navigation bar.
MessageBoxAnswer RunMessageBox(DeviceScreen& screen, Window* owner, std::u16string_view text,
                               std::u16string_view caption, MessageBoxButtons buttons);

}  // namespace gui
