// Reading a calendar file: its VEVENTs and VTODOs as the store's records, the VEVENTs that change
// one occurrence of a series as that series' changes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "calendar/ical_categories.h"
#include "calendar/ical_event_times.h"
#include "calendar/ical_extras.h"
#include "calendar/ical_io.h"
#include "calendar/ical_lines.h"
#include "calendar/ical_reading.h"
#include "calendar/ical_values.h"
#include "calendar/lone_occurrence.h"
#include "platform/text/base64.h"
#include "platform/text/unicode_text.h"

namespace calendar {
namespace {

using ical::Component;
using ical::ContentLine;
using ical::EventSpan;
using ical::EventTimes;
using ical::LineError;
using ical::LineNote;
using ical::LineValues;
using ical::Problem;
using ical::ReadContext;
using ical::TimedLine;
using ical::Trim;
using ical::Upper;
using ical::WallTime;
using platform::Result;
using platform::Utf16ToUtf8Lossy;
// Text read from a file may be broken; it is carried over with U+FFFD rather than refused.
using platform::Utf8ToUtf16Lossy;

// The texts and unmodelled lines every item has.
struct ItemParts {
    std::string subject;
    std::string location;
    std::string body;
    std::string uid;
    std::vector<std::string> categoryLines;  // CATEGORIES as they came
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
        parts.categoryLines.push_back(line.text);
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

std::string ItemOfLine(const Component& item) {
    return "the " + item.name + " of line " + std::to_string(item.beginLine);
}

// Each sub-component that reads whole is kept; one that does not (an alarm whose TRIGGER cannot
// be read) is left out, and its item kept.
void ReadSubComponents(const Component& item, ItemParts& parts, ReadContext& context) {
    parts.extras.KeepSubComponents(item, [&](const Problem& why, const Component& child) {
        context.Drop(why.line, why.what + "; " + ItemOfLine(child) + " is left out and " +
                                   ItemOfLine(item) + " imported without it");
    });
    if (parts.extras.HasAlarm()) {
        parts.given.Add(ItemField::Reminder);
    }
}

// The lines of an item that cannot be read at all are left out, each said; the lines mended to
// be read are noted.
void ReadLineProblems(const Component& item, ReadContext& context) {
    for (const Problem& broken : item.brokenLines) {
        context.Drop(broken.line,
                     broken.what + "; " + ItemOfLine(item) + " is imported without it");
    }
    for (const ContentLine& line : item.properties) {
        if (!line.mended.empty()) {
            context.Mend(line.line, line.mended);
        }
    }
}

// A line of an item whose value cannot be read. What the item's record is built from (a text, a
// time other than its start, the rule) is left out and said; what the planner only carries (GEO,
// another program's property) is carried as it stands, as unknown properties are. False when the
// item cannot be imported without it: its DTSTART, or the RECURRENCE-ID that says which
// occurrence it changes.
bool SetAside(const ContentLine& line, const platform::Error& why, bool buildsTheRecord,
              const Component& item, ItemParts& parts, ReadContext& context) {
    if (line.name == "DTSTART" || line.name == "RECURRENCE-ID") {
        return false;
    }
    if (line.name == "X-LIC-ERROR") {
        context.Drop(line.line,
                     "X-LIC-ERROR, an error the program that wrote the file recorded, "
                     "is ignored");
        return true;
    }
    if (buildsTheRecord) {
        const Problem problem = ical::ProblemOf(why, line.line);
        context.Drop(problem.line,
                     problem.what + "; " + ItemOfLine(item) + " is imported without it");
        return true;
    }
    parts.extras.KeepProperty(line.text);
    return true;
}

bool BuildsAnEvent(std::string_view name) {
    return name == "SUMMARY" || name == "LOCATION" || name == "DESCRIPTION" || name == "UID" ||
           name == "CATEGORIES" || name == "STATUS" || ical::IsEventTimeName(name);
}

bool BuildsATask(std::string_view name) {
    return name == "SUMMARY" || name == "DESCRIPTION" || name == "UID" || name == "CATEGORIES" ||
           name == "STATUS" || name == "DUE" || name == "COMPLETED" || name == "PERCENT-COMPLETE";
}

// The categories as the record keeps them; lines that the writer would write otherwise (two
// lines, say) are kept too, so that they go back as they came while the categories stay.
std::u16string Categories(ItemParts& parts) {
    if (ical::CategoriesWrittenOtherwise(parts.categoryLines)) {
        for (const std::string& line : parts.categoryLines) {
            parts.extras.KeepProperty(line);
        }
    }
    return Utf8ToUtf16Lossy(ical::JoinedCategories(parts.categoryLines));
}

bool IsInkAttachment(const ContentLine& line) {
    const std::string* type = line.FindParameter("FMTTYPE");
    return line.name == "ATTACH" && type != nullptr && *type == kInkMediaType;
}

// The handwriting of an ATTACH of our own media type; a value that is not base64 is noted and
// the event imported without it.
std::optional<CarriedInk> ReadInkAttachment(const ContentLine& line, ReadContext& context) {
    const std::string* encoding = line.FindParameter("ENCODING");
    const std::string_view value = line.value();
    std::optional<std::string> decoded = platform::DecodeBase64(value);
    if (encoding == nullptr || Upper(*encoding) != "BASE64" || !decoded) {
        context.Note(line.line, "the handwriting attached is not base64 and is not kept");
        return std::nullopt;
    }
    return CarriedInk{line.line, std::move(*decoded)};
}

// Whether a DTSTART or DTEND carries parameters the planner does not write itself (another
// program's VALUE=DATE-TIME, say), so that writing it again from its time would change the line.
bool WrittenOtherwise(const ContentLine& line) {
    if (line.name != "DTSTART" && line.name != "DTEND") {
        return false;
    }
    for (const ical::Parameter& parameter : line.parameters) {
        if (parameter.name != "TZID" &&
            !(parameter.name == "VALUE" && Upper(parameter.value) == "DATE")) {
            return true;
        }
    }
    return false;
}

Result<EventRead> ReadEvent(const Component& event, ReadContext& context) {
    ItemParts parts;
    EventTimes times;
    bool cancelled = false;
    std::optional<CarriedInk> ink;
    ReadLineProblems(event, context);
    for (const ContentLine& line : event.properties) {
        if (IsInkAttachment(line)) {
            // Carried apart from the kept lines: the ink file, not the store, holds handwriting.
            if (!ink) {
                ink = ReadInkAttachment(line, context);
            }
            continue;
        }
        Result<LineValues> values = ical::ReadWithLibical(line);
        if (!values.ok()) {
            if (!SetAside(line, values.error(), BuildsAnEvent(line.name), event, parts, context)) {
                return values.error();
            }
            continue;
        }
        if (values->unknownName) {
            parts.extras.KeepProperty(line.text);
        } else if (ReadItemText(line, *values, true, parts, context)) {
            continue;
        } else if (ical::IsEventTimeName(line.name)) {
            Result<void> read = ical::ReadEventTime(line, *values, times, parts.seen, context);
            if (!read.ok()) {
                if (!SetAside(line, read.error(), true, event, parts, context)) {
                    return read.error();
                }
                continue;
            }
            if (WrittenOtherwise(line)) {
                // Written back as it was while the time stays the same.
                parts.extras.KeepProperty(line.text);
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
    ReadSubComponents(event, parts, context);
    EventSpan span;
    Result<void> timed = ical::SetEventTimes(times, span, context);
    if (!timed.ok()) {
        return timed.error();
    }
    if (ical::EndsAtItsStart(times) && !WrittenOtherwise(*times.end->line)) {
        // The writer leaves out the end of an event without length; this one is written back
        // as it came while the event still begins and ends at that moment.
        parts.extras.KeepProperty(times.end->line->text);
    }
    EventRead read;
    read.line = event.beginLine;
    read.given = parts.given;
    read.ink = std::move(ink);
    AppointmentRecord& record = read.record;
    record.start = span.start;
    record.end = span.end;
    record.zone = span.zone;
    record.zoneStart = span.zoneStart;
    record.zoneEnd = span.zoneEnd;
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
    Result<void> recurrence = ical::SetRecurrence(times, record);
    if (!recurrence.ok()) {
        return recurrence.error();
    }
    return read;
}

// Whether a COMPLETED written again from the local moment it was read as would read otherwise
// (not in UTC, in the hour the local zone repeats): then it is kept and written back as it came
// while the task stays completed at that moment.
bool CompletedWrittenOtherwise(const ContentLine& line, Date local) {
    const std::optional<int64_t> again = TimeZone::Local().ToUnixSeconds(local);
    return !again || line.text != "COMPLETED:" + ical::UtcValue(*again);
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
    // Kept after the other lines, so that the kept lines are the same wherever a file has it.
    std::optional<std::string> keptCompleted;
    ReadLineProblems(todo, context);
    for (const ContentLine& line : todo.properties) {
        Result<LineValues> values = ical::ReadWithLibical(line);
        if (!values.ok()) {
            if (!SetAside(line, values.error(), BuildsATask(line.name), todo, parts, context)) {
                return values.error();
            }
            continue;
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
            Result<Date> local = time.ok() ? ical::ToLocal(line, *time) : time.error();
            if (!local.ok()) {
                SetAside(line, local.error(), true, todo, parts, context);
                continue;
            }
            if (line.name == "DUE") {
                record.dueDate = *local;
                record.dueZone = time->itemZone;
                record.zoneDue = time->wall;
            } else {
                record.dateCompleted = *local;
                record.complete = true;
                if (CompletedWrittenOtherwise(line, *local)) {
                    keptCompleted = line.text;
                }
            }
        } else if (line.name == "STATUS" && Upper(Trim(ical::TextOf(*values))) == "COMPLETED") {
            record.complete = true;
        } else {
            if (line.name == "PERCENT-COMPLETE" && values->first() &&
                icalproperty_get_percentcomplete(values->first()) >= 100) {
                record.complete = true;
                continue;  // the completion says it, and writes it again
            }
            parts.extras.KeepProperty(line.text);
        }
    }
    if (keptCompleted) {
        parts.extras.KeepProperty(*keptCompleted);
    }
    ReadSubComponents(todo, parts, context);
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
    const Date originalStart =
        series.allDay
            ? change.recurrenceId
            : ZoneWallToLocal(series.zone, change.recurrenceId).value_or(change.recurrenceId);
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

// The line a message of the reading names ("line 17: ..."), else `fallback`.
int LineOf(std::string_view message, int fallback) {
    return ical::ProblemOf(platform::Error{std::string(message)}, fallback).line;
}

// Leaves out what cannot be read, saying what and why and what it means for the import.
void Skip(ImportState& state, const platform::Error& error, int fallbackLine,
          std::string_view consequence) {
    state.refusals.emplace_back(LineOf(error.message, fallbackLine), error);
    state.result.skipped.push_back(error.message + "; " + std::string(consequence));
}

void Skip(ImportState& state, const Problem& problem, std::string_view consequence) {
    Skip(state, problem.AsError(), problem.line, consequence);
}

std::string NotImported(const Component& component) {
    return "the " + component.name + " of line " + std::to_string(component.beginLine) +
           " is not imported";
}

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
// one item: of two with the same UID the later version is taken (the one read last when neither
// says it is later); nullopt when this one is the earlier and is left out.
template <typename Record>
std::optional<size_t> AddItem(Record record, ItemFields given, const Component& item,
                              std::vector<Record>& records, std::vector<ItemFields>& gives,
                              std::map<std::string, size_t>& byUid, ImportState& state) {
    if (record.uid.empty()) {
        record.uid = UidFromContent(item, state.madeUids);
        state.context.Note(item.beginLine, item.name + " without UID: it is known by " +
                                               record.uid + " from now on");
    }
    const auto [found, added] = byUid.emplace(record.uid, records.size());
    if (!added) {
        if (IsEarlierVersion(record.extraProperties, records[found->second].extraProperties)) {
            state.context.Note(item.beginLine, "a second " + item.name + " with UID " + record.uid +
                                                   " is an earlier version of the first one and "
                                                   "is not taken");
            return std::nullopt;
        }
        state.context.Note(item.beginLine, "a second " + item.name + " with UID " + record.uid +
                                               " replaces the first one");
        records[found->second] = std::move(record);
        gives[found->second] = given;
        return found->second;
    }
    records.push_back(std::move(record));
    gives.push_back(given);
    return records.size() - 1;
}

// An occurrence whose series is not in the file (an invitation to one meeting of a series):
// kept as an appointment of its own that still says which occurrence it is (its RECURRENCE-ID
// among its kept lines), so that it is written as it came and joins its series when that comes.
void KeepLoneOccurrence(EventRead read, ImportState& state) {
    AppointmentRecord& record = read.record;
    record.extraProperties =
        ReplaceKeptProperty(record.extraProperties, "RECURRENCE-ID", read.recurrenceId->line->text);
    state.context.Note(read.line,
                       "VEVENT with RECURRENCE-ID changes an occurrence of " + record.uid +
                           ", which is not in the file: it joins its series in the store, "
                           "or stands alone until the series comes");
    state.eventByUid.emplace(record.uid, state.result.appointments.size());
    state.result.appointments.push_back(std::move(record));
    state.result.appointmentsGive.push_back(read.given);
    state.result.appointmentsInk.push_back(AppointmentInk{std::move(read.ink), {}});
}

}  // namespace

// Puts each change read from the VCALENDAR with its series, in the series' own zone; a change
// whose series is not in the file is kept on its own, the first one of each series.
void AttachChanges(ImportState& state) {
    for (EventRead& read : state.changes) {
        const AppointmentRecord& change = read.record;
        const auto found = state.eventByUid.find(change.uid);
        if (found == state.eventByUid.end() && !change.uid.empty()) {
            KeepLoneOccurrence(std::move(read), state);
            continue;
        }
        if (found == state.eventByUid.end() ||
            !state.result.appointments[found->second].recurrence.recurs()) {
            const char* why =
                found == state.eventByUid.end() ? ", which is not in the file; not kept"
                : IsLoneOccurrence(state.result.appointments[found->second])
                    ? ", whose series is not in the file and of which another occurrence "
                      "stands alone already; not kept"
                    : ", which does not repeat; not kept";
            state.result.skipped.push_back(LineNote(
                read.line,
                "VEVENT with RECURRENCE-ID changes an occurrence of " +
                    (change.uid.empty() ? std::string("a series without UID") : change.uid) + why));
            continue;
        }
        AppointmentRecord& series = state.result.appointments[found->second];
        Result<Date> id =
            ical::InSeriesZone(*read.recurrenceId->line, read.recurrenceId->time,
                               ical::SeriesZone(series), series.allDay, series.zoneStart);
        if (!id.ok()) {
            Skip(state, id.error(), read.line,
                 "the VEVENT of line " + std::to_string(read.line) + " is not imported");
            continue;
        }
        OccurrenceChange kept = AsChangeOf(series, change, *id, read.thisAndFuture);
        const std::string described = LineNote(read.line, DescribeChange(series, kept));
        if (!PutChange(series, std::move(kept), false)) {
            state.context.Note(read.line, "a second change of the same occurrence ignored");
            continue;
        }
        state.result.changedOccurrences.push_back(described);
        if (read.ink) {
            state.result.appointmentsInk[found->second].changes[platform::DateToLinear(*id)] =
                std::move(*read.ink);
        }
    }
    state.changes.clear();
}

namespace {

void ReadEventComponent(const Component& child, ImportState& state) {
    Result<EventRead> event = ReadEvent(child, state.context);
    if (!event.ok()) {
        Skip(state, event.error(), child.beginLine, NotImported(child));
        return;
    }
    if (event->recurrenceId) {
        EventRead change = std::move(event).value();
        change.recurrenceIdLine = std::make_unique<ContentLine>(*change.recurrenceId->line);
        change.recurrenceId->line = change.recurrenceIdLine.get();
        state.changes.push_back(std::move(change));
        return;
    }
    std::optional<CarriedInk> ink = std::move(event->ink);
    const std::optional<size_t> index =
        AddItem(std::move(event->record), event->given, child, state.result.appointments,
                state.result.appointmentsGive, state.eventByUid, state);
    state.result.appointmentsInk.resize(state.result.appointments.size());
    if (index) {
        state.result.appointmentsInk[*index] = AppointmentInk{std::move(ink), {}};
    }
}

void ReadTodoComponent(const Component& child, ImportState& state) {
    ItemFields given;
    Result<std::optional<TaskRecord>> todo = ReadTodo(child, given, state.result, state.context);
    if (!todo.ok()) {
        Skip(state, todo.error(), child.beginLine, NotImported(child));
    } else if (todo->has_value()) {
        AddItem(std::move(**todo), given, child, state.result.tasks, state.result.tasksGive,
                state.taskByUid, state);
    }
}

// Whether a line is written as vCalendar 1.0 writes it and iCalendar 2.0 does not: its alarm
// properties, its zone properties, its rules ("W1 MO #4") and quoted-printable texts.
bool IsVersion1Line(const ContentLine& line, bool atCalendarLevel) {
    static const std::set<std::string> kOnlyInVersion1 = {"AALARM", "DALARM", "MALARM", "PALARM"};
    if (kOnlyInVersion1.contains(line.name) ||
        (atCalendarLevel && (line.name == "TZ" || line.name == "DAYLIGHT"))) {
        return true;
    }
    if ((line.name == "RRULE" || line.name == "EXRULE") &&
        Upper(line.value()).find("FREQ=") == std::string::npos) {
        return true;
    }
    for (const ical::Parameter& parameter : line.parameters) {
        if (Upper(parameter.value).find("QUOTED-PRINTABLE") != std::string::npos ||
            parameter.name == "QUOTED-PRINTABLE") {
            return true;
        }
    }
    return false;
}

}  // namespace

bool IsWrittenAsVersion1(const Component& component, bool atCalendarLevel) {
    for (const ContentLine& line : component.properties) {
        if (IsVersion1Line(line, atCalendarLevel)) {
            return true;
        }
    }
    for (const Component& child : component.children) {
        if (IsWrittenAsVersion1(child, false)) {
            return true;
        }
    }
    return false;
}

// The calendar's own lines, before its items; false when the calendar is not read at all (a
// version other than 2.0). `writtenAsVersion1`: IsWrittenAsVersion1 of the whole calendar.
bool BeginCalendar(const Component& calendar, bool writtenAsVersion1, ImportState& state) {
    constexpr std::string_view kRestIsRead = "the rest of the calendar is read";
    state.context.zones.Clear();
    for (const std::vector<Problem>* problems : {&calendar.problems, &calendar.brokenLines}) {
        for (const Problem& problem : *problems) {
            Skip(state, problem, kRestIsRead);
        }
    }
    for (const ContentLine& line : calendar.properties) {
        Result<LineValues> values = ical::ReadWithLibical(line);
        if (!values.ok()) {
            Skip(state, values.error(), line.line, kRestIsRead);
        } else if (line.name == "VERSION" && Trim(line.value()) != "2.0") {
            // Some programs say 1.0 and write 2.0: what reads as 2.0 is taken as it.
            if (Trim(line.value()) != "1.0" || writtenAsVersion1) {
                Skip(state,
                     LineError(line.line, "only iCalendar version 2.0 can be read, not " +
                                              std::string(line.value())),
                     line.line, NotImported(calendar));
                return false;
            }
            state.context.Note(line.line,
                               "VERSION:1.0, but written as version 2.0: read as version 2.0");
        }
    }
    return true;
}

void ReadZone(const Component& child, ImportState& state) {
    const std::string notUsed =
        "the VTIMEZONE of line " + std::to_string(child.beginLine) + " is not used";
    if (const Problem* problem = ical::FirstProblem(child)) {
        Skip(state, *problem, notUsed);
    } else if (Result<void> zone = state.context.zones.Read(child, state.context.notes);
               !zone.ok()) {
        Skip(state, zone.error(), child.beginLine, notUsed);
    }
}

// One component of a calendar other than a VTIMEZONE.
void ReadItem(const Component& child, ImportState& state) {
    // Its own BEGIN..END decides; a broken line or sub-component costs only itself.
    if (!child.problems.empty()) {
        Skip(state, child.problems.front(), NotImported(child));
    } else if (child.name == "VEVENT") {
        ReadEventComponent(child, state);
    } else if (child.name == "VTODO") {
        ReadTodoComponent(child, state);
    } else {
        state.result.skipped.push_back(
            LineNote(child.beginLine, child.name + " not kept by the planner"));
    }
}

namespace {

void ReadCalendar(const Component& calendar, ImportState& state) {
    if (!BeginCalendar(calendar, IsWrittenAsVersion1(calendar, true), state)) {
        return;
    }
    for (const Component& child : calendar.children) {
        if (child.name == "VTIMEZONE") {
            ReadZone(child, state);
        }
    }
    for (const Component& child : calendar.children) {
        if (child.name != "VTIMEZONE") {
            ReadItem(child, state);
        }
    }
    // The zones of this VCALENDAR are still there for the changes' RECURRENCE-IDs.
    AttachChanges(state);
}

}  // namespace

void SkipOutside(ImportState& state, const Problem& stray) {
    Skip(state, stray,
         stray.lastLine > stray.line ? "lines " + std::to_string(stray.line) + " to " +
                                           std::to_string(stray.lastLine) + " not read"
                                     : std::string("not read"));
}

// In the order of the file, whichever part of the reading found them.
void SortSkipped(std::vector<std::string>& skipped) {
    std::stable_sort(
        skipped.begin(), skipped.end(),
        [](const std::string& a, const std::string& b) { return LineOf(a, 0) < LineOf(b, 0); });
}

// What AllOrNothing refuses the file for: the first thing read otherwise than as written.
std::optional<platform::Error> FirstRefusal(ImportState& state) {
    for (auto& [line, what] : state.context.departures) {
        state.refusals.emplace_back(line, platform::Error{std::move(what)});
    }
    state.context.departures.clear();
    if (state.refusals.empty()) {
        return std::nullopt;
    }
    const auto first =
        std::min_element(state.refusals.begin(), state.refusals.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    return first->second;
}

platform::Result<ImportedCalendar> ParseICalendar(std::string_view icsText, ImportMode mode) {
    Result<std::vector<ContentLine>> lines = ical::ReadContentLines(icsText);
    if (!lines.ok()) {
        return lines.error();
    }
    Result<ical::CalendarFile> file = ical::BuildComponents(std::move(lines).value());
    if (!file.ok()) {
        return file.error();
    }
    ImportState state;
    for (const Component& calendar : file->calendars) {
        ReadCalendar(calendar, state);
    }
    for (const Problem& stray : file->outside) {
        SkipOutside(state, stray);
    }
    SortSkipped(state.result.skipped);
    if (std::optional<platform::Error> refusal = FirstRefusal(state);
        refusal && mode == ImportMode::AllOrNothing) {
        return *refusal;
    }
    state.result.notes = std::move(state.context.notes);
    state.result.dropped = std::move(state.context.dropped);
    return std::move(state.result);
}

platform::Result<ImportedCalendar> ParseICalendar(std::string_view icsText) {
    return ParseICalendar(icsText, ImportMode::TakeWhatCanBeTaken);
}

}  // namespace calendar
