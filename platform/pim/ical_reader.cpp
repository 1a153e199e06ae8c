// Reading a calendar file: its VEVENTs and VTODOs as the store's records, the VEVENTs that change
// one occurrence of a series as that series' changes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/pim/ical_event_times.h"
#include "platform/pim/ical_extras.h"
#include "platform/pim/ical_io.h"
#include "platform/pim/ical_lines.h"
#include "platform/pim/ical_values.h"
#include "platform/text/unicode_text.h"

namespace pim {
namespace {

using ical::Component;
using ical::ContentLine;
using ical::EventSpan;
using ical::EventTimes;
using ical::LineError;
using ical::LineNote;
using ical::LineValues;
using ical::ReadContext;
using ical::TimedLine;
using ical::Trim;
using ical::Upper;
using ical::WallTime;
using platform::Result;
using platform::Utf16ToUtf8Lossy;
// Text read from a file may be broken; it is carried over with U+FFFD rather than refused.
using platform::Utf8ToUtf16Lossy;

constexpr std::string_view kCategorySeparator = ", ";

// The texts and unmodelled lines every item has.
struct ItemParts {
    std::string subject;
    std::string location;
    std::string body;
    std::string uid;
    std::vector<std::string> categories;
    ItemFields given = ItemFields::None();
    ical::ReadExtras extras;
    std::set<std::string> seen;  // single properties already read
};

// SUMMARY, DESCRIPTION, UID, CATEGORIES and, for events, LOCATION. False for other names.
bool ReadItemText(const ContentLine& line, const LineValues& values, bool withLocation,
                  ItemParts& parts, ReadContext& context) {
    std::string* target = nullptr;
    int writtenOrder = 0;
    if (line.name == "SUMMARY") {
        target = &parts.subject;
        writtenOrder = 1;
        parts.given.Add(ItemField::Subject);
    } else if (line.name == "LOCATION" && withLocation) {
        target = &parts.location;
        writtenOrder = 2;
        parts.given.Add(ItemField::Location);
    } else if (line.name == "DESCRIPTION") {
        target = &parts.body;
        writtenOrder = 3;
        parts.given.Add(ItemField::Body);
    } else if (line.name == "UID") {
        target = &parts.uid;
    } else if (line.name == "CATEGORIES") {
        std::vector<std::string> items = ical::SplitTextList(line.value());
        parts.categories.insert(parts.categories.end(), items.begin(), items.end());
        parts.given.Add(ItemField::Categories);
        return true;
    } else {
        return false;
    }
    if (ical::IsRepeat(line, parts.seen, context)) {
        return true;
    }
    *target = ical::TextOf(values);
    // Parameters such as LANGUAGE are kept with the line; the export puts them back.
    if (!line.parameters.empty() && writtenOrder != 0) {
        parts.extras.KeepTextWithParameters(writtenOrder, line.text);
    }
    return true;
}

Result<void> ReadSubComponents(const Component& item, ItemParts& parts) {
    Result<void> kept = parts.extras.KeepSubComponents(item);
    if (kept.ok() && parts.extras.HasAlarm()) {
        parts.given.Add(ItemField::Reminder);
    }
    return kept;
}

std::u16string Categories(const ItemParts& parts) {
    return Utf8ToUtf16Lossy(ical::Join(parts.categories, kCategorySeparator));
}

// A VEVENT as read: an event of its own, or the change of one occurrence of a series.
struct EventRead {
    AppointmentRecord record;
    ItemFields given;
    int line = 0;  // BEGIN:VEVENT
    // RECURRENCE-ID for a change; its series is found by the UID once the whole calendar is read.
    std::optional<TimedLine> recurrenceId;
    bool thisAndFuture = false;
};

Result<EventRead> ReadEvent(const Component& event, ReadContext& context) {
    ItemParts parts;
    EventTimes times;
    bool cancelled = false;
    for (const ContentLine& line : event.properties) {
        Result<LineValues> values = ical::ReadWithLibical(line);
        if (!values.ok()) {
            return values.error();
        }
        if (values->unknownName) {
            parts.extras.KeepProperty(line.text);
        } else if (ReadItemText(line, *values, true, parts, context)) {
            continue;
        } else if (ical::IsEventTimeName(line.name)) {
            Result<void> read = ical::ReadEventTime(line, *values, times, parts.seen, context);
            if (!read.ok()) {
                return read.error();
            }
        } else if (line.name == "STATUS" && Upper(Trim(ical::TextOf(*values))) == "CANCELLED") {
            cancelled = true;
        } else {
            parts.extras.KeepProperty(line.text);
        }
    }
    if (!times.start) {
        return LineError(event.beginLine, "VEVENT has no DTSTART");
    }
    Result<void> children = ReadSubComponents(event, parts);
    if (!children.ok()) {
        return children.error();
    }
    EventSpan span;
    Result<void> timed = ical::SetEventTimes(times, span, context);
    if (!timed.ok()) {
        return timed.error();
    }
    EventRead read;
    read.line = event.beginLine;
    read.given = parts.given;
    AppointmentRecord& record = read.record;
    record.start = span.start;
    record.end = span.end;
    record.allDay = span.allDay;
    record.cancelled = cancelled;
    record.reminderSet = parts.extras.HasAlarm();
    record.subject = Utf8ToUtf16Lossy(parts.subject);
    record.location = Utf8ToUtf16Lossy(parts.location);
    record.body = Utf8ToUtf16Lossy(parts.body);
    record.categories = Categories(parts);
    record.uid = parts.uid;
    record.extraProperties = parts.extras.Joined();
    if (times.recurrenceId) {
        read.recurrenceId = times.recurrenceId;
        read.thisAndFuture = times.thisAndFuture;
        if (times.rule || !times.extras.empty() || !times.exceptions.empty()) {
            context.Note(event.beginLine,
                         "the RRULE, RDATE and EXDATE of a changed occurrence are ignored");
        }
        return read;
    }
    Result<void> recurrence = ical::SetRecurrence(times, record, context);
    if (!recurrence.ok()) {
        return recurrence.error();
    }
    return read;
}

Result<std::optional<TaskRecord>> ReadTodo(const Component& todo, ItemFields& given,
                                           ImportedCalendar& result, ReadContext& context) {
    if (todo.Has("RECURRENCE-ID")) {
        result.skipped.push_back(LineNote(
            todo.beginLine,
            "VTODO with RECURRENCE-ID (one changed occurrence of a series) not kept by the "
            "planner"));
        return std::optional<TaskRecord>();
    }
    ItemParts parts;
    TaskRecord record;
    for (const ContentLine& line : todo.properties) {
        Result<LineValues> values = ical::ReadWithLibical(line);
        if (!values.ok()) {
            return values.error();
        }
        if (values->unknownName) {
            parts.extras.KeepProperty(line.text);
        } else if (ReadItemText(line, *values, false, parts, context)) {
            continue;
        } else if (line.name == "DUE" || line.name == "COMPLETED") {
            if (ical::IsRepeat(line, parts.seen, context)) {
                continue;
            }
            Result<WallTime> time = ical::ReadTime(line, values->first(), context);
            if (!time.ok()) {
                return time.error();
            }
            Result<Date> local = ical::ToLocal(line, *time);
            if (!local.ok()) {
                return local.error();
            }
            if (line.name == "DUE") {
                record.dueDate = *local;
            } else {
                record.dateCompleted = *local;
                record.complete = true;
            }
        } else if (line.name == "STATUS" && Upper(Trim(ical::TextOf(*values))) == "COMPLETED") {
            record.complete = true;
        } else {
            if (line.name == "PERCENT-COMPLETE" && values->first() &&
                icalproperty_get_percentcomplete(values->first()) >= 100) {
                record.complete = true;
            }
            parts.extras.KeepProperty(line.text);
        }
    }
    Result<void> children = ReadSubComponents(todo, parts);
    if (!children.ok()) {
        return children.error();
    }
    record.subject = Utf8ToUtf16Lossy(parts.subject);
    record.body = Utf8ToUtf16Lossy(parts.body);
    record.categories = Categories(parts);
    record.uid = parts.uid;
    record.extraProperties = parts.extras.Joined();
    given = parts.given;
    return std::optional<TaskRecord>(std::move(record));
}

// "2026-12-09 14:00", or "2026-12-09" for a day.
std::string DescribeTime(Date date, bool day) {
    const std::optional<platform::CalendarFields> f = platform::DateToFields(date);
    if (!f) {
        return "?";
    }
    char text[32];
    if (day) {
        std::snprintf(text, sizeof text, "%04u-%02u-%02u", unsigned{f->Year}, unsigned{f->Month},
                      unsigned{f->Day});
    } else {
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", unsigned{f->Year},
                      unsigned{f->Month}, unsigned{f->Day}, unsigned{f->Hour}, unsigned{f->Minute});
    }
    return text;
}

// What a change does to its occurrence, for the user: moved, cancelled or changed otherwise.
std::string DescribeChange(const AppointmentRecord& series, const OccurrenceChange& change) {
    const Date originalStart = series.recurrence.tzid.empty()
                                   ? change.recurrenceId
                                   : ZoneToLocal(change.recurrenceId, series.recurrence.tzid)
                                         .value_or(change.recurrenceId);
    std::string text = series.subject.empty()
                           ? series.uid
                           : Utf16ToUtf8Lossy(series.subject) + " (" + series.uid + ")";
    text += ": the occurrence";
    text += change.thisAndFuture ? "s from " : " of ";
    text += DescribeTime(originalStart, series.allDay);
    if (change.cancelled) {
        return text + " cancelled";
    }
    if (platform::DateToLinear(change.start) != platform::DateToLinear(originalStart) ||
        change.allDay != series.allDay) {
        return text + (change.thisAndFuture ? " on moved, the first to " : " moved to ") +
               DescribeTime(change.start, change.allDay);
    }
    return text + " changed";
}

// What reading one file builds up.
struct ImportState {
    ReadContext context;
    ImportedCalendar result;
    // Where each UID's event lies in result.appointments, and each UID's task in result.tasks.
    std::map<std::string, size_t> eventByUid;
    std::map<std::string, size_t> taskByUid;
    // UIDs made for items without one, with the number of items each was made for.
    std::map<std::string, int> madeUids;
    // The VEVENTs with RECURRENCE-ID of the VCALENDAR being read, until their series are found.
    std::vector<EventRead> changes;
};

// An item without UID gets one made from its own lines, so that importing the same file again
// finds it instead of adding it twice.
std::string UidFromContent(const Component& item, std::map<std::string, int>& made) {
    std::vector<std::string> lines;
    ical::AppendVerbatim(item, lines);
    uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (const std::string& line : lines) {
        for (unsigned char c : line) {
            hash = (hash ^ c) * 1099511628211ull;
        }
        hash = (hash ^ '\n') * 1099511628211ull;
    }
    char text[64];
    std::snprintf(text, sizeof text, "tessarinth-import-%016llx",
                  static_cast<unsigned long long>(hash));
    const int copy = ++made[text];  // identical events stay apart
    return std::string(text) + (copy > 1 ? "-" + std::to_string(copy) : "") + "@localhost";
}

// Adds an item of the file under its UID (made from its lines when it has none). One identity,
// one item: a later item with the same UID replaces the earlier one.
template <typename Record>
void AddItem(Record record, ItemFields given, const Component& item, std::vector<Record>& records,
             std::vector<ItemFields>& gives, std::map<std::string, size_t>& byUid,
             ImportState& state) {
    if (record.uid.empty()) {
        record.uid = UidFromContent(item, state.madeUids);
        state.context.Note(item.beginLine, item.name + " without UID: it is known by " +
                                               record.uid + " from now on");
    }
    const auto [found, added] = byUid.emplace(record.uid, records.size());
    if (!added) {
        state.context.Note(item.beginLine, "a second " + item.name + " with UID " + record.uid +
                                               " replaces the first one");
        records[found->second] = std::move(record);
        gives[found->second] = given;
        return;
    }
    records.push_back(std::move(record));
    gives.push_back(given);
}

// Puts each change read from the VCALENDAR with its series, in the series' own zone; a change
// whose series is not in the file (or does not repeat) is skipped.
Result<void> AttachChanges(ImportState& state) {
    for (EventRead& read : state.changes) {
        const AppointmentRecord& change = read.record;
        const auto found = state.eventByUid.find(change.uid);
        if (found == state.eventByUid.end() ||
            !state.result.appointments[found->second].recurrence.recurs()) {
            state.result.skipped.push_back(LineNote(
                read.line,
                "VEVENT with RECURRENCE-ID changes an occurrence of " +
                    (change.uid.empty() ? std::string("a series without UID") : change.uid) +
                    (found == state.eventByUid.end() ? ", which is not in the file; not kept"
                                                     : ", which does not repeat; not kept")));
            continue;
        }
        AppointmentRecord& series = state.result.appointments[found->second];
        Result<Date> id = ical::InSeriesZone(*read.recurrenceId->line, read.recurrenceId->time,
                                             ical::SeriesZone(series), series.allDay,
                                             series.recurrence.zoneStart);
        if (!id.ok()) {
            return id.error();
        }
        std::vector<OccurrenceChange>& changes = series.recurrence.changes;
        const auto at = std::find_if(changes.begin(), changes.end(), [&](const auto& known) {
            return platform::DateToLinear(known.recurrenceId) >= platform::DateToLinear(*id);
        });
        if (at != changes.end() &&
            platform::DateToLinear(at->recurrenceId) == platform::DateToLinear(*id)) {
            state.context.Note(read.line, "a second change of the same occurrence ignored");
            continue;
        }
        OccurrenceChange kept;
        kept.recurrenceId = *id;
        kept.thisAndFuture = read.thisAndFuture;
        kept.cancelled = change.cancelled;
        kept.start = change.start;
        kept.end = change.end;
        kept.allDay = change.allDay;
        kept.reminderSet = change.reminderSet;
        kept.subject = change.subject;
        kept.location = change.location;
        kept.body = change.body;
        kept.categories = change.categories;
        kept.extraProperties = change.extraProperties;
        state.result.changedOccurrences.push_back(
            LineNote(read.line, DescribeChange(series, kept)));
        changes.insert(at, std::move(kept));
    }
    state.changes.clear();
    return {};
}

Result<void> ReadCalendar(const Component& calendar, ImportState& state) {
    state.context.zones.Clear();
    for (const ContentLine& line : calendar.properties) {
        Result<LineValues> values = ical::ReadWithLibical(line);
        if (!values.ok()) {
            return values.error();
        }
        if (line.name == "VERSION" && Trim(line.value()) != "2.0") {
            return LineError(line.line, "only iCalendar version 2.0 can be read, not " +
                                            std::string(line.value()));
        }
    }
    for (const Component& child : calendar.children) {
        if (child.name == "VTIMEZONE") {
            Result<void> zone = state.context.zones.Read(child, state.context.notes);
            if (!zone.ok()) {
                return zone;
            }
        }
    }
    for (const Component& child : calendar.children) {
        if (child.name == "VEVENT") {
            Result<EventRead> event = ReadEvent(child, state.context);
            if (!event.ok()) {
                return event.error();
            }
            if (event->recurrenceId) {
                state.changes.push_back(std::move(event).value());
            } else {
                AddItem(std::move(event->record), event->given, child, state.result.appointments,
                        state.result.appointmentsGive, state.eventByUid, state);
            }
        } else if (child.name == "VTODO") {
            ItemFields given;
            Result<std::optional<TaskRecord>> todo =
                ReadTodo(child, given, state.result, state.context);
            if (!todo.ok()) {
                return todo.error();
            }
            if (todo->has_value()) {
                AddItem(std::move(**todo), given, child, state.result.tasks, state.result.tasksGive,
                        state.taskByUid, state);
            }
        } else if (child.name != "VTIMEZONE") {
            state.result.skipped.push_back(
                LineNote(child.beginLine, child.name + " not kept by the planner"));
        }
    }
    // The zones of this VCALENDAR are still there for the changes' RECURRENCE-IDs.
    return AttachChanges(state);
}

}  // namespace

platform::Result<ImportedCalendar> ParseICalendar(std::string_view icsText) {
    Result<std::vector<ContentLine>> lines = ical::ReadContentLines(icsText);
    if (!lines.ok()) {
        return lines.error();
    }
    Result<std::vector<Component>> calendars = ical::BuildComponents(std::move(lines).value());
    if (!calendars.ok()) {
        return calendars.error();
    }
    ImportState state;
    for (const Component& calendar : *calendars) {
        Result<void> read = ReadCalendar(calendar, state);
        if (!read.ok()) {
            return read.error();
        }
    }
    state.result.notes = std::move(state.context.notes);
    return std::move(state.result);
}

}  // namespace pim
