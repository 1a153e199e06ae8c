#include "calendar/ical_event_times.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace calendar::ical {
namespace {

using platform::CalendarFields;
using platform::Result;

constexpr int64_t kSecondsPerDay = 86400;

// Seconds of a duration: its days and weeks (nominal) and the rest (exact).
struct DurationParts {
    int64_t days = 0;
    int64_t seconds = 0;
};

DurationParts SplitDuration(const icaldurationtype& duration) {
    const int64_t sign = duration.is_neg ? -1 : 1;
    return {sign * (int64_t{duration.weeks} * 7 + int64_t{duration.days}),
            sign * (int64_t{duration.hours} * 3600 + int64_t{duration.minutes} * 60 +
                    int64_t{duration.seconds})};
}

Result<void> SetAllDayTimes(const EventTimes& times, EventSpan& span) {
    const double first = std::floor(platform::DateToLinear(times.start->time.wall));
    double last = first;
    int lineOfEnd = times.start->line->line;
    if (times.end) {
        // DTEND is exclusive: the event's last day is the day before.
        const double end = platform::DateToLinear(times.end->time.wall);
        last = end == std::floor(end) ? end - 1 : std::floor(end);
        lineOfEnd = times.end->line->line;
    } else if (times.duration) {
        const DurationParts parts = SplitDuration(*times.duration);
        const int64_t total = parts.days * kSecondsPerDay + parts.seconds;
        const int64_t days = total <= 0 ? 1 : (total + kSecondsPerDay - 1) / kSecondsPerDay;
        last = first + static_cast<double>(days) - 1;
        lineOfEnd = times.durationLine->line;
    }
    span.allDay = true;
    span.start = platform::LinearToDate(first);
    span.end = platform::LinearToDate(std::max(first, last));
    span.zone.form = ItemZone::Form::Floating;
    span.zoneStart = span.start;
    span.zoneEnd = span.end;
    if (!platform::DateToFields(span.end)) {
        return LineError(lineOfEnd, "the event ends after the year 9999");
    }
    return {};
}

Result<void> SetTimedTimes(const EventTimes& times, EventSpan& span) {
    const TimedLine& start = *times.start;
    Result<Date> localStart = ToLocal(*start.line, start.time);
    if (!localStart.ok()) {
        return localStart.error();
    }
    span.start = *localStart;
    span.end = span.start;
    if (times.end) {
        Result<Date> localEnd = ToLocal(*times.end->line, times.end->time);
        if (!localEnd.ok()) {
            return localEnd.error();
        }
        span.end = *localEnd;
    } else if (times.duration) {
        // Days and weeks keep the wall-clock time in the start's zone; hours and less are exact.
        const DurationParts parts = SplitDuration(*times.duration);
        const Date endWall = AddDays(start.time.wall, static_cast<double>(parts.days));
        const std::optional<int64_t> instant = start.time.zone.ToUnixSeconds(endWall);
        const std::optional<Date> local =
            instant ? TimeZone::Local().FromUnixSeconds(*instant + parts.seconds) : std::nullopt;
        if (!local) {
            return LineError(times.durationLine->line,
                             "DURATION takes the event outside the years 100 to 9999");
        }
        span.end = *local;
    }
    if (IsBefore(span.end, span.start)) {
        span.end = span.start;
    }
    span.zone = start.time.itemZone;
    span.zoneStart = start.time.wall;
    span.zoneEnd = start.time.wall;
    if (times.end && !times.end->time.isDate && times.end->time.zone.SameZone(start.time.zone)) {
        span.zoneEnd = times.end->time.wall;
    } else if (IsBefore(span.start, span.end)) {
        const std::optional<int64_t> instant = TimeZone::Local().ToUnixSeconds(span.end);
        span.zoneEnd =
            instant ? start.time.zone.FromUnixSeconds(*instant).value_or(span.end) : span.end;
    }
    if (IsBefore(span.zoneEnd, span.zoneStart)) {
        span.zoneEnd = span.zoneStart;
    }
    return {};
}

}  // namespace

