#include "calendar/handwritten_memo.h"

namespace calendar {
namespace {

constexpr std::u16string_view kInkFileExtension = u".dat";
constexpr std::u16string_view kLineBreaks = u"\r\n";

}  // namespace

bool IsInkFileName(std::u16string_view name) {
    if (!name.ends_with(kInkFileExtension)) {
        return false;
    }
    const std::u16string_view number = name.substr(0, name.size() - kInkFileExtension.size());
    if (number.empty()) {
        return false;
    }
    for (const char16_t unit : number) {
        if (unit < u'0' || unit > u'9') {
            return false;
        }
    }
    return true;
}

std::u16string_view FirstMemoLine(std::u16string_view body) {
    return body.substr(0, body.find_first_of(kLineBreaks));
}

std::u16string_view AfterFirstMemoLine(std::u16string_view body) {
    const size_t end = body.find_first_of(kLineBreaks);
    if (end == std::u16string_view::npos) {
        return {};
    }
    return body.substr(end + (body.substr(end).starts_with(u"\r\n") ? 2 : 1));
}

std::u16string_view InkNameOf(std::u16string_view body, bool handwritten) {
    if (!handwritten) {
        return {};
    }
    const std::u16string_view first = FirstMemoLine(body);
    return IsInkFileName(first) ? first : std::u16string_view();
}

std::u16string_view TypedTextOf(std::u16string_view body, bool handwritten) {
    return InkNameOf(body, handwritten).empty() ? body : AfterFirstMemoLine(body);
}

std::u16string_view ReadableMemo(std::u16string_view body, bool handwritten) {
    const std::u16string_view typed = TypedTextOf(body, handwritten);
    return handwritten && typed.empty() ? kHandwrittenMemoText : typed;
}

}  // namespace calendar
