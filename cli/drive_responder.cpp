#include "cli/drive_responder.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "cli/terminal_text.h"
#include "platform/gui/check_box.h"
#include "platform/gui/device_screen.h"
#include "platform/gui/dialog.h"
#include "platform/gui/modal_dialog.h"
#include "platform/gui/month_calendar.h"
#include "platform/gui/push_button.h"
#include "platform/text/unicode_text.h"

namespace cli {
namespace {

// The longest a script waits for a dialog's own work: far beyond a server that answers within
// the sync's timeouts, short enough that a hung one ends the run.
constexpr std::chrono::milliseconds kLongestDialogWork{5 * 60 * 1000};

std::string Utf8(std::u16string_view text) {
    return platform::Utf16ToUtf8Lossy(text);
}

std::string Quoted(std::u16string_view text) {
    return "\"" + Utf8(text) + "\"";
}

}  // namespace

DriveResponder::DriveResponder(std::ostream& out) : out_(out) {}

void DriveResponder::NoteFault(std::string fault) {
    if (fault_.empty()) {
        fault_ = std::move(fault);
    }
}

std::string DriveResponder::UnusedAnswers() const {
    std::string unused;
    const auto count = [&](size_t n, const char* what) {
        if (n != 0) {
            unused += (unused.empty() ? "" : ", ") + std::to_string(n) + " " + what;
        }
    };
    count(messageBoxAnswers_.size(), "answer");
    count(popupCommands_.size(), "popup");
    count(dialogAnswers_.size(), "dialog");
    count(colorAnswers_.size(), "color");
    return unused.empty() ? unused : "queued and never asked for: " + unused;
}

uint16_t DriveResponder::ChoosePopupCommand(const gui::PopupMenu& menu, gui::Point screenPoint) {
    if (popupCommands_.empty()) {
        NoteFault("a pop-up menu opened at " + std::to_string(screenPoint.x) + " " +
                  std::to_string(screenPoint.y) + " with no popup queued");
        return 0;
    }
    const uint16_t command = popupCommands_.front();
    popupCommands_.pop_front();
    if (command != 0 && !menu.IsEnabled(command)) {
        NoteFault("popup " + std::to_string(command) + " is not an item the menu offers enabled");
        return 0;
    }
    return command;
}

void DriveResponder::MessageBoxShown(gui::Dialog& box) {
    if (messageBoxAnswers_.empty() || messageBoxAnswers_.front().shotFile.empty()) {
        return;
    }
    const AnswerStep& answer = messageBoxAnswers_.front();
    box.Screen().ProcessPending();
    if (!box.Screen()
             .Render(answer.shotZoom)
             .save(QString::fromStdString(answer.shotFile), "PNG")) {
        NoteFault("cannot write " + answer.shotFile);
    }
}

gui::MessageBoxAnswer DriveResponder::AnswerMessageBox(std::u16string_view text,
                                                       std::u16string_view caption,
                                                       gui::MessageBoxButtons buttons) {
    out_ << "message\t" << TsvField(caption) << "\t" << TsvField(text) << "\n";
    const gui::MessageBoxAnswer dismissed = gui::DismissedAnswer(buttons);
    if (messageBoxAnswers_.empty()) {
        NoteFault("the message box " + Quoted(text) + " was shown with no answer queued");
        return dismissed;
    }
    const gui::MessageBoxAnswer answer = messageBoxAnswers_.front().answer;
    messageBoxAnswers_.pop_front();
    const bool fits =
        buttons == gui::MessageBoxButtons::Ok ? answer == gui::MessageBoxAnswer::Ok
        : buttons == gui::MessageBoxButtons::YesNo
            ? answer == gui::MessageBoxAnswer::Yes || answer == gui::MessageBoxAnswer::No
            : answer != gui::MessageBoxAnswer::Ok;
    if (!fits) {
        NoteFault("the message box " + Quoted(text) + " has " +
                  (buttons == gui::MessageBoxButtons::Ok      ? "only OK"
                   : buttons == gui::MessageBoxButtons::YesNo ? "Yes and No"
                                                              : "Yes, No and Cancel") +
                  ", which the queued answer does not name");
        return dismissed;
    }
    return answer;
}

bool DriveResponder::IsHold(gui::Point /*screenPoint*/) {
    return pressIsHeld_;
}

bool DriveResponder::Act(gui::Dialog& dialog, const DialogAction& action) {
    const std::string where = " in the dialog " + Quoted(dialog.Title());
    switch (action.kind) {
        case DialogAction::Kind::PickDate: {
            const auto& items = dialog.Items();
            const auto found = std::find_if(items.begin(), items.end(), [](gui::Control* control) {
                return dynamic_cast<gui::MonthCalendar*>(control) != nullptr;
            });
            if (found == items.end()) {
                // A dialog that picks its day with the date picker takes it as picked there.
                if (dialog.Handler().TakePickedDay(dialog, action.year, action.month, action.day)) {
                    return true;
                }
                NoteFault("no month calendar" + where);
                return false;
            }
            if (!static_cast<gui::MonthCalendar*>(*found)->Pick(
                    {action.year, action.month, action.day})) {
                NoteFault("no such day to pick" + where);
                return false;
            }
            return true;
        }
        case DialogAction::Kind::SetText:
            if (gui::Control* control = dialog.Item(action.id)) {
                control->SetText(action.text);
                return true;
            }
            break;
        case DialogAction::Kind::Check:
            if (auto* box = dialog.ItemAs<gui::CheckBox>(action.id)) {
                if (box->IsChecked() != action.checked) {
                    box->Click();
                }
                return true;
            }
            break;
        case DialogAction::Kind::Press:
            if (auto* button = dialog.ItemAs<gui::PushButton>(action.id)) {
                button->Click();
                return true;
            }
            break;
        case DialogAction::Kind::Print:
            if (gui::Control* control = dialog.Item(action.id)) {
                out_ << "dialog\t" << action.id << "\t" << TsvField(control->Text()) << "\n";
                return true;
            }
            break;
        case DialogAction::Kind::Shot:
            if (!dialog.Screen()
                     .Render(action.zoom)
                     .save(QString::fromStdString(action.file), "PNG")) {
                NoteFault("cannot write " + action.file);
                return false;
            }
            return true;
    }
    NoteFault("no control " + std::to_string(action.id) + " of that kind" + where);
    return false;
}

uint16_t DriveResponder::AnswerDialog(gui::Dialog& dialog) {
    if (dialogAnswers_.empty()) {
        NoteFault("the dialog " + Quoted(dialog.Title()) + " was shown with no dialog queued");
        // Taken away unanswered: nothing it would have done on OK or Cancel happens.
        dialog.Destroy();
        return gui::kCancelCommand;
    }
    DialogStep answer = std::move(dialogAnswers_.front());
    dialogAnswers_.pop_front();
    const std::function<bool()> alive = dialog.Screen().IsAlive(&dialog);
    for (const DialogAction& action : answer.actions) {
        if (!alive()) {
            NoteFault("the dialog closed before all its queued actions were done");
            return gui::kCancelCommand;
        }
        if (!Act(dialog, action)) {
            dialog.Destroy();
            return gui::kCancelCommand;
        }
        // A button's work (a colour chooser, say) runs as its tap's would, before the next;
        // so does work it set off on a thread of its own (a request to a server).
        dialog.Screen().ProcessPending();
        if (!gui::WaitForDialogWork(dialog, kLongestDialogWork)) {
            NoteFault("the dialog's work did not end within " +
                      std::to_string(kLongestDialogWork.count() / 1000) + " s");
            dialog.Destroy();
            return gui::kCancelCommand;
        }
    }
    return answer.closeCommand;
}

std::optional<gui::ColorRef> DriveResponder::AnswerColor(gui::ColorRef /*initial*/) {
    if (colorAnswers_.empty()) {
        NoteFault("the colour chooser was shown with no color queued");
        return std::nullopt;
    }
    const std::optional<gui::ColorRef> color = colorAnswers_.front();
    colorAnswers_.pop_front();
    return color;
}

}  // namespace cli
