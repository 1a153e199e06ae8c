#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gui/colors.h"
#include "platform/gui/dialog.h"
#include "platform/gui/geometry.h"
#include "platform/gui/menus.h"

namespace gui {

enum class MessageBoxButtons { Ok, YesNo, YesNoCancel };
enum class MessageBoxAnswer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

// What a message box closed without a choice answers: OK, No, or Cancel where it has one.
constexpr MessageBoxAnswer DismissedAnswer(MessageBoxButtons buttons) {
    return buttons == MessageBoxButtons::Ok      ? MessageBoxAnswer::Ok
           : buttons == MessageBoxButtons::YesNo ? MessageBoxAnswer::No
                                                 : MessageBoxAnswer::Cancel;
}

// Answers the interactions that would otherwise wait for a person: pop-up menus, message boxes,
// held presses, dialogs and the colour chooser. The screen asks it first when one is installed,
// so tests run every modal path headless and without waiting.
class ModalResponder {
public:
    virtual ~ModalResponder() = default;
    // The command picked from the pop-up, or 0 when it is dismissed.
    virtual uint16_t ChoosePopupCommand(const PopupMenu& menu, Point screenPoint) = 0;
    virtual MessageBoxAnswer AnswerMessageBox(std::u16string_view text, std::u16string_view caption,
                                              MessageBoxButtons buttons) = 0;
    // Told once a message box is made and shown on the screen, just before AnswerMessageBox is
    // asked for its answer.
    virtual void MessageBoxShown(Dialog& /*box*/) {}
    // Whether a press at the point is held long enough to count as a hold.
    virtual bool IsHold(Point screenPoint) = 0;
    // Asked once the dialog is initialised and shown (and again while it stays open): may read
    // and set its controls, then names the command the dialog is sent. The default cancels.
    virtual uint16_t AnswerDialog(Dialog& /*dialog*/) { return kCancelCommand; }
    // The colour confirmed in the colour chooser, or nothing when it is cancelled (the default).
    virtual std::optional<ColorRef> AnswerColor(ColorRef /*initial*/) { return std::nullopt; }
};

// A responder that plays back answers queued by a test and records what was asked.
class ScriptedResponder final : public ModalResponder {
public:
    std::deque<uint16_t> popupCommands;
    std::deque<MessageBoxAnswer> messageBoxAnswers;
    std::deque<bool> holds;
    // A dialog's answer: what to do with its controls first (may be empty), then the command.
    struct DialogAnswer {
        std::function<void(Dialog&)> act;
        uint16_t command = kCancelCommand;
    };
    std::deque<DialogAnswer> dialogAnswers;
    std::deque<std::optional<ColorRef>> colorAnswers;

    std::vector<std::u16string> messageBoxTexts;
    std::vector<std::vector<MenuItem>> popupsShown;
    std::vector<std::u16string> dialogsShown;  // captions
    std::vector<ColorRef> colorsOffered;       // the chooser's starting colours
    int unexpected = 0;                        // questions asked with no queued answer

    // Runs while each message box is up, before it is answered.
    std::function<void(Dialog&)> whileMessageBoxOpen;

    // Runs while the next pop-up menu is open, as the menu's own event loop runs timers and
    // whatever else arrives meanwhile; used once.
    std::function<void()> whilePopupOpen;

    uint16_t ChoosePopupCommand(const PopupMenu& menu, Point) override {
        popupsShown.push_back(menu.Items());
        if (whilePopupOpen) {
            const std::function<void()> meanwhile = std::move(whilePopupOpen);
            whilePopupOpen = nullptr;
            meanwhile();
        }
        return Take(popupCommands, uint16_t{0});
    }
    MessageBoxAnswer AnswerMessageBox(std::u16string_view text, std::u16string_view /*caption*/,
                                      MessageBoxButtons buttons) override {
        messageBoxTexts.emplace_back(text);
        return Take(messageBoxAnswers, DismissedAnswer(buttons));
    }
    void MessageBoxShown(Dialog& box) override {
        if (whileMessageBoxOpen) {
            whileMessageBoxOpen(box);
        }
    }
    bool IsHold(Point) override { return Take(holds, false); }
    uint16_t AnswerDialog(Dialog& dialog) override {
        dialogsShown.push_back(dialog.Title());
        DialogAnswer answer = Take(dialogAnswers, DialogAnswer{});
        if (answer.act) {
            answer.act(dialog);
        }
        return answer.command;
    }
    std::optional<ColorRef> AnswerColor(ColorRef initial) override {
        colorsOffered.push_back(initial);
        return Take(colorAnswers, std::optional<ColorRef>{});
    }

private:
    template <typename T>
    T Take(std::deque<T>& queue, T fallback) {
        if (queue.empty()) {
            ++unexpected;
            return fallback;
        }
        T answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

}  // namespace gui
