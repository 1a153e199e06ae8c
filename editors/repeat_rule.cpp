#include "editors/repeat_rule.h"

#include <array>
#include <cstdio>
#include <utility>

#include "platform/pim/item_zones.h"
#include "platform/pim/time_zones.h"

namespace editors {
namespace {

constexpr std::array<std::pair<std::string_view, RepeatKind>, 4> kFrequencies{{
    {"DAILY", RepeatKind::Daily},
    {"WEEKLY", RepeatKind::Weekly},
    {"MONTHLY", RepeatKind::Monthly},
    {"YEARLY", RepeatKind::Yearly},
}};

// The value of one part of a rule ("FREQ" of "FREQ=WEEKLY;COUNT=3"), empty when it has none.
std::string_view RulePart(std::string_view rule, std::string_view name) {
    while (!rule.empty()) {
        const size_t end = rule.find(';');
        const std::string_view part = rule.substr(0, end);
        if (part.size() > name.size() && part.substr(0, name.size()) == name &&
            part[name.size()] == '=') {
            return part.substr(name.size() + 1);
        }
        if (end == std::string_view::npos) {
            break;
        }
        rule.remove_prefix(end + 1);
    }
    return {};
}

pim::TimeZone ZoneOf(const pim::ItemZone& zone) {
    if (zone.form != pim::ItemZone::Form::Zoned) {
        return pim::TimeZone::Local();
    }
    return pim::ResolveZone(zone).value_or(pim::TimeZone::Local());
}

std::optional<platform::Date> DayOf(std::string_view until, const pim::ItemZone& zone) {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    const std::string text(until);
    const int read = std::sscanf(text.c_str(), "%4d%2d%2dT%2d%2d%2d", &year, &month, &day, &hour,
                                 &minute, &second);
    if (read != 3 && read != 6) {
        return std::nullopt;
    }
    platform::CalendarFields fields;
    fields.Year = static_cast<uint16_t>(year);
    fields.Month = static_cast<uint16_t>(month);
    fields.Day = static_cast<uint16_t>(day);
    fields.Hour = static_cast<uint16_t>(hour);
    fields.Minute = static_cast<uint16_t>(minute);
    fields.Second = static_cast<uint16_t>(second);
    std::optional<platform::Date> wall = platform::FieldsToDate(fields);
    if (wall && text.back() == 'Z') {
        // A moment: its day on the item's clock.
        const std::optional<int64_t> instant = pim::TimeZone::Utc().ToUnixSeconds(*wall);
        wall = instant ? ZoneOf(zone).FromUnixSeconds(*instant) : std::nullopt;
    }
    if (!wall) {
        return std::nullopt;
    }
    return static_cast<platform::Date>(platform::DayNumber(*wall));
}

std::string Stamp(const platform::CalendarFields& f, bool withTime) {
    char text[48];
    if (withTime) {
        std::snprintf(text, sizeof text, "%04u%02u%02uT%02u%02u%02u", unsigned{f.Year},
                      unsigned{f.Month}, unsigned{f.Day}, unsigned{f.Hour}, unsigned{f.Minute},
                      unsigned{f.Second});
    } else {
        std::snprintf(text, sizeof text, "%04u%02u%02u", unsigned{f.Year}, unsigned{f.Month},
                      unsigned{f.Day});
    }
    return text;
}

}  // namespace

Repeat RepeatOfRule(std::string_view rule, const pim::ItemZone& zone) {
    Repeat repeat;
    const std::string_view frequency = RulePart(rule, "FREQ");
    for (const auto& [name, kind] : kFrequencies) {
        if (frequency == name) {
            repeat.kind = kind;
        }
    }
    if (const std::string_view until = RulePart(rule, "UNTIL"); !until.empty()) {
        repeat.lastDay = DayOf(until, zone);
    }
    return repeat;
}

std::string RuleOfRepeat(const Repeat& repeat, const pim::ItemZone& zone, bool allDay) {
    std::string rule;
    for (const auto& [name, kind] : kFrequencies) {
        if (repeat.kind == kind) {
            rule = "FREQ=" + std::string(name);
        }
    }
    if (rule.empty() || !repeat.lastDay) {
        return rule;
    }
    std::optional<platform::CalendarFields> day = platform::DateToFields(*repeat.lastDay);
    if (!day) {
        return rule;
    }
    if (allDay) {
        return rule + ";UNTIL=" + Stamp(*day, false);
    }
    day->Hour = 23;
    day->Minute = 59;
    day->Second = 59;
    if (zone.form == pim::ItemZone::Form::Floating) {
        return rule + ";UNTIL=" + Stamp(*day, true);
    }
    const std::optional<platform::Date> wall = platform::FieldsToDate(*day);
    const std::optional<int64_t> instant = wall ? ZoneOf(zone).ToUnixSeconds(*wall) : std::nullopt;
    const std::optional<platform::Date> utc =
        instant ? pim::TimeZone::Utc().FromUnixSeconds(*instant) : std::nullopt;
    const std::optional<platform::CalendarFields> fields =
        utc ? platform::DateToFields(*utc) : std::nullopt;
    return fields ? rule + ";UNTIL=" + Stamp(*fields, true) + "Z" : rule;
}

}  // namespace editors
