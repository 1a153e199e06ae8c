#pragma once

#include <QImage>
#include <QLabel>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/gui/colors.h"
#include "platform/gui/control.h"

namespace gui {

enum class LabelAlign { Left, Center, Right };

// A static control: one or more lines of text from its top edge, optionally bordered, or a
// picture. Its background is its parent's unless colours are set (a colour swatch).
class Label : public Control {
public:
    Label(DeviceScreen& screen, uint16_t id, std::u16string text,
          LabelAlign align = LabelAlign::Left, bool border = false);

    void SetText(std::u16string_view text) override;
    std::u16string Text() const override;
    // The text colour and the background behind it, kept until changed again.
    void SetColors(ColorRef text, ColorRef background);
    // A picture in the top-left corner at its own size (times the zoom), replacing the text.
    void SetImage(const QImage& image);

protected:
    QString StyleSheet(int zoom) const override;
    void ApplyZoom(int zoom) override;

private:
    QLabel* label_;
    bool border_;
    std::optional<ColorRef> textColor_;
    std::optional<ColorRef> background_;
    QImage image_;
};

}  // namespace gui
