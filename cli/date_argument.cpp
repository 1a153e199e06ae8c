#include "cli/date_argument.h"

#include <array>
#include <cstdio>

namespace cli {
namespace {

constexpr size_t kYearDigits = 4;
constexpr size_t kMonthOrDayDigits = 2;
constexpr size_t kDayTextLength = 10;   // YYYY-MM-DD
constexpr size_t kMonthTextLength = 7;  // YYYY-MM

constexpr std::array<std::string_view, 7> kWeekdayNames{"Sun", "Mon", "Tue", "Wed",
                                                        "Thu", "Fri", "Sat"};

std::optional<int> Digits(std::string_view text, size_t at, size_t count) {
    if (at + count > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::optional<platform::Date> ParseDate(std::string_view text, bool dayOptional) {
    const bool withDay = text.size() == kDayTextLength;
    if (!withDay && !(dayOptional && text.size() == kMonthTextLength)) {
        return std::nullopt;
    }
    if (text[kYearDigits] != '-' || (withDay && text[kMonthTextLength] != '-')) {
        return std::nullopt;
    }
    const std::optional<int> year = Digits(text, 0, kYearDigits);
    const std::optional<int> month = Digits(text, kYearDigits + 1, kMonthOrDayDigits);
    const std::optional<int> day =
        withDay ? Digits(text, kMonthTextLength + 1, kMonthOrDayDigits) : std::optional<int>(1);
    if (!year || !month || !day || *day < 1) {
        return std::nullopt;
    }
    // MakeDate would carry a day past the month's end into the next month; a date argument must
    // name a real day.
    const std::optional<platform::Date> date = platform::MakeDate(*year, *month, *day);
    if (!date) {
        return std::nullopt;
    }
    const std::optional<platform::CalendarFields> fields = platform::DateToFields(*date);
    if (!fields || fields->Day != *day || fields->Month != *month) {
        return std::nullopt;
    }
    return date;
}

}  // namespace

std::optional<platform::Date> ParseDayArgument(std::string_view text) {
    return ParseDate(text, false);
}

std::optional<platform::Date> ParseMonthArgument(std::string_view text) {
    return ParseDate(text, true);
}

std::optional<platform::Date> ParseMinuteArgument(std::string_view text) {
    constexpr size_t kMinuteTextLength = kDayTextLength + 6;  // YYYY-MM-DDTHH:MM
    if (text.size() != kMinuteTextLength || text[kDayTextLength] != 'T' ||
        text[kDayTextLength + 3] != ':') {
        return std::nullopt;
    }
    const std::optional<platform::Date> day = ParseDayArgument(text.substr(0, kDayTextLength));
    const std::optional<int> hour = Digits(text, kDayTextLength + 1, 2);
    const std::optional<int> minute = Digits(text, kDayTextLength + 4, 2);
    if (!day || !hour || !minute || *hour > 23 || *minute > 59) {
        return std::nullopt;
    }
    const platform::CalendarFields fields = *platform::DateToFields(*day);
    return platform::MakeDate(fields.Year, fields.Month, fields.Day, *hour, *minute);
}

std::optional<platform::Date> Today(const platform::Clock& clock) {
    const platform::CalendarFields now = clock.LocalTimeNow();
    return platform::MakeDate(now.Year, now.Month, now.Day);
}

std::string_view WeekdayAbbreviation(unsigned dayOfWeek) {
    return dayOfWeek < kWeekdayNames.size() ? kWeekdayNames[dayOfWeek] : "?";
}

std::string WeekdayOf(platform::Date date) {
    const std::optional<platform::CalendarFields> f = platform::DateToFields(date);
    return std::string(f ? WeekdayAbbreviation(unsigned{f->DayOfWeek}) : "?");
}

std::string FormatDay(platform::Date date) {
    const std::optional<platform::CalendarFields> f = platform::DateToFields(date);
    if (!f) {
        return "?";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", unsigned{f->Year}, unsigned{f->Month},
                  unsigned{f->Day});
    return text;
}

std::string FormatMinute(platform::Date date) {
    const std::optional<platform::CalendarFields> f = platform::DateToFields(date);
    if (!f) {
        return "?";
    }
    char text[48];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u", unsigned{f->Year},
                  unsigned{f->Month}, unsigned{f->Day}, unsigned{f->Hour}, unsigned{f->Minute});
    return text;
}

}  // namespace cli
