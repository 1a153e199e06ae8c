#include "schedule/store_values.h"

#include <algorithm>
#include <string>

#include "platform/text/unicode_text.h"

namespace schedule {

std::optional<std::u16string> RestrictionDate(platform::Date date) {
    const std::optional<platform::CalendarFields> fields = platform::DateToFields(date);
    if (!fields) {
        return std::nullopt;
    }
    const std::string text = std::to_string(fields->Year) + "/" + std::to_string(fields->Month) +
                             "/" + std::to_string(fields->Day);
    return std::u16string(text.begin(), text.end());
}

void AssignCut(std::u16string& field, std::u16string_view text, size_t maxUnits) {
    size_t length = std::min(text.size(), maxUnits);
    if (length < text.size() && length > 0 && platform::IsHighSurrogate(text[length - 1])) {
        --length;
    }
    field.assign(text.substr(0, length));
}

}  // namespace schedule
