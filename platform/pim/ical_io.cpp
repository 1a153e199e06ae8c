#include "platform/pim/ical_io.h"

#include <libical/ical.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/pim/time_zones.h"
#include "platform/text/unicode_text.h"

namespace pim {
namespace {

using platform::CalendarFields;
using platform::Error;
using platform::IsValidUtf8;
using platform::Result;
// Text read from a file or kept in a record may be broken; it is carried over with U+FFFD
// rather than refused.
using platform::Utf16ToUtf8Lossy;
using platform::Utf8ToUtf16Lossy;

// Components inside components deeper than this are not what calendars hold.
constexpr size_t kMaxNesting = 8;
// iCalendar folds content lines longer than this many octets.
constexpr size_t kFoldOctets = 75;
constexpr int64_t kSecondsPerDay = 86400;
// A file's own VTIMEZONE with more STANDARD/DAYLIGHT parts than this is not used: libical
// works every part out year by year.
constexpr size_t kMaxZoneObservances = 64;
// Zone definitions written on export start this long before the first time that uses them.
constexpr int64_t kZoneMarginSeconds = kSecondsPerDay;
// Years libical's zone tables reliably cover; VTIMEZONEs are only shortened inside them.
constexpr int kZoneTruncateFirstYear = 1900;
constexpr int kZoneTruncateLastYear = 2400;

// Buffer for a formatted DATE-TIME value.
constexpr size_t kTimeValueSize = 48;

constexpr std::string_view kCrlf = "\r\n";
constexpr std::string_view kProductId = "-//Tessarinth//Tessarinth 0.1//JA";
constexpr std::string_view kDefaultAlarmTrigger = "-PT15M";
constexpr std::string_view kDefaultAlarmText = "Reminder";
constexpr std::string_view kCategorySeparator = ", ";

// ---------------------------------------------------------------------------------------------
// Small text helpers

Error LineError(int line, std::string_view what) {
    return platform::MakeError("line " + std::to_string(line) + ": " + std::string(what));
}

std::string LineNote(int line, std::string_view what) {
    return "line " + std::to_string(line) + ": " + std::string(what);
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// Property and parameter names: letters, digits and '-'.
bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

bool IsControl(unsigned char c) {
    return (c < 0x20 && c != '\t') || c == 0x7F;
}

// TEXT as iCalendar writes it. Line breaks become \n; other control characters, which
// iCalendar does not allow in a value, become spaces.
std::string EscapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case ';':
                out += "\\;";
                break;
            case ',':
                out += "\\,";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                break;
            default:
                out.push_back(IsControl(static_cast<unsigned char>(c)) ? ' ' : c);
        }
    }
    return out;
}

// A comma-separated TEXT list such as CATEGORIES, split and unescaped. libical runs escaped
// and separating commas of such lists together, so the list is read here.
std::vector<std::string> SplitTextList(std::string_view value) {
    std::vector<std::string> items;
    std::string current;
    auto finish = [&]() {
        const std::string_view trimmed = Trim(current);
        if (!trimmed.empty()) {
            items.emplace_back(trimmed);
        }
        current.clear();
    };
    for (size_t at = 0; at < value.size(); ++at) {
        const char c = value[at];
        if (c == '\\' && at + 1 < value.size()) {
            const char next = value[++at];
            current.push_back(next == 'n' || next == 'N' ? '\n' : next);
        } else if (c == ',') {
            finish();
        } else {
            current.push_back(c);
        }
    }
    finish();
    return items;
}

// One content line folded at 75 octets, never inside a UTF-8 sequence, with its CRLF.
std::string Fold(std::string_view line) {
    std::string out;
    size_t limit = kFoldOctets;
    size_t at = 0;
    while (line.size() - at > limit) {
        size_t cut = at + limit;
        while (cut > at && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        if (cut == at) {
            cut = at + limit;
        }
        out.append(line.substr(at, cut - at));
        out += "\r\n ";
        at = cut;
        limit = kFoldOctets - 1;  // the leading space counts
    }
    out.append(line.substr(at));
    out.append(kCrlf);
    return out;
}

std::string Join(const std::vector<std::string>& lines, std::string_view separator) {
    std::string out;
    for (const std::string& line : lines) {
        if (!out.empty()) {
            out.append(separator);
        }
        out.append(line);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Content lines and the component tree, read here so that every problem has its line

struct Parameter {
    std::string name;   // upper case
    std::string value;  // quotes removed; several values stay comma-separated
};

struct ContentLine {
    int line = 0;      // the first physical line it came from
    std::string text;  // unfolded, as in the file
    std::string name;  // upper case
    std::vector<Parameter> parameters;
    size_t valueStart = 0;

    std::string_view value() const { return std::string_view(text).substr(valueStart); }
    const std::string* FindParameter(std::string_view parameterName) const {
        for (const Parameter& p : parameters) {
            if (p.name == parameterName) {
                return &p.value;
            }
        }
        return nullptr;
    }
};

Result<ContentLine> SplitContentLine(int line, std::string text) {
    ContentLine out;
    out.line = line;
    if (text.find(':') == std::string::npos) {
        return LineError(line, "content line has no ':'");
    }
    size_t at = 0;
    while (at < text.size() && IsNameChar(text[at])) {
        ++at;
    }
    if (at == 0) {
        return LineError(line, "content line has no property name");
    }
    out.name = Upper(std::string_view(text).substr(0, at));
    if (at < text.size() && text[at] != ';' && text[at] != ':') {
        return LineError(line, "property name " + out.name + " is followed by '" +
                                   std::string(1, text[at]) + "'");
    }
    while (at < text.size() && text[at] == ';') {
        const size_t nameStart = ++at;
        while (at < text.size() && IsNameChar(text[at])) {
            ++at;
        }
        if (at == nameStart) {
            return LineError(line, "a parameter of " + out.name + " has no name");
        }
        Parameter parameter{Upper(std::string_view(text).substr(nameStart, at - nameStart)), {}};
        if (at >= text.size() || text[at] != '=') {
            return LineError(line,
                             "parameter " + parameter.name + " of " + out.name + " has no '='");
        }
        ++at;
        for (;;) {
            if (at < text.size() && text[at] == '"') {
                const size_t close = text.find('"', at + 1);
                if (close == std::string::npos) {
                    return LineError(line, "parameter " + parameter.name + " of " + out.name +
                                               " has no closing quote");
                }
                parameter.value.append(text, at + 1, close - at - 1);
                at = close + 1;
            } else {
                while (at < text.size() && text[at] != ',' && text[at] != ';' && text[at] != ':') {
                    parameter.value.push_back(text[at++]);
                }
            }
            if (at < text.size() && text[at] == ',') {
                parameter.value.push_back(',');
                ++at;
                continue;
            }
            break;
        }
        out.parameters.push_back(std::move(parameter));
    }
    if (at >= text.size() || text[at] != ':') {
        return LineError(line, "content line " + out.name + " has no ':'");
    }
    out.valueStart = at + 1;
    out.text = std::move(text);
    return out;
}

// Physical lines to content lines: line ends CRLF or LF, continuation lines (starting with a
// space or tab) joined to the line before, blank lines passed over.
Result<std::vector<ContentLine>> ReadContentLines(std::string_view text) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.remove_prefix(kByteOrderMark.size());
    }
    std::vector<std::pair<int, std::string>> logical;
    int lineNumber = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t newline = text.find('\n', at);
        std::string_view physical = text.substr(
            at, newline == std::string_view::npos ? std::string_view::npos : newline - at);
        at = newline == std::string_view::npos ? text.size() : newline + 1;
        ++lineNumber;
        if (!physical.empty() && physical.back() == '\r') {
            physical.remove_suffix(1);
        }
        for (char c : physical) {
            if (IsControl(static_cast<unsigned char>(c))) {
                return LineError(lineNumber, "the line holds a control character");
            }
        }
        if (physical.empty()) {
            continue;
        }
        if (physical.front() == ' ' || physical.front() == '\t') {
            if (logical.empty()) {
                return LineError(lineNumber, "continuation line with no line before it");
            }
            logical.back().second.append(physical.substr(1));
            continue;
        }
        logical.emplace_back(lineNumber, std::string(physical));
    }
    if (logical.empty() || Upper(Trim(logical.front().second)) != "BEGIN:VCALENDAR") {
        return LineError(logical.empty() ? 1 : logical.front().first,
                         "not an iCalendar file: it must begin with BEGIN:VCALENDAR");
    }
    std::vector<ContentLine> lines;
    lines.reserve(logical.size());
    for (auto& [number, lineText] : logical) {
        // Checked after unfolding: some programs fold inside a multi-byte character.
        if (!IsValidUtf8(lineText)) {
            return LineError(number, "the line is not UTF-8 text");
        }
        Result<ContentLine> line = SplitContentLine(number, std::move(lineText));
        if (!line.ok()) {
            return line.error();
        }
        lines.push_back(std::move(line).value());
    }
    return lines;
}

