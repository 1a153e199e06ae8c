#pragma once

// What the iCalendar reader and writer tests share: building dates, importing and exporting with
// a fixed clock, reading written text line by line, and calendars both sides use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/ical_io.h"

namespace calendar {

inline Date At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    const std::optional<Date> date = platform::MakeDate(year, month, day, hour, minute, second);
    EXPECT_TRUE(date.has_value());
    return date.value_or(0);
}

inline std::string WithCrlf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\r\n";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

inline ImportedCalendar Import(std::string_view text) {
    platform::Result<ImportedCalendar> result = ParseICalendar(text);
    EXPECT_TRUE(result.ok()) << (result.ok() ? "" : result.error().message);
    return result.ok() ? std::move(result).value() : ImportedCalendar{};
}

inline std::string Export(const ImportedCalendar& calendar) {
    platform::CalendarFields now;
    now.Year = 2024;
    now.Month = 6;
    now.Day = 1;
    now.Hour = 12;
    return WriteICalendar(calendar.appointments, calendar.tasks, platform::FixedClock(now));
}

// The content lines of a text, unfolded.
inline std::vector<std::string> Unfold(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line.front() == ' ' && !lines.empty()) {
            lines.back() += line.substr(1);
        } else if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

inline bool Contains(const std::vector<std::string>& lines, const std::string& wanted) {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

class ICalTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
};

inline constexpr std::string_view kNewYorkSeries = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VTIMEZONE
TZID:America/New_York
BEGIN:STANDARD
DTSTART:20071104T020000
TZOFFSETFROM:-0400
TZOFFSETTO:-0500
RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU
END:STANDARD
BEGIN:DAYLIGHT
DTSTART:20070311T020000
TZOFFSETFROM:-0500
TZOFFSETTO:-0400
RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU
END:DAYLIGHT
END:VTIMEZONE
BEGIN:VEVENT
UID:standup@example.com
DTSTART;TZID=America/New_York:20240304T090000
DTEND;TZID=America/New_York:20240304T093000
RRULE:FREQ=WEEKLY;BYDAY=MO,WE;UNTIL=20240601T000000Z
EXDATE;TZID=America/New_York:20240311T090000,20240313T090000
EXDATE:20240318T130000Z
RDATE;TZID=Europe/Berlin:20240322T150000
SUMMARY:Standup
DTSTAMP:20240201T080000Z
END:VEVENT
END:VCALENDAR
)";

inline constexpr std::string_view kAlarms = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VEVENT
UID:with-alarm
DTSTART:20240601T080000Z
SUMMARY:歯医者
BEGIN:VALARM
ACTION:DISPLAY
TRIGGER:-PT1H
DESCRIPTION:歯医者
END:VALARM
END:VEVENT
BEGIN:VEVENT
UID:without-alarm
DTSTART:20240602T080000Z
END:VEVENT
END:VCALENDAR
)";

inline constexpr std::string_view kTasks = R"(BEGIN:VCALENDAR
VERSION:2.0
BEGIN:VTODO
UID:task-due-day
SUMMARY:請求書を送る
DUE;VALUE=DATE:20240620
STATUS:NEEDS-ACTION
DTSTAMP:20240501T000000Z
END:VTODO
BEGIN:VTODO
UID:task-due-time
DUE;TZID=Asia/Tokyo:20240620T180000
CATEGORIES:仕事
DTSTAMP:20240501T000000Z
END:VTODO
BEGIN:VTODO
UID:task-no-due
DESCRIPTION:いつか
DTSTAMP:20240501T000000Z
END:VTODO
BEGIN:VTODO
UID:task-completed
DUE:20240101T100000
COMPLETED:20240102T083000Z
STATUS:COMPLETED
PERCENT-COMPLETE:100
DTSTAMP:20240501T000000Z
END:VTODO
BEGIN:VTODO
UID:task-status-only
STATUS:COMPLETED
DTSTAMP:20240501T000000Z
END:VTODO
BEGIN:VTODO
UID:task-percent-only
PERCENT-COMPLETE:100
DTSTAMP:20240501T000000Z
END:VTODO
END:VCALENDAR
)";

}  // namespace calendar
