#pragma once

#include <deque>
#include <optional>
#include <ostream>
#include <string>

#include "cli/drive_script.h"
#include "platform/gui/modal_responder.h"

namespace cli {

// Answers the planner's modal questions from what a `drive` script queued before them, in
// order, one queue per kind of question. A question with no answer queued, or an answer that
// does not fit it (yes to an OK box, a greyed menu item), is a fault of the script: it is
// answered as a dismissal and remembered, and the run stops after its line.
class DriveResponder final : public gui::ModalResponder {
public:
    // Message boxes are printed on `out` as they are shown.
    explicit DriveResponder(std::ostream& out);

    void Queue(const AnswerStep& answer) { messageBoxAnswers_.push_back(answer); }
    void Queue(const PopupStep& popup) { popupCommands_.push_back(popup.command); }
    void Queue(DialogStep dialog) { dialogAnswers_.push_back(std::move(dialog)); }
    void Queue(const ColorStep& color) { colorAnswers_.push_back(color.color); }
    // Whether the press being made is held (asked while the pen is down).
    void SetPressIsHeld(bool held) { pressIsHeld_ = held; }

    // The first question that found no fitting answer, said in a sentence; empty while none.
    const std::string& Fault() const { return fault_; }
    // The answers queued and never taken, said in a sentence; empty when every one was used.
    std::string UnusedAnswers() const;

    uint16_t ChoosePopupCommand(const gui::PopupMenu& menu, gui::Point screenPoint) override;
    // Takes the picture the next answer asks for, with the box up.
    void MessageBoxShown(gui::Dialog& box) override;
    gui::MessageBoxAnswer AnswerMessageBox(std::u16string_view text, std::u16string_view caption,
                                           gui::MessageBoxButtons buttons) override;
    bool IsHold(gui::Point screenPoint) override;
    uint16_t AnswerDialog(gui::Dialog& dialog) override;
    std::optional<gui::ColorRef> AnswerColor(gui::ColorRef initial) override;

private:
    void NoteFault(std::string fault);
    // Carries out one queued action on the dialog; false (with the fault noted) when it cannot.
    bool Act(gui::Dialog& dialog, const DialogAction& action);

    std::ostream& out_;
    std::deque<AnswerStep> messageBoxAnswers_;
    std::deque<uint16_t> popupCommands_;
    std::deque<DialogStep> dialogAnswers_;
    std::deque<std::optional<gui::ColorRef>> colorAnswers_;
    bool pressIsHeld_ = false;
    std::string fault_;
};

}  // namespace cli
