#include "platform/gui/modal_dialog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>

#include "platform/gui/device_screen.h"

namespace gui {
namespace {

// How often a responder is asked before a dialog that will not end is given up on.
constexpr int kMaxResponderRounds = 16;

void FocusFirstTabStop(Dialog& dialog) {
    const std::vector<DialogItem>& items = dialog.Template().items;
    for (size_t i = 0; i < items.size() && i < dialog.Items().size(); ++i) {
        Control* control = dialog.Items()[i];
        if ((items[i].style & kItemTabStop) != 0 && control->IsEnabled()) {
            control->Focus();
            return;
        }
    }
}

}  // namespace

int RunModalDialog(DeviceScreen& screen, Window& owner, const DialogTemplate& dialogTemplate,
                   DialogHandler& handler) {
    return RunModalDialogAnswered(
        screen, &owner, dialogTemplate, handler,
        [](ModalResponder& responder, Dialog& dialog) { return responder.AnswerDialog(dialog); });
}

int RunModalDialogAnswered(DeviceScreen& screen, Window* owner,
                           const DialogTemplate& dialogTemplate, DialogHandler& handler,
                           const std::function<uint16_t(ModalResponder&, Dialog&)>& answer) {
    Dialog* dialog = screen.CreateTopLevel<Dialog>(dialogTemplate, handler, owner);
    const std::shared_ptr<Dialog::Outcome> outcome = dialog->SharedOutcome();
    const std::function<bool()> alive = screen.IsAlive(dialog);
    const bool focusFirst = handler.OnInitDialog(*dialog);
    if (alive() && !outcome->ended) {
        dialog->Show();
        if (focusFirst) {
            FocusFirstTabStop(*dialog);
        }
        if (ModalResponder* responder = screen.Responder()) {
            for (int round = 0; round < kMaxResponderRounds && alive() && !outcome->ended;
                 ++round) {
                // What the dialog posted while it opened has run before anyone answers.
                screen.ProcessPending();
                if (!alive() || outcome->ended) {
                    break;
                }
                const uint16_t command = answer(*responder, *dialog);
                if (alive() && !outcome->ended) {
                    dialog->SendCommand(command);
                }
            }
        } else {
            QEventLoop loop;
            outcome->loop = &loop;
            if (!outcome->ended) {
                loop.exec(QEventLoop::DialogExec);
            }
            outcome->loop = nullptr;
        }
    }
    if (alive()) {
        dialog->Destroy();
    }
    return outcome->ended ? outcome->result : kDialogNotEnded;
}

bool WaitForDialogWork(Dialog& dialog, std::chrono::milliseconds longest) {
    const std::function<bool()> alive = dialog.Screen().IsAlive(&dialog);
    QElapsedTimer waited;
    waited.start();
    while (alive() && dialog.Handler().IsWorking()) {
        const qint64 left = longest.count() - waited.elapsed();
        if (left <= 0) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents,
                                        static_cast<int>(std::min<qint64>(left, 100)));
    }
    if (alive()) {
        dialog.Screen().ProcessPending();
    }
    return true;
}

void InitFullScreenDialog(Dialog& dialog) {
    dialog.MakeFullScreen();
    dialog.Screen().ShowOkButton(dialog);
    dialog.Screen().HideInputPanel();
}

}  // namespace gui
