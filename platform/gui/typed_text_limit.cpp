#include "platform/gui/typed_text_limit.h"

#include <QLineEdit>

#include <algorithm>

namespace gui {

std::optional<TakenBack> TakeBackOverLimit(const QString& before, const QString& after, int cursor,
                                           int limit) {
    const int length = static_cast<int>(after.size());
    const int grown = length - static_cast<int>(before.size());
    const int excess = std::min(grown, length - limit);
    if (limit <= 0 || excess <= 0) {
        return std::nullopt;
    }
    cursor = std::clamp(cursor, 0, length);
    int from = std::max(cursor - excess, 0);
    // Half a pair would be left before the cut: it goes with its other half.
    if (from > 0 && from < length && after[from].isLowSurrogate() &&
        after[from - 1].isHighSurrogate()) {
        --from;
    }
    return TakenBack{after.left(from) + after.mid(cursor), from};
}

void TypedTextLimit::KeepWithinLimit(QLineEdit& field) {
    if (const std::optional<TakenBack> kept =
            TakeBackOverLimit(accepted_, field.text(), field.cursorPosition(), limit_)) {
        field.setText(kept->text);
        field.setCursorPosition(kept->cursor);
    }
    accepted_ = field.text();
}

}  // namespace gui
