#include "calendar/lone_occurrence.h"

#include <algorithm>
#include <string>

#include "calendar/ical_event_times.h"
#include "calendar/ical_extras.h"
#include "calendar/ical_lines.h"
#include "calendar/ical_values.h"
#include "calendar/item_zones.h"

namespace calendar {
namespace {

constexpr std::string_view kRecurrenceId = "RECURRENCE-ID";

std::optional<std::string> KeptRecurrenceId(const std::string& kept) {
    if (kept.find(kRecurrenceId) == std::string::npos) {
        return std::nullopt;  // the common case, without splitting the lines
    }
    for (const std::string& line : SplitKeptLines(kept).properties) {
        if (ical::NameOfLine(line) == kRecurrenceId) {
            return line;
        }
    }
    return std::nullopt;
}

}  // namespace

bool IsLoneOccurrence(const AppointmentRecord& record) {
    return !record.recurrence.recurs() && KeptRecurrenceId(record.extraProperties).has_value();
}

std::optional<Date> LoneOccurrenceId(const AppointmentRecord& lone,
                                     const AppointmentRecord& series) {
    const std::optional<std::string> kept = KeptRecurrenceId(lone.extraProperties);
    if (!kept) {
        return std::nullopt;
    }
    platform::Result<ical::ContentLine> line = ical::SplitContentLine(0, *kept);
    if (!line.ok()) {
        return std::nullopt;
    }
    platform::Result<ical::LineValues> values = ical::ReadWithLibical(*line);
    if (!values.ok()) {
        return std::nullopt;
    }
    ical::ReadContext context;
    platform::Result<ical::WallTime> time = ical::ReadTime(*line, values->first(), context);
    if (!time.ok()) {
        return std::nullopt;
    }
    // A zone named as the occurrence's own start names it is the one its file defined.
    const std::string* tzid = line->FindParameter("TZID");
    if (tzid != nullptr && lone.zone.form == ItemZone::Form::Zoned && lone.zone.tzid == *tzid) {
        if (std::optional<TimeZone> own = ResolveZone(lone.zone)) {
            time->zone = *own;
        }
    }
    platform::Result<Date> id =
        ical::InSeriesZone(*line, *time, ical::SeriesZone(series), series.allDay, series.zoneStart);
    return id.ok() ? std::optional<Date>(*id) : std::nullopt;
}

OccurrenceChange AsChangeOf(const AppointmentRecord& series, const AppointmentRecord& occurrence,
                            Date recurrenceId, bool thisAndFuture) {
    OccurrenceChange change;
    change.recurrenceId = recurrenceId;
    change.thisAndFuture = thisAndFuture;
    change.cancelled = occurrence.cancelled;
    change.start = occurrence.start;
    change.end = occurrence.end;
    // Kept in the series' zone, whatever zone the occurrence was written in.
    const auto inSeriesZone = [&](Date local) {
        return occurrence.allDay || series.allDay
                   ? local
                   : LocalToZoneWall(series.zone, local).value_or(local);
    };
    change.zoneStart = inSeriesZone(occurrence.start);
    change.zoneEnd = inSeriesZone(occurrence.end);
    change.allDay = occurrence.allDay;
    change.reminderSet = occurrence.reminderSet;
    change.subject = occurrence.subject;
    change.location = occurrence.location;
    change.body = occurrence.body;
    change.handwritten = occurrence.handwritten;
    change.categories = occurrence.categories;
    change.extraProperties = ReplaceKeptProperty(occurrence.extraProperties, kRecurrenceId, "");
    return change;
}

bool PutChange(AppointmentRecord& series, OccurrenceChange change, bool replace) {
    std::vector<OccurrenceChange>& changes = series.recurrence.changes;
    const double id = platform::DateToLinear(change.recurrenceId);
    const auto at = std::find_if(changes.begin(), changes.end(), [&](const auto& known) {
        return platform::DateToLinear(known.recurrenceId) >= id;
    });
    if (at != changes.end() && platform::DateToLinear(at->recurrenceId) == id) {
        if (!replace) {
            return false;
        }
        *at = std::move(change);
        return true;
    }
    changes.insert(at, std::move(change));
    return true;
}

}  // namespace calendar