struct Component {
    std::string name;  // upper case
    int beginLine = 0;
    std::string beginText;
    std::string endText;
    std::vector<ContentLine> properties;
    std::vector<Component> children;
};

Result<std::vector<Component>> BuildComponents(std::vector<ContentLine> lines) {
    std::vector<Component> open;
    std::vector<Component> calendars;
    for (ContentLine& line : lines) {
        if (line.name == "BEGIN" || line.name == "END") {
            const std::string_view value = line.value();
            if (value.empty() || !std::all_of(value.begin(), value.end(), IsNameChar)) {
                return LineError(line.line, line.name + " has no valid component name");
            }
        }
        if (line.name == "BEGIN") {
            Component component;
            component.name = Upper(line.value());
            component.beginLine = line.line;
            if (open.empty() && component.name != "VCALENDAR") {
                return LineError(line.line, "not an iCalendar file: BEGIN:" + component.name +
                                                " where BEGIN:VCALENDAR belongs");
            }
            if (open.size() >= kMaxNesting) {
                return LineError(line.line, "components are nested too deeply");
            }
            component.beginText = std::move(line.text);
            open.push_back(std::move(component));
        } else if (line.name == "END") {
            const std::string name = Upper(line.value());
            if (open.empty()) {
                return LineError(line.line, "END:" + name + " without a BEGIN");
            }
            if (open.back().name != name) {
                return LineError(line.line,
                                 "END:" + name + " does not close BEGIN:" + open.back().name +
                                     " of line " + std::to_string(open.back().beginLine));
            }
            Component done = std::move(open.back());
            open.pop_back();
            done.endText = std::move(line.text);
            if (open.empty()) {
                calendars.push_back(std::move(done));
            } else {
                open.back().children.push_back(std::move(done));
            }
        } else if (open.empty()) {
            return LineError(line.line, calendars.empty()
                                            ? "not an iCalendar file: it must begin with "
                                              "BEGIN:VCALENDAR"
                                            : line.name + " after END:VCALENDAR");
        } else {
            open.back().properties.push_back(std::move(line));
        }
    }
    if (!open.empty()) {
        return LineError(open.back().beginLine, "BEGIN:" + open.back().name + " is never closed");
    }
    if (calendars.empty()) {
        return LineError(1, "not an iCalendar file: it holds no BEGIN:VCALENDAR");
    }
    return calendars;
}

// A component word for word, properties before sub-components.
void AppendVerbatim(const Component& component, std::vector<std::string>& out) {
    out.push_back(component.beginText);
    for (const ContentLine& line : component.properties) {
        out.push_back(line.text);
    }
    for (const Component& child : component.children) {
        AppendVerbatim(child, out);
    }
    out.push_back(component.endText);
}

// ---------------------------------------------------------------------------------------------
// Reading values with libical

