// Writing a calendar file: the store's appointments as VEVENTs (each series followed by its
// changed occurrences) and its tasks as VTODOs.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "calendar/handwritten_memo.h"
#include "calendar/ical_categories.h"
#include "calendar/ical_event_times.h"
#include "calendar/ical_extras.h"
#include "calendar/ical_io.h"
#include "calendar/ical_lines.h"
#include "calendar/ical_zones.h"
#include "calendar/libical_rule.h"
#include "calendar/time_zones.h"
#include "platform/text/base64.h"
#include "platform/text/unicode_text.h"
#include "program_version.h"

namespace calendar {
namespace {

using ical::AddDays;
using ical::Fold;
using ical::IsBefore;
using ical::TextLine;
using ical::TimeOfDay;
using ical::Trim;
using ical::Upper;
using ical::ValueOfLine;
using ical::WholeDay;
using platform::CalendarFields;
// Text kept in a record may be broken; it is written with U+FFFD rather than refused.
using platform::Utf16ToUtf8Lossy;

// Buffer for a formatted DATE-TIME value.
constexpr size_t kTimeValueSize = 48;

enum class TimeForm { Day, Floating, Utc, Zoned };

struct OutTime {
    Date wall = 0;
    TimeForm form = TimeForm::Floating;
    std::string tzid;  // for TimeForm::Zoned
};

// A parameter value, quoted where its characters would end it.
std::string ParameterValue(std::string_view value) {
    std::string clean;
    for (char c : value) {
        if (c != '"') {
            clean.push_back(c);
        }
    }
    return clean.find_first_of(":;,") == std::string::npos ? clean : "\"" + clean + "\"";
}

// A date property (DTSTART, EXDATE, ...); empty if the date is unusable. Written here rather
// than by libical, which writes years after 3000 as zeros.
std::string TimeLine(std::string_view name, const OutTime& time) {
    const std::optional<CalendarFields> f = platform::DateToFields(time.wall);
    if (!f) {
        return {};
    }
    std::string line(name);
    if (time.form == TimeForm::Day) {
        line += ";VALUE=DATE";
    } else if (time.form == TimeForm::Zoned) {
        line += ";TZID=" + ParameterValue(time.tzid);
    }
    // Room for any field values the calendar types can hold, not only valid dates.
    char value[kTimeValueSize];
    if (time.form == TimeForm::Day) {
        std::snprintf(value, sizeof value, "%04u%02u%02u", unsigned{f->Year}, unsigned{f->Month},
                      unsigned{f->Day});
    } else {
        std::snprintf(value, sizeof value, "%04u%02u%02uT%02u%02u%02u%s", unsigned{f->Year},
                      unsigned{f->Month}, unsigned{f->Day}, unsigned{f->Hour}, unsigned{f->Minute},
                      unsigned{f->Second}, time.form == TimeForm::Utc ? "Z" : "");
    }
    return Fold(line + ":" + value);
}

bool SameSecond(Date a, Date b) {
    constexpr double kSecondsPerDay = 86400;
    return std::llround(platform::DateToLinear(a) * kSecondsPerDay) ==
           std::llround(platform::DateToLinear(b) * kSecondsPerDay);
}

// A local time as UTC; floating local time where UTC would leave the years 100 to 9999.
OutTime LocalAsUtc(Date local) {
    if (const std::optional<Date> utc = LocalToZone(local, "UTC")) {
        return {*utc, TimeForm::Utc, {}};
    }
    return {local, TimeForm::Floating, {}};
}

std::string RuleLine(const std::string& rule) {
    if (rule.empty()) {
        return {};
    }
    const LibicalRule recurrence(rule);
    if (recurrence.get().freq == ICAL_NO_RECURRENCE) {
        return {};  // not a rule: an importer would reject the file
    }
    return Fold("RRULE:" + rule);
}

std::string GeneratedUid(std::string_view kind, int32_t oid, size_t index) {
    if (oid != 0) {
        return "tessarinth-" + std::string(kind) + std::to_string(oid) + "@localhost";
    }
    return "tessarinth-" + std::string(kind) + "new-" + std::to_string(index) + "@localhost";
}

// How an item writes its times: as days, floating, in UTC or by the TZID of its zone, each as
// the calendar gave them. An item that never said (made in memory, not stored) writes UTC, or
// floating time for a series, which must repeat on the local clock.
struct ItemForm {
    TimeForm form = TimeForm::Utc;
    ItemZone zone;