Date WholeDay(Date date) {
    return platform::LinearToDate(std::floor(platform::DateToLinear(date)));
}

double TimeOfDay(Date date) {
    const double linear = platform::DateToLinear(date);
    return linear - std::floor(linear);
}

Date AddDays(Date date, double days) {
    return platform::LinearToDate(platform::DateToLinear(date) + days);
}

bool IsBefore(Date a, Date b) {
    return platform::DateToLinear(a) < platform::DateToLinear(b);
}

bool IsRepeat(const ContentLine& line, std::set<std::string>& seen, ReadContext& context) {
    if (seen.insert(line.name).second) {
        return false;
    }
    context.Note(line.line, "second " + line.name + " ignored");
    return true;
}

Result<WallTime> ReadTime(const ContentLine& line, icalproperty* p, ReadContext& context) {
    const icalvalue* value = p ? icalproperty_get_value(p) : nullptr;
    const icalvalue_kind kind = value ? icalvalue_isa(value) : ICAL_NO_VALUE;
    icaltimetype time = icaltime_null_time();
    if (kind == ICAL_DATE_VALUE || kind == ICAL_DATETIME_VALUE) {
        time = icalvalue_get_datetime(value);
    } else if (kind == ICAL_PERIOD_VALUE) {
        time = icalvalue_get_period(value).start;  // an RDATE period counts from its start
    } else if (kind == ICAL_DATETIMEPERIOD_VALUE) {
        const icaldatetimeperiodtype both = icalvalue_get_datetimeperiod(value);
        time = icaltime_is_null_time(both.time) ? both.period.start : both.time;
    } else {
        return LineError(line.line, line.name + " has no valid date");
    }
    const bool timeValid =
        time.is_date || (time.hour >= 0 && time.hour <= 23 && time.minute >= 0 &&
                         time.minute <= 59 && time.second >= 0 && time.second <= 60);
    if (time.month < 1 || time.month > 12 || time.day < 1 ||
        time.day > icaltime_days_in_month(time.month, time.year) || !timeValid) {
        return LineError(line.line, line.name + " has no valid date");
    }
    if (time.year < platform::kMinYear || time.year > platform::kMaxYear) {
        return LineError(line.line, line.name + " is outside the years 100 to 9999");
    }
    CalendarFields fields;
    fields.Year = static_cast<uint16_t>(time.year);
    fields.Month = static_cast<uint16_t>(time.month);
    fields.Day = static_cast<uint16_t>(time.day);
    if (!time.is_date) {
        fields.Hour = static_cast<uint16_t>(time.hour);
        fields.Minute = static_cast<uint16_t>(time.minute);
        fields.Second = static_cast<uint16_t>(std::min(time.second, 59));  // no leap seconds
    }
    const std::optional<Date> wall = platform::FieldsToDate(fields);
    if (!wall) {
        return LineError(line.line, line.name + " has no valid date");
    }
    WallTime out;
    out.wall = *wall;
    out.isDate = time.is_date != 0;
    out.itemZone.form = ItemZone::Form::Floating;
    if (out.isDate) {
        return out;
    }
    if (icaltime_is_utc(time)) {
        out.zone = TimeZone::Utc();
        out.itemZone = ItemZone{ItemZone::Form::Zoned, "UTC", {}};
        return out;
    }
    icalparameter* tzidParameter = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER);
    const char* tzid = tzidParameter ? icalparameter_get_tzid(tzidParameter) : nullptr;
    if (tzid == nullptr || *tzid == '\0') {
        return out;  // floating: local time
    }
    out.writtenTzid = tzid;
    // Kept as written, with the file's own definition, even when it cannot be worked out: it
    // is written back that way.
    out.itemZone =
        ItemZone{ItemZone::Form::Zoned, out.writtenTzid, context.zones.Definition(out.writtenTzid)};
    if (std::optional<TimeZone> zone = context.zones.Resolve(out.writtenTzid)) {
        out.zone = *zone;
    } else if (context.notedZones.insert(out.writtenTzid).second) {
        context.Note(line.line, "unknown time zone " + out.writtenTzid + " taken as local time");
    }
    return out;
}