struct ComponentDeleter {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentDeleter>;

struct ZoneDeleter {
    void operator()(icaltimezone* zone) const { icaltimezone_free(zone, 1); }
};
using ZonePtr = std::unique_ptr<icaltimezone, ZoneDeleter>;

struct BufferDeleter {
    void operator()(char* buffer) const { icalmemory_free_buffer(buffer); }
};

std::string TakeBuffer(char* buffer) {
    const std::unique_ptr<char, BufferDeleter> owned(buffer);
    return owned ? std::string(owned.get()) : std::string();
}

// Properties whose value the import works with and which therefore must have one.
bool IsReadValueName(std::string_view name) {
    return name == "DTSTART" || name == "DTEND" || name == "DUE" || name == "COMPLETED" ||
           name == "EXDATE" || name == "RDATE" || name == "DURATION" || name == "RRULE";
}

bool IsDateName(std::string_view name) {
    return name == "DTSTART" || name == "DTEND" || name == "DUE" || name == "COMPLETED" ||
           name == "EXDATE" || name == "RDATE" || name == "RECURRENCE-ID" || name == "DTSTAMP" ||
           name == "CREATED" || name == "LAST-MODIFIED";
}

std::string DescribeFailure(const ContentLine& line, icalparameter_xlicerrortype type) {
    if (line.name == "X-LIC-ERROR") {
        return "the file records an error of the program that wrote it (X-LIC-ERROR)";
    }
    if (type == ICAL_XLICERRORTYPE_PARAMETERNAMEPARSEERROR ||
        type == ICAL_XLICERRORTYPE_PARAMETERVALUEPARSEERROR) {
        return "a parameter of " + line.name + " cannot be read";
    }
    if (line.value().empty()) {
        return line.name + " has no value";
    }
    if (IsDateName(line.name)) {
        return line.name + " has no valid date";
    }
    if (line.name == "RRULE" || line.name == "EXRULE") {
        return line.name + " is not a valid recurrence rule";
    }
    if (line.name == "DURATION") {
        return "DURATION is not a valid duration";
    }
    return "the value of " + line.name + " cannot be read";
}

// A content line as libical reads it, held in a VCALENDAR of its own (lists such as EXDATE
// give one property per value). libical records what it cannot read as X-LIC-ERROR
// properties; each of those fails the import, except a name libical does not know, which
// iCalendar allows and which is kept word for word.
struct LineValues {
    ComponentPtr holder;  // null for an empty value
    bool unknownName = false;

