#include "store/alarm_trigger.h"

#include <libical/ical.h>

#include <memory>
#include <string>

#include "calendar/time_zones.h"

namespace store {
namespace {

using platform::DateToLinear;
using platform::LinearToDate;

constexpr double kSecondsPerDay = 86400.0;
constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kAlarmBegin = "BEGIN:VALARM";
constexpr std::string_view kAlarmEnd = "END:VALARM";

struct ComponentDeleter {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

// The trigger of one VALARM block (its BEGIN..END lines), read by libical.
std::optional<AlarmTrigger> ReadTrigger(const std::string& block) {
    const Component alarm(icalcomponent_new_from_string(block.c_str()));
    if (!alarm || icalcomponent_isa(alarm.get()) != ICAL_VALARM_COMPONENT) {
        return std::nullopt;
    }
    // An e-mail (or any other kind of) alarm is for another program to act on.
    if (icalproperty* action =
            icalcomponent_get_first_property(alarm.get(), ICAL_ACTION_PROPERTY)) {
        const icalproperty_action kind = icalproperty_get_action(action);
        if (kind != ICAL_ACTION_DISPLAY && kind != ICAL_ACTION_AUDIO) {
            return std::nullopt;
        }
    }
    icalproperty* property = icalcomponent_get_first_property(alarm.get(), ICAL_TRIGGER_PROPERTY);
    if (property == nullptr) {
        return std::nullopt;
    }
    const icaltriggertype trigger = icalproperty_get_trigger(property);
    AlarmTrigger read;
    if (!icaltime_is_null_time(trigger.time)) {
        if (!icaltime_is_valid_time(trigger.time)) {
            return std::nullopt;
        }
        // An absolute trigger is UTC by the standard; one without a zone is read as local time.
        std::optional<Date> moment;
        if (icaltime_is_utc(trigger.time)) {
            const time_t seconds =
                icaltime_as_timet_with_zone(trigger.time, icaltimezone_get_utc_timezone());
            moment = calendar::TimeZone::Local().FromUnixSeconds(static_cast<int64_t>(seconds));
        } else {
            moment =
                platform::MakeDate(trigger.time.year, trigger.time.month, trigger.time.day,
                                   trigger.time.hour, trigger.time.minute, trigger.time.second);
        }
        if (!moment) {
            return std::nullopt;
        }
        read.anchor = AlarmTrigger::Anchor::Moment;
        read.moment = *moment;
        return read;
    }
    if (icaldurationtype_is_bad_duration(trigger.duration)) {
        return std::nullopt;
    }
    read.offsetSeconds = icaldurationtype_as_int(trigger.duration);
    icalparameter* related = icalproperty_get_first_parameter(property, ICAL_RELATED_PARAMETER);
    read.anchor = related != nullptr && icalparameter_get_related(related) == ICAL_RELATED_END
                      ? AlarmTrigger::Anchor::End
                      : AlarmTrigger::Anchor::Start;
    return read;
}

// A time moved by whole seconds, rounded back onto the second so that it compares equal to the
// same time written out ("10:55" is 11:00 less five minutes).
Date MovedBySeconds(Date date, int64_t seconds) {
    const Date moved = LinearToDate(DateToLinear(date) + seconds / kSecondsPerDay);
    const std::optional<platform::CalendarFields> fields = platform::DateToFields(moved);
    return fields ? platform::FieldsToDate(*fields).value_or(moved) : moved;
}

}  // namespace

Date AlarmTrigger::RingTime(Date start, Date end) const {
    switch (anchor) {
        case Anchor::Moment:
            return moment;
        case Anchor::End:
            return MovedBySeconds(end, offsetSeconds);
        case Anchor::Start:
            break;
    }
    return MovedBySeconds(start, offsetSeconds);
}

std::optional<AlarmTrigger> EarliestAlarmTrigger(std::string_view keptLines, Date start, Date end) {
    std::optional<AlarmTrigger> earliest;
    size_t at = 0;
    while ((at = keptLines.find(kAlarmBegin, at)) != std::string_view::npos) {
        const size_t close = keptLines.find(kAlarmEnd, at);
        if (close == std::string_view::npos) {
            break;
        }
        // Only a line of its own opens an alarm, not the same words inside another line.
        const bool startsLine = at == 0 || keptLines[at - 1] == '\n';
        std::string block(keptLines.substr(at, close + kAlarmEnd.size() - at));
        block += kLineBreak;
        at = startsLine ? close + kAlarmEnd.size() : at + kAlarmBegin.size();
        if (!startsLine) {
            continue;
        }
        const std::optional<AlarmTrigger> trigger = ReadTrigger(block);
        if (trigger && (!earliest || DateToLinear(trigger->RingTime(start, end)) <
                                         DateToLinear(earliest->RingTime(start, end)))) {
            earliest = trigger;
        }
    }
    return earliest;
}

}  // namespace store