    // A time of the item: `kept` is its wall clock in the item's zone, `local` what it stands
    // for now; the kept one is written while the two agree.
    OutTime At(Date kept, Date local) const {
        switch (form) {
            case TimeForm::Day:
                return {WholeDay(local), TimeForm::Day, {}};
            case TimeForm::Floating:
                return {local, TimeForm::Floating, {}};
            case TimeForm::Utc:
                if (zone.zoned()) {
                    return {KeptWall(zone, kept, local), TimeForm::Utc, {}};
                }
                return LocalAsUtc(local);
            case TimeForm::Zoned:
                break;
        }
        return {KeptWall(zone, kept, local), TimeForm::Zoned, zone.tzid};
    }
    // A time already on the zone's wall clock (an exception date, a recurrence id).
    OutTime AtWall(Date wall) const {
        if (form == TimeForm::Day) {
            return {WholeDay(wall), TimeForm::Day, {}};
        }
        if (form == TimeForm::Utc && !zone.zoned()) {
            return LocalAsUtc(wall);
        }
        return {wall, form, form == TimeForm::Zoned ? zone.tzid : std::string()};
    }
};

ItemForm FormOf(const ItemZone& zone, bool allDay, bool series) {
    ItemForm out;
    out.zone = zone;
    if (allDay) {
        out.form = TimeForm::Day;
    } else if (zone.form == ItemZone::Form::Floating ||
               (zone.form == ItemZone::Form::Unset && series)) {
        out.form = TimeForm::Floating;
    } else if (zone.zoned()) {
        out.form = CanonicalZoneName(zone.tzid) == "UTC" ? TimeForm::Utc : TimeForm::Zoned;
    }
    return out;
}

// The VTIMEZONE a zoned item needs: its own definition, else the system's zone of that name.
void UseZone(const ItemForm& form, Date firstWall, ical::ZoneUse& zones) {
    if (form.form != TimeForm::Zoned) {
        return;
    }
    if (!form.zone.definition.empty()) {
        zones.AddDefined(form.zone.tzid, form.zone.definition);
        return;
    }
    const std::optional<TimeZone> resolved = ResolveZone(form.zone);
    zones.Add(form.zone.tzid, resolved ? resolved->ToUnixSeconds(firstWall) : std::nullopt);
}

// DTSTART and DTEND of an all-day event or occurrence: its days, DTEND exclusive.
std::string DayLines(Date start, Date end) {
    std::string out;
    const Date first = WholeDay(start);
    const Date last = IsBefore(end, start) ? first : WholeDay(end);
    out += TimeLine("DTSTART", {first, TimeForm::Day, {}});
    const Date endExclusive = AddDays(last, 1);
    if (platform::DateToFields(endExclusive)) {
        out += TimeLine("DTEND", {endExclusive, TimeForm::Day, {}});
    } else {
        const double days = platform::DateToLinear(last) - platform::DateToLinear(first) + 1;
        out += "DURATION:P" + std::to_string(static_cast<int64_t>(days)) + "D\r\n";
    }
    return out;
}

// A time line as it was read, when it was read with parameters of its own (another program's
// VALUE=DATE-TIME, say) and still gives the same time; else the line as written here.
std::string AsRead(const ical::WrittenExtras* extras, const std::string& name,
                   const std::string& written) {
    const auto found = extras ? extras->templates.find(name)
                              : std::map<std::string, std::string>::const_iterator();
    if (!extras || found == extras->templates.end() || written.size() < 2) {
        return written;
    }
    const platform::Result<ical::ContentLine> read = ical::SplitContentLine(0, found->second);
    const platform::Result<ical::ContentLine> ours =
        ical::SplitContentLine(0, written.substr(0, written.size() - 2));
    if (!read.ok() || !ours.ok() || read->value() != ours->value()) {
        return written;
    }
    const std::string* readZone = read->FindParameter("TZID");
    const std::string* ourZone = ours->FindParameter("TZID");
    const bool sameZone = (readZone == nullptr) == (ourZone == nullptr) &&
                          (readZone == nullptr || *readZone == *ourZone);
    return sameZone ? Fold(found->second) : written;
}

// The moment a time written in the item's form stands for; a zone that cannot be worked out is
// read as local time, as the reader reads it.
std::optional<int64_t> InstantOf(const OutTime& time, const ItemForm& form) {
    if (time.form == TimeForm::Utc) {
        return TimeZone::Utc().ToUnixSeconds(time.wall);
    }
    if (time.form == TimeForm::Zoned) {
        return ResolveZone(form.zone).value_or(TimeZone::Local()).ToUnixSeconds(time.wall);
    }
    return TimeZone::Local().ToUnixSeconds(time.wall);
}

// The DTEND an event without length came with (the reader keeps one written otherwise than its
// start, in the hour a zone skips, say), while it still stands for the start's moment; nothing
// else: an event without length needs no end.
std::string KeptEndAtStart(const ical::WrittenExtras* extras, const ItemForm& form,
                           const OutTime& start) {
    const auto found = extras ? extras->templates.find("DTEND")
                              : std::map<std::string, std::string>::const_iterator();
    if (!extras || found == extras->templates.end()) {
        return {};
    }
    const std::optional<int64_t> end = ical::KeptLineInstant(found->second, form.zone);
    const std::optional<int64_t> at = InstantOf(start, form);
    return end && at && *end == *at ? Fold(found->second) : std::string();
}

// DTSTART and DTEND of an event or a changed occurrence, in the form of `form`.
std::string SpanLines(const ItemForm& form, Date start, Date end, Date zoneStart, Date zoneEnd,
                      bool allDay, ical::ZoneUse& zones,
                      const ical::WrittenExtras* extras = nullptr) {
    if (allDay) {
        return DayLines(start, end);
    }
    const OutTime from = form.At(zoneStart, start);
    UseZone(form, from.wall, zones);
    std::string out = AsRead(extras, "DTSTART", TimeLine("DTSTART", from));
    if (IsBefore(start, end)) {
        out += AsRead(extras, "DTEND", TimeLine("DTEND", form.At(zoneEnd, end)));
    } else {
        out += KeptEndAtStart(extras, form, from);
    }
    return out;
}

std::string EventTimeLines(const AppointmentRecord& record, ical::ZoneUse& zones,
                           const ical::WrittenExtras& extras) {
    const Recurrence& recurrence = record.recurrence;
    const bool series = recurrence.recurs() || !recurrence.exceptionDates.empty();
    const ItemForm form = FormOf(record.zone, record.allDay, series);
    std::string out = SpanLines(form, record.start, record.end, record.zoneStart, record.zoneEnd,
                                record.allDay, zones, &extras);
    out += RuleLine(recurrence.rule);
    for (Date date : recurrence.exceptionDates) {
        out += TimeLine("EXDATE", form.AtWall(date));
    }
    for (Date date : recurrence.extraDates) {
        out += TimeLine("RDATE", form.AtWall(date));
    }
    return out;
}

bool IsInkAttachmentLine(const std::string& line) {
    const platform::Result<ical::ContentLine> split = ical::SplitContentLine(0, line);
    const std::string* type = split.ok() ? split->FindParameter("FMTTYPE") : nullptr;
    return type != nullptr && *type == kInkMediaType;
}

// The handwriting a memo names, as the ATTACH that carries it; nothing for a typed memo, whatever
// its text reads.
std::string InkLine(const InkSource& inkOf, const std::u16string& body, bool handwritten) {
    if (!inkOf || !handwritten) {
        return {};
    }
    const std::optional<std::string> ink = inkOf(body);
    if (!ink || ink->empty()) {
        return {};
    }
    return Fold("ATTACH;ENCODING=BASE64;VALUE=BINARY;FMTTYPE=" + std::string(kInkMediaType) + ":" +
                platform::EncodeBase64(*ink));
}

// The lines of an event's kept extras that its own fields do not replace. STATUS:CANCELLED is
// the cancelled flag's: written from the flag, never from the extras.
// A kept RECURRENCE-ID is written only for an occurrence kept without its series
// (`loneOccurrence`): it still says which occurrence it is.
ical::WrittenExtras EventExtras(const std::string& kept, bool reminderSet, bool cancelled,
                                bool loneOccurrence) {
    return ical::PrepareExtras(
        kept, {"SUMMARY", "LOCATION", "DESCRIPTION", "DTSTART", "DTEND"}, reminderSet,
        [cancelled, loneOccurrence](const std::string& name, const std::string& line) {
            if (name == "RECURRENCE-ID") {
                return loneOccurrence;
            }
            if (name == "STATUS") {
                return !cancelled && Upper(Trim(ValueOfLine(line))) != "CANCELLED";
            }
            if (name == "ATTACH" && IsInkAttachmentLine(line)) {
                return false;  // handwriting is written from its ink file, never from the store
            }
            return name != "UID" && name != "CATEGORIES" && !ical::IsEventTimeName(name);
        });
}

// The texts, categories, status, kept lines and alarm of an event or a changed occurrence. A
// handwritten memo's body is given as its readable memo: other programs never read the name of
// its ink file.
std::string EventBody(const ical::WrittenExtras& extras, const std::u16string& subject,
                      const std::u16string& location, std::u16string_view body,
                      const std::u16string& categories, bool cancelled) {
    std::string out;
    out += ical::TemplatedText(extras, "SUMMARY", Utf16ToUtf8Lossy(subject));
    out += ical::TemplatedText(extras, "LOCATION", Utf16ToUtf8Lossy(location));
    out += ical::TemplatedText(extras, "DESCRIPTION", Utf16ToUtf8Lossy(body));
    out += ical::WrittenCategories(extras.categories, Utf16ToUtf8Lossy(categories));
    if (cancelled) {
        out += "STATUS:CANCELLED\r\n";
    }
    return out;
}

// The kept lines (after a stamp of the writer's own when none is kept: where a kept one stands
// when the text is read again), the alarms and the END.
std::string EventEnd(const ical::WrittenExtras& extras, const std::string& dtstamp,
                     bool reminderSet, const std::u16string& subject) {
    std::string out = extras.hasDtstamp ? std::string() : dtstamp;
    out += extras.properties;
    out += extras.components;
    if (reminderSet && !extras.hasAlarm) {
        out += ical::DefaultAlarm(Utf16ToUtf8Lossy(subject));
    }
    out += "END:VEVENT\r\n";
    return out;
}

// A changed occurrence as a VEVENT of its own: the series' UID, the occurrence's RECURRENCE-ID
// written as the series writes its dates, and its own times and texts.
std::string WriteChange(const AppointmentRecord& series, const std::string& uid,
                        const OccurrenceChange& change, const std::string& dtstamp,
                        ical::ZoneUse& zones, const InkSource& inkOf) {
    const ical::WrittenExtras extras =
        EventExtras(change.extraProperties, change.reminderSet, change.cancelled, false);
    zones.AddNamedIn(SplitKeptLines(change.extraProperties).AllLines());
    std::string out = "BEGIN:VEVENT\r\n";
    out += TextLine("UID", uid);
    const std::string name =
        change.thisAndFuture ? "RECURRENCE-ID;RANGE=THISANDFUTURE" : "RECURRENCE-ID";
    const ItemForm form = FormOf(series.zone, series.allDay, true);
    out += TimeLine(name, form.AtWall(change.recurrenceId));
    out += EventBody(extras, change.subject, change.location,
                     ReadableMemo(change.body, change.handwritten), change.categories,
                     change.cancelled);
    out += InkLine(inkOf, change.body, change.handwritten);
    out += SpanLines(form, change.start, change.end, change.zoneStart, change.zoneEnd,
                     change.allDay, zones, &extras);
    out += EventEnd(extras, dtstamp, change.reminderSet, change.subject);
    return out;
}

std::string WriteEvent(const AppointmentRecord& record, size_t index, const std::string& dtstamp,
                       ical::ZoneUse& zones, const InkSource& inkOf) {
    const ical::WrittenExtras extras = EventExtras(record.extraProperties, record.reminderSet,
                                                   record.cancelled, !record.recurrence.recurs());
    zones.AddNamedIn(SplitKeptLines(record.extraProperties).AllLines());
    const std::string uid = record.uid.empty() ? GeneratedUid("", record.oid, index) : record.uid;
    std::string out = "BEGIN:VEVENT\r\n";
    out += TextLine("UID", uid);
    out += EventBody(extras, record.subject, record.location,
                     ReadableMemo(record.body, record.handwritten), record.categories,
                     record.cancelled);
    out += InkLine(inkOf, record.body, record.handwritten);
    out += EventTimeLines(record, zones, extras);
    out += EventEnd(extras, dtstamp, record.reminderSet, record.subject);
    if (record.recurrence.recurs()) {
        for (const OccurrenceChange& change : record.recurrence.changes) {
            out += WriteChange(record, uid, change, dtstamp, zones, inkOf);
        }
    }
    return out;
}

// When a task was completed, in UTC; the COMPLETED it came with (kept when it would read
// otherwise, in the hour the local zone repeats, say) while it still stands for that moment.
std::string CompletedLine(const ical::WrittenExtras& extras, Date completed) {
    const auto found = extras.templates.find("COMPLETED");
    if (found != extras.templates.end()) {
        const std::optional<int64_t> instant = ical::KeptLineInstant(found->second, ItemZone{});
        const std::optional<Date> local =
            instant ? TimeZone::Local().FromUnixSeconds(*instant) : std::nullopt;
        if (local && SameSecond(*local, completed)) {
            return Fold(found->second);
        }
    }
    return TimeLine("COMPLETED", LocalAsUtc(completed));
}

std::string WriteTodo(const TaskRecord& record, size_t index, const std::string& dtstamp,
                      ical::ZoneUse& zones) {
    const bool complete = record.complete;
    const ical::WrittenExtras extras = ical::PrepareExtras(
        record.extraProperties, {"SUMMARY", "DESCRIPTION", "COMPLETED"}, true,
        [complete](const std::string& name, const std::string& line) {
            if (name == "UID" || name == "DUE" || name == "COMPLETED" || name == "CATEGORIES") {
                return false;
            }
            if (name == "STATUS") {
                return !complete && Upper(Trim(ValueOfLine(line))) != "COMPLETED";
            }
            if (name == "PERCENT-COMPLETE") {
                // Done is 100 percent; the part done before is kept for when it opens again.
                return !complete && Trim(ValueOfLine(line)) != "100";
            }
            return true;
        });
    zones.AddNamedIn(SplitKeptLines(record.extraProperties).AllLines());
    std::string out = "BEGIN:VTODO\r\n";
    out +=
        TextLine("UID", record.uid.empty() ? GeneratedUid("task-", record.oid, index) : record.uid);
    out += ical::TemplatedText(extras, "SUMMARY", Utf16ToUtf8Lossy(record.subject));
    out += ical::TemplatedText(extras, "DESCRIPTION", Utf16ToUtf8Lossy(record.body));
    out += ical::WrittenCategories(extras.categories, Utf16ToUtf8Lossy(record.categories));
    if (record.dueDate != kNoDateValue) {
        const ItemForm form = FormOf(record.dueZone, false, false);
        if (record.dueZone.zoned()) {
            const OutTime due = form.At(record.zoneDue, record.dueDate);
            UseZone(form, due.wall, zones);
            out += TimeLine("DUE", due);
        } else {
            // A due date without a time of its own is a date.
            const bool midnight = TimeOfDay(record.dueDate) == 0;
            out += TimeLine("DUE",
                            {record.dueDate, midnight ? TimeForm::Day : TimeForm::Floating, {}});
        }
    }
    if (complete) {
        out += "STATUS:COMPLETED\r\n";
        if (record.dateCompleted != kNoDateValue) {
            out += CompletedLine(extras, record.dateCompleted);
        }
        out += "PERCENT-COMPLETE:100\r\n";
    }
    if (!extras.hasDtstamp) {
        out += dtstamp;  // where a kept one stands when the text is read again
    }
    out += extras.properties;
    out += extras.components;
    out += "END:VTODO\r\n";
    return out;
}

std::string DtstampLine(const platform::Clock& clock) {
    const std::optional<Date> now = platform::FieldsToDate(clock.LocalTimeNow());
    if (!now) {
        return {};
    }
    return TimeLine("DTSTAMP", LocalAsUtc(*now));
}

}  // namespace

std::string WriteICalendar(const std::vector<AppointmentRecord>& appointments,
                           const std::vector<TaskRecord>& tasks) {
    return WriteICalendar(appointments, tasks, platform::SystemClock());
}

std::string WriteICalendar(const std::vector<AppointmentRecord>& appointments,
                           const std::vector<TaskRecord>& tasks, const platform::Clock& clock) {
    return WriteICalendar(appointments, tasks, clock, InkSource());
}

std::string WriteICalendar(const std::vector<AppointmentRecord>& appointments,
                           const std::vector<TaskRecord>& tasks, const platform::Clock& clock,
                           const InkSource& inkOf) {
    CalendarWriter writer(clock, inkOf);
    std::string items;
    for (const AppointmentRecord& record : appointments) {
        items += writer.Event(record);
    }
    for (const TaskRecord& record : tasks) {
        items += writer.Todo(record);
    }
    return CalendarWriter::Head() + writer.Zones() + items + CalendarWriter::Tail();
}

CalendarWriter::CalendarWriter(const platform::Clock& clock, InkSource inkOf)
    : dtstamp_(DtstampLine(clock)),
      inkOf_(std::move(inkOf)),
      zones_(std::make_unique<ical::ZoneUse>()) {}

CalendarWriter::~CalendarWriter() = default;

std::string CalendarWriter::Head() {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Tessarinth//Tessarinth " +
           std::string(kProgramVersion) + "//JA\r\n";
}

std::string CalendarWriter::Event(const AppointmentRecord& record) {
    return WriteEvent(record, events_++, dtstamp_, *zones_, inkOf_);
}

std::string CalendarWriter::Todo(const TaskRecord& record) {
    return WriteTodo(record, todos_++, dtstamp_, *zones_);
}

std::string CalendarWriter::Zones() const {
    return zones_->VTimezones();
}

std::string CalendarWriter::Tail() {
    return "END:VCALENDAR\r\n";
}

}  // namespace calendar
