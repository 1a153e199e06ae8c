#include "editors/editor_labels.h"

#include <cstdio>

#include "platform/text/unicode_text.h"

namespace editors {
namespace {

constexpr std::u16string_view kWeekdayCharacters = u"日月火水木金土";

}  // namespace

std::u16string EditorDateText(platform::Date date) {
    const std::optional<platform::CalendarFields> fields = platform::DateToFields(date);
    if (!fields) {
        return {};
    }
    char digits[32];
    std::snprintf(digits, sizeof digits, "%04u/%02u/%02u", unsigned{fields->Year},
                  unsigned{fields->Month}, unsigned{fields->Day});
    return platform::Utf8ToUtf16Lossy(digits + 2) + u"(" +
           kWeekdayCharacters[fields->DayOfWeek % kWeekdayCharacters.size()] + u")";
}

std::u16string EditorTimeText(platform::Date date) {
    const std::optional<platform::CalendarFields> fields = platform::DateToFields(date);
    if (!fields) {
        return {};
    }
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02u:%02u", unsigned{fields->Hour},
                  unsigned{fields->Minute});
    return platform::Utf8ToUtf16Lossy(digits);
}

}  // namespace editors
