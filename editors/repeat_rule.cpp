#include "editors/repeat_rule.h"

#include <array>
#include <cstdio>
#include <utility>

#include "calendar/item_zones.h"
#include "calendar/time_zones.h"
#include "store/recurrence_expander.h"

namespace editors {
namespace {

constexpr std::array<std::pair<std::string_view, RepeatKind>, 4> kFrequencies{{
    {"DAILY", RepeatKind::Daily},
    {"WEEKLY", RepeatKind::Weekly},
    {"MONTHLY", RepeatKind::Monthly},
    {"YEARLY", RepeatKind::Yearly},
}};

calendar::TimeZone ZoneOf(const calendar::ItemZone& zone) {
    if (zone.form != calendar::ItemZone::Form::Zoned) {
        return calendar::TimeZone::Local();
    }
    return calendar::ResolveZone(zone).value_or(calendar::TimeZone::Local());
}

// The day an UNTIL ends on, on the item's clock: a moment in UTC is seen there first.
std::optional<platform::Date> DayOf(const store::RuleReach::Until& until,
                                    const calendar::ItemZone& zone) {
    std::optional<platform::Date> wall = platform::FieldsToDate(until.wall);
    if (wall && until.utc) {
        const std::optional<int64_t> instant = calendar::TimeZone::Utc().ToUnixSeconds(*wall);
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

Repeat RepeatOfRule(std::string_view rule, const calendar::ItemZone& zone) {
    Repeat repeat;
    if (rule.empty()) {
        return repeat;
    }
    const store::RuleReach reach = store::ReachOfRule(std::string(rule));
    for (const auto& [name, kind] : kFrequencies) {
        if (reach.frequency == name) {
            repeat.kind = kind;
        }
    }
    if (reach.until) {
        repeat.lastDay = DayOf(*reach.until, zone);
    }
    return repeat;
}

std::string RuleOfRepeat(const Repeat& repeat, const calendar::ItemZone& zone, bool allDay) {
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
    if (zone.form == calendar::ItemZone::Form::Floating) {
        return rule + ";UNTIL=" + Stamp(*day, true);
    }
    const std::optional<platform::Date> wall = platform::FieldsToDate(*day);
    const std::optional<int64_t> instant = wall ? ZoneOf(zone).ToUnixSeconds(*wall) : std::nullopt;
    const std::optional<platform::Date> utc =
        instant ? calendar::TimeZone::Utc().FromUnixSeconds(*instant) : std::nullopt;
    const std::optional<platform::CalendarFields> fields =
        utc ? platform::DateToFields(*utc) : std::nullopt;
    return fields ? rule + ";UNTIL=" + Stamp(*fields, true) + "Z" : rule;
}

}  // namespace editors
