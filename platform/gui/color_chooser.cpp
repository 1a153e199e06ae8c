#include "platform/gui/color_chooser.h"

#include <QColorDialog>

#include <vector>

#include "platform/gui/device_screen.h"

namespace gui {

std::optional<ColorRef> ChooseColor(DeviceScreen& screen, ColorRef initial) {
    if (ModalResponder* responder = screen.Responder()) {
        return responder->AnswerColor(initial);
    }
    // The custom colours are the desktop's for the whole run: lend a blank set, put them back.
    std::vector<QColor> desktopCustom;
    for (int i = 0; i < QColorDialog::customCount(); ++i) {
        desktopCustom.push_back(QColorDialog::customColor(i));
        QColorDialog::setCustomColor(i, Qt::white);
    }
    QColorDialog dialog(ToQColor(initial), &screen);
    dialog.setOption(QColorDialog::DontUseNativeDialog, true);
    dialog.setWindowTitle(QStringLiteral("色の設定"));
    const bool confirmed = dialog.exec() == QDialog::Accepted;
    const QColor chosen = dialog.selectedColor();
    for (int i = 0; i < static_cast<int>(desktopCustom.size()); ++i) {
        QColorDialog::setCustomColor(i, desktopCustom[static_cast<size_t>(i)]);
    }
    if (!confirmed || !chosen.isValid()) {
        return std::nullopt;
    }
    return FromQRgb(chosen.rgb());
}

}  // namespace gui