Result<Date> ToLocal(const ContentLine& line, const WallTime& time) {
    if (time.isDate || time.zone.isLocal()) {
        return time.wall;
    }
    const std::optional<int64_t> instant = time.zone.ToUnixSeconds(time.wall);
    const std::optional<Date> local =
        instant ? TimeZone::Local().FromUnixSeconds(*instant) : std::nullopt;
    if (!local) {
        return LineError(line.line, line.name + " is outside the years 100 to 9999");
    }
    return *local;
}

Result<Date> InSeriesZone(const ContentLine& line, const WallTime& time, const TimeZone& seriesZone,
                          bool allDay, Date zoneStart) {
    if (allDay) {
        return WholeDay(time.wall);
    }
    if (time.isDate) {
        return platform::LinearToDate(std::floor(platform::DateToLinear(time.wall)) +
                                      TimeOfDay(zoneStart));
    }
    if (time.zone.SameZone(seriesZone)) {
        return time.wall;
    }
    const std::optional<int64_t> instant = time.zone.ToUnixSeconds(time.wall);
    const std::optional<Date> converted =
        instant ? seriesZone.FromUnixSeconds(*instant) : std::nullopt;
    if (!converted) {
        return LineError(line.line, line.name + " is outside the years 100 to 9999");
    }
    return *converted;
}

TimeZone SeriesZone(const AppointmentRecord& series) {
    if (series.allDay) {
        return TimeZone::Local();
    }
    return ResolveZone(series.zone).value_or(TimeZone::Local());
}

Result<void> ReadEventTime(const ContentLine& line, const LineValues& values, EventTimes& times,
                           std::set<std::string>& seen, ReadContext& context) {
    if (line.name == "DTSTART" || line.name == "DTEND") {
        if (IsRepeat(line, seen, context)) {
            return {};
        }
        Result<WallTime> time = ReadTime(line, values.first(), context);
        if (!time.ok()) {
            return time.error();
        }
        (line.name == "DTSTART" ? times.start : times.end) = TimedLine{&line, *time};
    } else if (line.name == "DURATION") {
        if (IsRepeat(line, seen, context)) {
            return {};
        }
        const icalvalue* value = values.first() ? icalproperty_get_value(values.first()) : nullptr;
        if (value == nullptr || icalvalue_isa(value) != ICAL_DURATION_VALUE) {
            return LineError(line.line, "DURATION is not a valid duration");
        }
        times.duration = icalvalue_get_duration(value);
        times.durationLine = &line;
    } else if (line.name == "RRULE") {
        if (times.rule) {
            context.Note(line.line, "only the first RRULE of a series is kept; this one is not");
            return {};
        }
        const icalvalue* value = values.first() ? icalproperty_get_value(values.first()) : nullptr;
        if (value == nullptr || icalvalue_isa(value) != ICAL_RECUR_VALUE) {
            return LineError(line.line, "RRULE is not a valid recurrence rule");
        }
        icalrecurrencetype rule = icalvalue_get_recur(value);
        if (rule.freq == ICAL_NO_RECURRENCE) {
            return LineError(line.line, "RRULE is not a valid recurrence rule");
        }
        times.rule = TakeBuffer(icalrecurrencetype_as_string_r(&rule));
    } else if (line.name == "RECURRENCE-ID") {
        if (IsRepeat(line, seen, context)) {
            return {};
        }
        Result<WallTime> time = ReadTime(line, values.first(), context);
        if (!time.ok()) {
            return time.error();
        }
        times.recurrenceId = TimedLine{&line, *time};
        const std::string* range = line.FindParameter("RANGE");
        times.thisAndFuture = range != nullptr && Upper(*range) == "THISANDFUTURE";
    } else {  // EXDATE, RDATE: taken whole or not at all
        std::vector<TimedLine> read;
        for (icalproperty* p : values.all()) {
            Result<WallTime> time = ReadTime(line, p, context);
            if (!time.ok()) {
                return time.error();
            }
            read.push_back(TimedLine{&line, *time});
        }
        std::vector<TimedLine>& list = line.name == "EXDATE" ? times.exceptions : times.extras;
        list.insert(list.end(), read.begin(), read.end());
    }
    return {};
}