    icalproperty* first() const {
        return holder ? icalcomponent_get_first_property(holder.get(), ICAL_ANY_PROPERTY) : nullptr;
    }
    std::vector<icalproperty*> all() const {
        std::vector<icalproperty*> out;
        if (holder) {
            for (icalproperty* p =
                     icalcomponent_get_first_property(holder.get(), ICAL_ANY_PROPERTY);
                 p != nullptr;
                 p = icalcomponent_get_next_property(holder.get(), ICAL_ANY_PROPERTY)) {
                out.push_back(p);
            }
        }
        return out;
    }
};

// Whether every date of a date-valued line is written as iCalendar writes dates (20261207 or
// 20261207T090000, with Z for UTC). libical reads "2026122X" as 2 December; such a line must
// fail the import instead of landing on a day nobody wrote.
bool HasWellFormedDates(std::string_view value) {
    auto digits = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    size_t start = 0;
    while (start <= value.size()) {
        size_t end = value.find(',', start);
        if (end == std::string_view::npos) {
            end = value.size();
        }
        std::string_view date = value.substr(start, end - start);
        date = date.substr(0, date.find('/'));  // a period is judged by its start
        const bool dateOnly = date.size() == 8 && digits(date);
        const bool dateTime = (date.size() == 15 || (date.size() == 16 && date.back() == 'Z')) &&
                              digits(date.substr(0, 8)) && date[8] == 'T' &&
                              digits(date.substr(9, 6));
        if (!dateOnly && !dateTime) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

Result<LineValues> ReadWithLibical(const ContentLine& line) {
    LineValues values;
    if (line.value().empty() && !IsReadValueName(line.name)) {
        return values;  // an empty text is allowed, libical calls it an error
    }
    if (IsDateName(line.name) && !HasWellFormedDates(line.value())) {
        return LineError(line.line, line.name + " has no valid date");
    }
    const std::string document = "BEGIN:VCALENDAR\r\n" + line.text + "\r\nEND:VCALENDAR\r\n";
    ComponentPtr holder(icalparser_parse_string(document.c_str()));
    if (!holder || icalcomponent_get_first_component(holder.get(), ICAL_ANY_COMPONENT)) {
        return LineError(line.line, "the line cannot be read");
    }
    for (icalproperty* p = icalcomponent_get_first_property(holder.get(), ICAL_XLICERROR_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(holder.get(), ICAL_XLICERROR_PROPERTY)) {
        icalparameter* typeParameter =
            icalproperty_get_first_parameter(p, ICAL_XLICERRORTYPE_PARAMETER);
        const icalparameter_xlicerrortype type =
            typeParameter ? icalparameter_get_xlicerrortype(typeParameter)
                          : ICAL_XLICERRORTYPE_NONE;
        if (type == ICAL_XLICERRORTYPE_PROPERTYPARSEERROR && line.name != "X-LIC-ERROR") {
            values.unknownName = true;
            continue;
        }
        return LineError(line.line, DescribeFailure(line, type));
    }
    values.holder = std::move(holder);
    return values;
}

Result<void> ValidateComponent(const Component& component) {
    for (const ContentLine& line : component.properties) {
        Result<LineValues> values = ReadWithLibical(line);
        if (!values.ok()) {
            return values.error();
        }
    }
    for (const Component& child : component.children) {
        Result<void> checked = ValidateComponent(child);
        if (!checked.ok()) {
            return checked;
        }
    }
    return {};
}

std::string TextOf(const LineValues& values) {
    icalproperty* p = values.first();
    if (p == nullptr) {
        return {};
    }
    const icalvalue* value = icalproperty_get_value(p);
    const char* text = nullptr;
    if (value != nullptr && icalvalue_isa(value) == ICAL_TEXT_VALUE) {
        text = icalvalue_get_text(value);
    } else {
        text = icalproperty_get_value_as_string(p);
    }
    return text ? std::string(text) : std::string();
}

// ---------------------------------------------------------------------------------------------
// Import

// A time as the file gives it.
struct WallTime {
    Date wall = 0;  // wall-clock time in `zone`; a day at 00:00 for dates
    bool isDate = false;
    TimeZone zone = TimeZone::Local();  // floating times and unknown zones: local time
    std::string tzid;                   // for a series starting here: "UTC", a zone name, or empty
    std::string writtenTzid;            // the TZID parameter as written
};

struct FileZone {
    std::optional<TimeZone> zone;  // nullopt: the VTIMEZONE could not be used
    ZonePtr owned;
};

struct ImportState {
    std::map<std::string, FileZone> zones;  // the current VCALENDAR's VTIMEZONEs by TZID
    std::set<std::string> notedZones;
    ImportedCalendar result;
};

// Reading a zone a file defines: only rules libical can work out in bounded time.
Result<bool> IsUsableZone(const Component& vtimezone) {
    size_t observances = 0;
    for (const Component& child : vtimezone.children) {
        if (child.name != "STANDARD" && child.name != "DAYLIGHT") {
            continue;
        }
        if (++observances > kMaxZoneObservances) {
            return false;
        }
        std::set<std::string> names;
        for (const ContentLine& line : child.properties) {
            names.insert(line.name);
            if (line.name != "RRULE") {
                continue;
            }
            Result<LineValues> values = ReadWithLibical(line);
            if (!values.ok()) {
                return values.error();
            }
            icalproperty* p = values->first();
            if (p == nullptr || icalproperty_get_rrule(p).freq != ICAL_YEARLY_RECURRENCE) {
                return false;
            }
        }
        if (!names.count("DTSTART") || !names.count("TZOFFSETFROM") || !names.count("TZOFFSETTO")) {
            return false;
        }
    }
    return observances > 0;
}

Result<void> ReadZone(const Component& vtimezone, ImportState& state) {
    Result<void> valid = ValidateComponent(vtimezone);
    if (!valid.ok()) {
        return valid;
    }
    std::string tzid;
    std::string location;
    for (const ContentLine& line : vtimezone.properties) {
        if ((line.name == "TZID" && tzid.empty()) ||
            (line.name == "X-LIC-LOCATION" && location.empty())) {
            Result<LineValues> values = ReadWithLibical(line);
            if (!values.ok()) {
                return values.error();
            }
            (line.name == "TZID" ? tzid : location) = TextOf(*values);
        }
    }
    if (tzid.empty()) {
        state.result.notes.push_back(
            LineNote(vtimezone.beginLine, "VTIMEZONE without TZID not used"));
        return {};
    }
    if (state.zones.count(tzid)) {
        return {};
    }
    FileZone fileZone;
    if (std::optional<TimeZone> named = TimeZone::Named(location)) {
        fileZone.zone = named;
    } else if (std::optional<TimeZone> byTzid = TimeZone::Named(tzid)) {
        fileZone.zone = byTzid;
    } else {
        Result<bool> usable = IsUsableZone(vtimezone);
        if (!usable.ok()) {
            return usable.error();
        }
        if (*usable) {
            std::vector<std::string> lines;
            AppendVerbatim(vtimezone, lines);
            const std::string text = Join(lines, kCrlf) + std::string(kCrlf);
            ComponentPtr component(icalparser_parse_string(text.c_str()));
            if (component && icalcomponent_isa(component.get()) == ICAL_VTIMEZONE_COMPONENT) {
                ZonePtr zone(icaltimezone_new());
                if (zone && icaltimezone_set_component(zone.get(), component.get())) {
                    component.release();  // the zone owns it now
                    fileZone.zone = TimeZone::FromLibical(zone.get());
                    fileZone.owned = std::move(zone);
                }
            }
        }
        if (!fileZone.zone) {
            state.result.notes.push_back(
                LineNote(vtimezone.beginLine,
                         "time zone " + tzid + " cannot be worked out and is not used"));
        }
    }
    state.zones.emplace(tzid, std::move(fileZone));
    return {};
}

// A time zone a TZID parameter names: the system's zone of that name, else the file's own.
std::optional<TimeZone> ResolveTzid(const std::string& tzid, const ImportState& state) {
    if (std::optional<TimeZone> named = TimeZone::Named(tzid)) {
        return named;
    }
    const auto found = state.zones.find(tzid);
    if (found != state.zones.end()) {
        return found->second.zone;
    }
    return std::nullopt;
}

Result<WallTime> ReadTime(const ContentLine& line, icalproperty* p, ImportState& state) {
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
    if (out.isDate) {
        return out;
    }
    if (icaltime_is_utc(time)) {
        out.zone = TimeZone::Utc();
        out.tzid = "UTC";
        return out;
    }
    icalparameter* tzidParameter = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER);
    const char* tzid = tzidParameter ? icalparameter_get_tzid(tzidParameter) : nullptr;
    if (tzid == nullptr || *tzid == '\0') {
        return out;  // floating: local time
    }
    out.writtenTzid = tzid;
    if (std::optional<TimeZone> zone = ResolveTzid(out.writtenTzid, state)) {
        out.zone = *zone;
        out.tzid = zone->name();
    } else if (state.notedZones.insert(out.writtenTzid).second) {
        state.result.notes.push_back(
            LineNote(line.line, "unknown time zone " + out.writtenTzid + " taken as local time"));
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

// An EXDATE or RDATE as wall-clock time of the series' zone.
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

// The texts and unmodelled lines every item has.
struct ItemParts {
    std::string subject;
    std::string location;
    std::string body;
    std::string uid;
    std::vector<std::string> categories;
    // SUMMARY, LOCATION, DESCRIPTION lines with parameters, in the order the export writes
    // them, so that a file read, written and read again gives the same extras.
    std::map<int, std::string> textsWithParameters;
    std::vector<std::string> extraProperties;
    std::vector<std::string> extraComponents;
    std::set<std::string> seen;  // single properties already read
    bool hasAlarm = false;

    std::string extras() const {
        std::vector<std::string> lines;
        for (const auto& entry : textsWithParameters) {
            lines.push_back(entry.second);
        }
        lines.insert(lines.end(), extraProperties.begin(), extraProperties.end());
        lines.insert(lines.end(), extraComponents.begin(), extraComponents.end());
        return Join(lines, kCrlf);
    }
};

// Notes a repeated single property (a second DTSTART) and reports whether to pass it over.
bool IsRepeat(const ContentLine& line, ItemParts& parts, ImportState& state) {
    if (parts.seen.insert(line.name).second) {
        return false;
    }
    state.result.notes.push_back(LineNote(line.line, "second " + line.name + " ignored"));
    return true;
}

// SUMMARY, DESCRIPTION, UID, CATEGORIES and, for events, LOCATION. False for other names.
bool ReadItemText(const ContentLine& line, const LineValues& values, bool withLocation,
                  ItemParts& parts, ImportState& state) {
    std::string* target = nullptr;
    int writtenOrder = 0;
    if (line.name == "SUMMARY") {
        target = &parts.subject;
        writtenOrder = 1;
    } else if (line.name == "LOCATION" && withLocation) {
        target = &parts.location;
        writtenOrder = 2;
    } else if (line.name == "DESCRIPTION") {
        target = &parts.body;
        writtenOrder = 3;
    } else if (line.name == "UID") {
        target = &parts.uid;
    } else if (line.name == "CATEGORIES") {
        std::vector<std::string> items = SplitTextList(line.value());
        parts.categories.insert(parts.categories.end(), items.begin(), items.end());
        return true;
    } else {
        return false;
    }
    if (IsRepeat(line, parts, state)) {
        return true;
    }
    *target = TextOf(values);
    // Parameters such as LANGUAGE are kept with the line; the export puts them back.
    if (!line.parameters.empty() && writtenOrder != 0) {
        parts.textsWithParameters.emplace(writtenOrder, line.text);
    }
    return true;
}

Result<void> ReadSubComponents(const Component& item, ItemParts& parts) {
    for (const Component& child : item.children) {
        Result<void> valid = ValidateComponent(child);
        if (!valid.ok()) {
            return valid;
        }
        parts.hasAlarm = parts.hasAlarm || child.name == "VALARM";
        std::vector<std::string> lines;
        AppendVerbatim(child, lines);
        parts.extraComponents.push_back(Join(lines, kCrlf));
    }
    return {};
}

bool HasProperty(const Component& component, std::string_view name) {
    return std::any_of(component.properties.begin(), component.properties.end(),
                       [name](const ContentLine& line) { return line.name == name; });
}

struct TimedLine {
    const ContentLine* line;
    WallTime time;
};

struct EventTimes {
    std::optional<TimedLine> start;
    std::optional<TimedLine> end;
    std::optional<icaldurationtype> duration;
    const ContentLine* durationLine = nullptr;
    std::optional<std::string> rule;
    std::vector<TimedLine> exceptions;
    std::vector<TimedLine> extras;
};

Result<void> ReadEventTime(const ContentLine& line, const LineValues& values, EventTimes& times,
                           ItemParts& parts, ImportState& state) {
    if (line.name == "DTSTART" || line.name == "DTEND") {
        if (IsRepeat(line, parts, state)) {
            return {};
        }
        Result<WallTime> time = ReadTime(line, values.first(), state);
        if (!time.ok()) {
            return time.error();
        }
        (line.name == "DTSTART" ? times.start : times.end) = TimedLine{&line, *time};
    } else if (line.name == "DURATION") {
        if (IsRepeat(line, parts, state)) {
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
            state.result.notes.push_back(
                LineNote(line.line, "only the first RRULE of a series is kept; this one is not"));
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
    } else {  // EXDATE, RDATE
        for (icalproperty* p : values.all()) {
            Result<WallTime> time = ReadTime(line, p, state);
            if (!time.ok()) {
                return time.error();
            }
            (line.name == "EXDATE" ? times.exceptions : times.extras)
                .push_back(TimedLine{&line, *time});
        }
    }
    return {};
}

bool IsEventTimeName(std::string_view name) {
    return name == "DTSTART" || name == "DTEND" || name == "DURATION" || name == "RRULE" ||
           name == "EXDATE" || name == "RDATE";
}

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

Result<void> SetAllDayTimes(const EventTimes& times, AppointmentRecord& record) {
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
    record.allDay = true;
    record.start = platform::LinearToDate(first);
    record.end = platform::LinearToDate(std::max(first, last));
    if (!platform::DateToFields(record.end)) {
        return LineError(lineOfEnd, "the event ends after the year 9999");
    }
    return {};
}

Result<void> SetTimedTimes(const EventTimes& times, AppointmentRecord& record) {
    const TimedLine& start = *times.start;
    Result<Date> localStart = ToLocal(*start.line, start.time);
    if (!localStart.ok()) {
        return localStart.error();
    }
    record.start = *localStart;
    record.end = record.start;
    if (times.end) {
        Result<Date> localEnd = ToLocal(*times.end->line, times.end->time);
        if (!localEnd.ok()) {
            return localEnd.error();
        }
        record.end = *localEnd;
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
        record.end = *local;
    }
    if (IsBefore(record.end, record.start)) {
        record.end = record.start;
    }
    return {};
}

Result<void> SetRecurrence(const EventTimes& times, AppointmentRecord& record, ImportState& state) {
    if (!times.rule && times.extras.empty() && times.exceptions.empty()) {
        return {};
    }
    Recurrence& recurrence = record.recurrence;
    recurrence.rule = times.rule.value_or(std::string());
    const WallTime& start = times.start->time;
    TimeZone seriesZone = TimeZone::Local();
    if (!record.allDay && !start.tzid.empty()) {
        recurrence.tzid = start.tzid;
        recurrence.zoneStart = start.wall;
        seriesZone = start.zone;
    } else {
        recurrence.zoneStart = record.start;
        if (!record.allDay && !start.zone.isLocal()) {
            state.result.notes.push_back(LineNote(
                times.start->line->line, "time zone " + start.writtenTzid +
                                             " is not known by name; the series repeats in "
                                             "local time"));
        }
    }
    for (const auto& [list, target] : {std::pair{&times.exceptions, &recurrence.exceptionDates},
                                       std::pair{&times.extras, &recurrence.extraDates}}) {
        for (const TimedLine& entry : *list) {
            Result<Date> date = InSeriesZone(*entry.line, entry.time, seriesZone, record.allDay,
                                             recurrence.zoneStart);
            if (!date.ok()) {
                return date.error();
            }
            target->push_back(*date);
        }
    }
    return {};
}

void FillTexts(const ItemParts& parts, std::u16string& subject, std::u16string& body,
               std::u16string& categories, std::string& uid, std::string& extra) {
    subject = Utf8ToUtf16Lossy(parts.subject);
    body = Utf8ToUtf16Lossy(parts.body);
    categories = Utf8ToUtf16Lossy(Join(parts.categories, kCategorySeparator));
    uid = parts.uid;
    extra = parts.extras();
}

Result<std::optional<AppointmentRecord>> ReadEvent(const Component& event, ImportState& state) {
    if (HasProperty(event, "RECURRENCE-ID")) {
        state.result.skipped.push_back(
            LineNote(event.beginLine,
                     "VEVENT with RECURRENCE-ID (one changed occurrence of a series) not kept by "
                     "the planner"));
        return std::optional<AppointmentRecord>();
    }
    ItemParts parts;
    EventTimes times;
    for (const ContentLine& line : event.properties) {
        Result<LineValues> values = ReadWithLibical(line);
        if (!values.ok()) {
            return values.error();
        }
        if (values->unknownName) {
            parts.extraProperties.push_back(line.text);
        } else if (ReadItemText(line, *values, true, parts, state)) {
            continue;
        } else if (IsEventTimeName(line.name)) {
            Result<void> read = ReadEventTime(line, *values, times, parts, state);
            if (!read.ok()) {
                return read.error();
            }
        } else {
            parts.extraProperties.push_back(line.text);
        }
    }
    if (!times.start) {
        return LineError(event.beginLine, "VEVENT has no DTSTART");
    }
    Result<void> children = ReadSubComponents(event, parts);
    if (!children.ok()) {
        return children.error();
    }
    if (times.end && times.duration) {
        state.result.notes.push_back(
            LineNote(times.durationLine->line, "DURATION ignored next to DTEND"));
        times.duration.reset();
    }
    AppointmentRecord record;
    Result<void> timed =
        times.start->time.isDate ? SetAllDayTimes(times, record) : SetTimedTimes(times, record);
    if (!timed.ok()) {
        return timed.error();
    }
    Result<void> recurrence = SetRecurrence(times, record, state);
    if (!recurrence.ok()) {
        return recurrence.error();
    }
    record.reminderSet = parts.hasAlarm;
    record.location = Utf8ToUtf16Lossy(parts.location);
    FillTexts(parts, record.subject, record.body, record.categories, record.uid,
              record.extraProperties);
    return std::optional<AppointmentRecord>(std::move(record));
}

Result<std::optional<TaskRecord>> ReadTodo(const Component& todo, ImportState& state) {
    if (HasProperty(todo, "RECURRENCE-ID")) {
        state.result.skipped.push_back(LineNote(
            todo.beginLine,
            "VTODO with RECURRENCE-ID (one changed occurrence of a series) not kept by the "
            "planner"));
        return std::optional<TaskRecord>();
    }
    ItemParts parts;
    TaskRecord record;
    for (const ContentLine& line : todo.properties) {
        Result<LineValues> values = ReadWithLibical(line);
        if (!values.ok()) {
            return values.error();
        }
        if (values->unknownName) {
            parts.extraProperties.push_back(line.text);
        } else if (ReadItemText(line, *values, false, parts, state)) {
            continue;
        } else if (line.name == "DUE" || line.name == "COMPLETED") {
            if (IsRepeat(line, parts, state)) {
                continue;
            }
            Result<WallTime> time = ReadTime(line, values->first(), state);
            if (!time.ok()) {
                return time.error();
            }
            Result<Date> local = ToLocal(line, *time);
            if (!local.ok()) {
                return local.error();
            }
            if (line.name == "DUE") {
                record.dueDate = *local;
            } else {
                record.dateCompleted = *local;
                record.complete = true;
            }
        } else if (line.name == "STATUS" && Upper(Trim(TextOf(*values))) == "COMPLETED") {
            record.complete = true;
        } else {
            if (line.name == "PERCENT-COMPLETE" && values->first() &&
                icalproperty_get_percentcomplete(values->first()) >= 100) {
                record.complete = true;
            }
            parts.extraProperties.push_back(line.text);
        }
    }
    Result<void> children = ReadSubComponents(todo, parts);
    if (!children.ok()) {
        return children.error();
    }
    FillTexts(parts, record.subject, record.body, record.categories, record.uid,
              record.extraProperties);
    return std::optional<TaskRecord>(std::move(record));
}

Result<void> ReadCalendar(const Component& calendar, ImportState& state) {
    state.zones.clear();
    for (const ContentLine& line : calendar.properties) {
        Result<LineValues> values = ReadWithLibical(line);
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
            Result<void> zone = ReadZone(child, state);
            if (!zone.ok()) {
                return zone;
            }
        }
    }
    for (const Component& child : calendar.children) {
        if (child.name == "VEVENT") {
            Result<std::optional<AppointmentRecord>> event = ReadEvent(child, state);
            if (!event.ok()) {
                return event.error();
            }
            if (event->has_value()) {
                state.result.appointments.push_back(std::move(**event));
            }
        } else if (child.name == "VTODO") {
            Result<std::optional<TaskRecord>> todo = ReadTodo(child, state);
            if (!todo.ok()) {
                return todo.error();
            }
            if (todo->has_value()) {
                state.result.tasks.push_back(std::move(**todo));
            }
        } else if (child.name != "VTIMEZONE") {
            state.result.skipped.push_back(
                LineNote(child.beginLine, child.name + " not kept by the planner"));
        }
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// Export

std::string TextLine(std::string_view name, std::string_view text) {
    return Fold(std::string(name) + ":" + EscapeText(text));
}

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

// A local time as UTC; floating local time where UTC would leave the years 100 to 9999.
OutTime LocalAsUtc(Date local) {
    if (const std::optional<Date> utc = LocalToZone(local, "UTC")) {
        return {*utc, TimeForm::Utc, {}};
    }
    return {local, TimeForm::Floating, {}};
}

std::string NameOfLine(std::string_view line) {
    const size_t end = line.find_first_of(";:");
    return Upper(line.substr(0, end));
}

std::string_view ValueOfLine(std::string_view line) {
    const size_t colon = line.find(':');
    return colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
}

// Stored extra lines, split into properties and whole sub-components.
struct ExtraLines {
    std::vector<std::string> properties;
    std::vector<std::vector<std::string>> components;
};

ExtraLines SplitExtras(std::string_view extra) {
    ExtraLines out;
    std::vector<std::string> block;
    int depth = 0;
    for (size_t at = 0; at < extra.size();) {
        const size_t newline = extra.find('\n', at);
        std::string_view line = extra.substr(
            at, newline == std::string_view::npos ? std::string_view::npos : newline - at);
        at = newline == std::string_view::npos ? extra.size() : newline + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        const std::string name = NameOfLine(line);
        if (name == "BEGIN") {
            ++depth;
            block.emplace_back(line);
        } else if (name == "END" && depth > 0) {
            block.emplace_back(line);
            if (--depth == 0) {
                out.components.push_back(std::move(block));
                block.clear();
            }
        } else if (depth > 0) {
            block.emplace_back(line);
        } else if (name != "END") {
            out.properties.emplace_back(line);
        }
    }
    return out;  // an unclosed block is dropped rather than written broken
}

// The zones the written text refers to, each with the earliest instant it is used at
// (nullopt: from the beginning).
struct ZoneUse {
    std::map<std::string, std::optional<int64_t>> zones;
};

void AddZone(ZoneUse& use, const std::string& tzid, std::optional<int64_t> from) {
    const auto [it, inserted] = use.zones.emplace(tzid, from);
    if (!inserted) {
        it->second = it->second && from ? std::min(*it->second, *from) : std::optional<int64_t>();
    }
}

// Extra lines written word for word may name zones (DTSTART;TZID=... of a task).
void AddZonesOfExtras(ZoneUse& use, const std::string& extra) {
    const ExtraLines lines = SplitExtras(extra);
    auto scan = [&use](const std::string& text) {
        Result<ContentLine> line = SplitContentLine(0, text);
        if (!line.ok()) {
            return;
        }
        if (const std::string* tzid = line->FindParameter("TZID")) {
            AddZone(use, *tzid, std::nullopt);
        }
    };
    for (const std::string& text : lines.properties) {
        scan(text);
    }
    for (const auto& block : lines.components) {
        for (const std::string& text : block) {
            scan(text);
        }
    }
}

// A VTIMEZONE for one TZID from the system's zone data, from shortly before `from` on.
std::string ZoneText(const std::string& tzid, std::optional<int64_t> from) {
    const std::optional<std::string> name = CanonicalZoneName(tzid);
    if (!name || *name == "UTC") {
        return {};
    }
    icaltimezone* zone = icaltimezone_get_builtin_timezone(name->c_str());
    icalcomponent* source = zone ? icaltimezone_get_component(zone) : nullptr;
    if (source == nullptr) {
        return {};
    }
    ComponentPtr copy(icalcomponent_new_clone(source));
    icalproperty* id = icalcomponent_get_first_property(copy.get(), ICAL_TZID_PROPERTY);
    if (id != nullptr) {
        icalproperty_set_tzid(id, tzid.c_str());
    } else {
        icalcomponent_add_property(copy.get(), icalproperty_new_tzid(tzid.c_str()));
    }
    if (from) {
        const icaltimetype start = icaltime_from_timet_with_zone(
            static_cast<time_t>(*from - kZoneMarginSeconds), 0, icaltimezone_get_utc_timezone());
        if (start.year >= kZoneTruncateFirstYear && start.year <= kZoneTruncateLastYear) {
            icaltimezone_truncate_vtimezone(copy.get(), start, icaltime_null_time(), 0);
        }
    }
    return TakeBuffer(icalcomponent_as_ical_string_r(copy.get()));
}

std::string WriteZones(const ZoneUse& use) {
    std::string out;
    for (const auto& [tzid, from] : use.zones) {
        out += ZoneText(tzid, from);
    }
    return out;
}

// What the stored extras contribute to one written item.
struct WrittenExtras {
    std::map<std::string, std::string> templates;  // SUMMARY etc. with their parameters
    std::string properties;
    std::string components;
    bool hasDtstamp = false;
    bool hasAlarm = false;
};

// Lines named in `templates` lend their parameters to the record's texts; `keep` drops the
// lines the record's own fields replace.
template <typename KeepLine>
WrittenExtras PrepareExtras(const std::string& extra,
                            std::initializer_list<std::string_view> templates, bool keepAlarms,
                            KeepLine keep) {
    WrittenExtras out;
    const ExtraLines lines = SplitExtras(extra);
    for (const std::string& line : lines.properties) {
        const std::string name = NameOfLine(line);
        if (std::find(templates.begin(), templates.end(), name) != templates.end()) {
            out.templates.emplace(name, line);
            continue;
        }
        if (!keep(name, line)) {
            continue;
        }
        out.hasDtstamp = out.hasDtstamp || name == "DTSTAMP";
        out.properties += Fold(line);
    }
    for (const auto& block : lines.components) {
        const bool isAlarm = Upper(Trim(ValueOfLine(block.front()))) == "VALARM";
        if (isAlarm && !keepAlarms) {
            continue;
        }
        out.hasAlarm = out.hasAlarm || isAlarm;
        for (const std::string& line : block) {
            out.components += Fold(line);
        }
    }
    return out;
}

// SUMMARY, LOCATION or DESCRIPTION, with the parameters it was imported with.
std::string TemplatedText(const WrittenExtras& extras, const std::string& name,
                          std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const auto found = extras.templates.find(name);
    if (found != extras.templates.end()) {
        Result<ContentLine> line = SplitContentLine(0, found->second);
        if (line.ok()) {
            return Fold(line->text.substr(0, line->valueStart) + EscapeText(text));
        }
    }
    return TextLine(name, text);
}

std::string CategoriesLine(const std::u16string& categories) {
    const std::string joined = Utf16ToUtf8Lossy(categories);
    std::string value;
    size_t at = 0;
    while (at <= joined.size()) {
        size_t next = joined.find(kCategorySeparator, at);
        if (next == std::string::npos) {
            next = joined.size();
        }
        const std::string_view item = Trim(std::string_view(joined).substr(at, next - at));
        if (!item.empty()) {
            value += (value.empty() ? "" : ",") + EscapeText(item);
        }
        at = next + kCategorySeparator.size();
    }
    return value.empty() ? std::string() : Fold("CATEGORIES:" + value);
}

std::string RuleLine(const std::string& rule) {
    if (rule.empty()) {
        return {};
    }
    const icalrecurrencetype recurrence = icalrecurrencetype_from_string(rule.c_str());
    if (recurrence.freq == ICAL_NO_RECURRENCE) {
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

std::string EventTimeLines(const AppointmentRecord& record, ZoneUse& zones) {
    const Recurrence& recurrence = record.recurrence;
    const bool series = !recurrence.rule.empty() || !recurrence.extraDates.empty() ||
                        !recurrence.exceptionDates.empty();
    std::string out;
    if (record.allDay) {
        const Date first = WholeDay(record.start);
        const Date last = IsBefore(record.end, record.start) ? first : WholeDay(record.end);
        out += TimeLine("DTSTART", {first, TimeForm::Day, {}});
        const Date endExclusive = AddDays(last, 1);
        if (platform::DateToFields(endExclusive)) {
            out += TimeLine("DTEND", {endExclusive, TimeForm::Day, {}});
        } else {
            const double days = platform::DateToLinear(last) - platform::DateToLinear(first) + 1;
            out += "DURATION:P" + std::to_string(static_cast<int64_t>(days)) + "D\r\n";
        }
        out += RuleLine(recurrence.rule);
        for (Date date : recurrence.exceptionDates) {
            out += TimeLine("EXDATE", {WholeDay(date), TimeForm::Day, {}});
        }
        for (Date date : recurrence.extraDates) {
            out += TimeLine("RDATE", {WholeDay(date), TimeForm::Day, {}});
        }
        return out;
    }
    const bool hasEnd = IsBefore(record.start, record.end);
    const std::optional<TimeZone> zone =
        series && !recurrence.tzid.empty() ? TimeZone::Named(recurrence.tzid) : std::nullopt;
    if (!series) {
        out += TimeLine("DTSTART", LocalAsUtc(record.start));
        if (hasEnd) {
            out += TimeLine("DTEND", LocalAsUtc(record.end));
        }
        return out;
    }
    // A series is written in its own zone so that it repeats there; without one, floating.
    OutTime form{0, TimeForm::Floating, {}};
    Date start = record.start;
    std::optional<Date> end = record.end;
    if (zone) {
        const bool utc = zone->name() == "UTC";
        form = {0, utc ? TimeForm::Utc : TimeForm::Zoned, utc ? std::string() : zone->name()};
        // A series whose zone start was never filled in starts at its local start.
        const std::optional<Date> derived =
            recurrence.zoneStart == 0 ? LocalToZone(record.start, zone->name()) : std::nullopt;
        start = derived.value_or(recurrence.zoneStart);
        end = LocalToZone(record.end, zone->name());
        if (!utc) {
            AddZone(zones, zone->name(), zone->ToUnixSeconds(start));
        }
    }
    auto at = [&form](Date wall) { return OutTime{wall, form.form, form.tzid}; };
    out += TimeLine("DTSTART", at(start));
    if (hasEnd) {
        out += end ? TimeLine("DTEND", at(*end))
                   : TimeLine("DTEND", {record.end, TimeForm::Floating, {}});
    }
    out += RuleLine(recurrence.rule);
    for (Date date : recurrence.exceptionDates) {
        out += TimeLine("EXDATE", at(date));
    }
    for (Date date : recurrence.extraDates) {
        out += TimeLine("RDATE", at(date));
    }
    return out;
}

std::string WriteEvent(const AppointmentRecord& record, size_t index, const std::string& dtstamp,
                       ZoneUse& zones) {
    const WrittenExtras extras =
        PrepareExtras(record.extraProperties, {"SUMMARY", "LOCATION", "DESCRIPTION"},
                      record.reminderSet, [](const std::string& name, const std::string&) {
                          return name != "UID" && name != "CATEGORIES" && !IsEventTimeName(name);
                      });
    AddZonesOfExtras(zones, record.extraProperties);
    std::string out = "BEGIN:VEVENT\r\n";
    out += TextLine("UID", record.uid.empty() ? GeneratedUid("", record.oid, index) : record.uid);
    if (!extras.hasDtstamp) {
        out += dtstamp;
    }
    out += TemplatedText(extras, "SUMMARY", Utf16ToUtf8Lossy(record.subject));
    out += TemplatedText(extras, "LOCATION", Utf16ToUtf8Lossy(record.location));
    out += TemplatedText(extras, "DESCRIPTION", Utf16ToUtf8Lossy(record.body));
    out += CategoriesLine(record.categories);
    out += EventTimeLines(record, zones);
    out += extras.properties;
    out += extras.components;
    if (record.reminderSet && !extras.hasAlarm) {
        out += "BEGIN:VALARM\r\n";
        out += "TRIGGER:" + std::string(kDefaultAlarmTrigger) + "\r\n";
        out += "ACTION:DISPLAY\r\n";
        // A display alarm needs a text to show.
        out += TextLine("DESCRIPTION", record.subject.empty() ? std::string(kDefaultAlarmText)
                                                              : Utf16ToUtf8Lossy(record.subject));
        out += "END:VALARM\r\n";
    }
    out += "END:VEVENT\r\n";
    return out;
}

std::string WriteTodo(const TaskRecord& record, size_t index, const std::string& dtstamp,
                      ZoneUse& zones) {
    const bool complete = record.complete;
    const WrittenExtras extras = PrepareExtras(
        record.extraProperties, {"SUMMARY", "DESCRIPTION"}, true,
        [complete](const std::string& name, const std::string& line) {
            if (name == "UID" || name == "DUE" || name == "COMPLETED" || name == "CATEGORIES") {
                return false;
            }
            if (name == "STATUS") {
                return !complete && Upper(Trim(ValueOfLine(line))) != "COMPLETED";
            }
            if (name == "PERCENT-COMPLETE" && !complete) {
                return Trim(ValueOfLine(line)) != "100";  // it would mark the task done again
            }
            return true;
        });
    AddZonesOfExtras(zones, record.extraProperties);
    std::string out = "BEGIN:VTODO\r\n";
    out +=
        TextLine("UID", record.uid.empty() ? GeneratedUid("task-", record.oid, index) : record.uid);
    if (!extras.hasDtstamp) {
        out += dtstamp;
    }
    out += TemplatedText(extras, "SUMMARY", Utf16ToUtf8Lossy(record.subject));
    out += TemplatedText(extras, "DESCRIPTION", Utf16ToUtf8Lossy(record.body));
    out += CategoriesLine(record.categories);
    if (record.dueDate != kNoDateValue) {
        const bool midnight = TimeOfDay(record.dueDate) == 0;
        out += TimeLine("DUE", {record.dueDate, midnight ? TimeForm::Day : TimeForm::Floating, {}});
    }
    if (complete) {
        out += "STATUS:COMPLETED\r\n";
        if (record.dateCompleted != kNoDateValue) {
            out += TimeLine("COMPLETED", LocalAsUtc(record.dateCompleted));
        }
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

platform::Result<ImportedCalendar> ParseICalendar(std::string_view icsText) {
    Result<std::vector<ContentLine>> lines = ReadContentLines(icsText);
    if (!lines.ok()) {
        return lines.error();
    }
    Result<std::vector<Component>> calendars = BuildComponents(std::move(lines).value());
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
    return std::move(state.result);
}

std::string WriteICalendar(const std::vector<AppointmentRecord>& appointments,
                           const std::vector<TaskRecord>& tasks) {
    return WriteICalendar(appointments, tasks, platform::SystemClock());
}

std::string WriteICalendar(const std::vector<AppointmentRecord>& appointments,
                           const std::vector<TaskRecord>& tasks, const platform::Clock& clock) {
    const std::string dtstamp = DtstampLine(clock);
    ZoneUse zones;
    std::string items;
    for (size_t i = 0; i < appointments.size(); ++i) {
        items += WriteEvent(appointments[i], i, dtstamp, zones);
    }
    for (size_t i = 0; i < tasks.size(); ++i) {
        items += WriteTodo(tasks[i], i, dtstamp, zones);
    }
    std::string out = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
    out += "PRODID:" + std::string(kProductId) + "\r\n";
    out += WriteZones(zones);
    out += items;
    out += "END:VCALENDAR\r\n";
    return out;
}

}  // namespace pim
