#include "reminders/reminder_text.h"

#include <array>
#include <cstdio>
#include <optional>

namespace reminders {
namespace {

constexpr std::u16string_view kUntitled = u"予定";
constexpr std::u16string_view kLateMark = u"（遅れて通知）";
constexpr std::u16string_view kAllDay = u"終日";
constexpr std::u16string_view kPlaceMark = u"@";
constexpr std::array<std::u16string_view, 7> kWeekdays{u"日", u"月", u"火", u"水",
                                                       u"木", u"金", u"土"};

std::u16string Ascii(const char* text) {
    std::u16string out;
    for (; *text != '\0'; ++text) {
        out += static_cast<char16_t>(*text);
    }
    return out;
}

// "12/21(月)"
std::u16string DayLabel(const platform::CalendarFields& fields) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%u/%u(", fields.Month, fields.Day);
    return Ascii(digits) + std::u16string(kWeekdays[fields.DayOfWeek % kWeekdays.size()]) + u")";
}

// "10:00"
std::u16string TimeLabel(const platform::CalendarFields& fields) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02u:%02u", fields.Hour, fields.Minute);
    return Ascii(digits);
}

bool SameDay(const platform::CalendarFields& a, const platform::CalendarFields& b) {
    return a.Year == b.Year && a.Month == b.Month && a.Day == b.Day;
}

std::u16string TimeRange(const Reminder& reminder) {
    const std::optional<platform::CalendarFields> start = platform::DateToFields(reminder.start);
    const std::optional<platform::CalendarFields> end = platform::DateToFields(reminder.end);
    if (!start || !end) {
        return {};
    }
    if (reminder.allDay) {
        std::u16string range = DayLabel(*start);
        if (!SameDay(*start, *end)) {
            range += u"-" + DayLabel(*end);
        }
        return range + u" " + std::u16string(kAllDay);
    }
    std::u16string range = DayLabel(*start) + u" " + TimeLabel(*start) + u"-";
    if (!SameDay(*start, *end)) {
        range += DayLabel(*end) + u" ";
    }
    return range + TimeLabel(*end);
}

}  // namespace

ReminderText TextOf(const Reminder& reminder, Lateness lateness) {
    ReminderText text;
    text.title = reminder.subject.empty() ? std::u16string(kUntitled) : reminder.subject;
    if (lateness == Lateness::Late) {
        text.title += kLateMark;
    }
    text.body = TimeRange(reminder);
    if (!reminder.location.empty()) {
        text.body += u" " + std::u16string(kPlaceMark) + reminder.location;
    }
    return text;
}

}  // namespace reminders