Result<void> SetEventTimes(EventTimes& times, EventSpan& span, ReadContext& context) {
    if (times.end && times.duration) {
        context.Note(times.durationLine->line, "DURATION ignored next to DTEND");
        times.duration.reset();
    }
    return times.start->time.isDate ? SetAllDayTimes(times, span) : SetTimedTimes(times, span);
}

Result<void> SetRecurrence(const EventTimes& times, AppointmentRecord& record) {
    if (!times.rule && times.extras.empty() && times.exceptions.empty()) {
        return {};
    }
    Recurrence& recurrence = record.recurrence;
    recurrence.rule = times.rule.value_or(std::string());
    const WallTime& start = times.start->time;
    const TimeZone seriesZone = record.allDay ? TimeZone::Local() : start.zone;
    for (const auto& [list, target] : {std::pair{&times.exceptions, &recurrence.exceptionDates},
                                       std::pair{&times.extras, &recurrence.extraDates}}) {
        for (const TimedLine& entry : *list) {
            Result<Date> date =
                InSeriesZone(*entry.line, entry.time, seriesZone, record.allDay, record.zoneStart);
            if (!date.ok()) {
                return date.error();
            }
            target->push_back(*date);
        }
    }
    return {};
}

bool EndsAtItsStart(const EventTimes& times) {
    if (!times.start || !times.end || times.start->time.isDate || times.end->time.isDate) {
        return false;
    }
    const std::optional<int64_t> start =
        times.start->time.zone.ToUnixSeconds(times.start->time.wall);
    const std::optional<int64_t> end = times.end->time.zone.ToUnixSeconds(times.end->time.wall);
    return start && end && *start == *end;
}

std::optional<int64_t> KeptLineInstant(std::string_view text, const ItemZone& itemZone) {
    Result<ContentLine> line = SplitContentLine(0, std::string(text));
    if (!line.ok()) {
        return std::nullopt;
    }
    Result<LineValues> values = ReadWithLibical(*line);
    if (!values.ok()) {
        return std::nullopt;
    }
    ReadContext context;
    Result<WallTime> time = ReadTime(*line, values->first(), context);
    if (!time.ok() || time->isDate) {
        return std::nullopt;
    }
    // The zone the item's own times name is the one its calendar defined.
    if (itemZone.zoned() && time->writtenTzid == itemZone.tzid) {
        if (std::optional<TimeZone> own = ResolveZone(itemZone)) {
            time->zone = *own;
        }
    }
    return time->zone.ToUnixSeconds(time->wall);
}

std::string UtcValue(int64_t unixSeconds) {
    const std::optional<Date> wall = TimeZone::Utc().FromUnixSeconds(unixSeconds);
    const std::optional<CalendarFields> f = wall ? platform::DateToFields(*wall) : std::nullopt;
    if (!f) {
        return {};
    }
    // Room for any field values the calendar types can hold, not only valid dates.
    char value[48];
    std::snprintf(value, sizeof value, "%04u%02u%02uT%02u%02u%02uZ", unsigned{f->Year},
                  unsigned{f->Month}, unsigned{f->Day}, unsigned{f->Hour}, unsigned{f->Minute},
                  unsigned{f->Second});
    return value;
}

}  // namespace calendar::ical
