#include "views/date_header.h"

#include <cstdio>
#include <optional>
#include <string>

#include "platform/gui/colors.h"

namespace views {
namespace {

constexpr int kTextLeft = 2;
constexpr int kTextBottom = 22;
constexpr int kYearsPerCentury = 100;
// "yy/mm/dd(" and its terminator; the fields of a valid date never need more.
constexpr size_t kDigitsCapacity = 16;

// "yy/mm/dd(曜)": the year within its century, the month, the day and the weekday letter.
std::optional<std::u16string> HeaderText(platform::Date selectedDate) {
    const std::optional<platform::CalendarFields> fields = platform::DateToFields(selectedDate);
    if (!fields) {
        return std::nullopt;
    }
    char digits[kDigitsCapacity] = {};
    std::snprintf(digits, sizeof digits, "%02d/%02d/%02d(", fields->Year % kYearsPerCentury,
                  static_cast<int>(fields->Month), static_cast<int>(fields->Day));
    std::u16string text(digits, digits + std::char_traits<char>::length(digits));
    text += kWeekdayLetters[fields->DayOfWeek];
    text += u')';
    return text;
}

}  // namespace

// The header takes no font of its own: in the main window it follows the month grid and the
// main window selects the grid's 9-pixel view font for it; the summary pop-up leaves its
// surface's own font.
void DrawDateHeader(gui::Surface& surface, int x, int y, platform::Date selectedDate) {
    surface.FillRect(x, y, x + kDateHeaderWidth, y + kDateHeaderHeight, gui::kWhite);
    // Both lines in the surface's current pen, which every panel leaves black.
    surface.Rectangle(x, y, x + kDateHeaderWidth, y + 1);
    surface.Rectangle(x, y, x + 1, y + kDateHeaderHeight);

    const std::optional<std::u16string> text = HeaderText(selectedDate);
    if (!text) {
        return;
    }
    const gui::ColorRef previousColor = surface.SetTextColor(gui::kBlack);
    surface.DrawText(*text, {x + kTextLeft, y, x + kDateHeaderWidth, y + kTextBottom},
                     gui::TextAlign::Center);
    surface.SetTextColor(previousColor);
}

}  // namespace views
