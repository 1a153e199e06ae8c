#include "calendar/ical_zones.h"

#include <unicode/ucal.h>

#include <algorithm>
#include <ctime>
#include <set>

#include "platform/text/unicode_text.h"

namespace calendar::ical {
namespace {

using platform::Result;

constexpr int64_t kSecondsPerDay = 86400;
// A file's own VTIMEZONE with more STANDARD/DAYLIGHT parts than this is not used: libical
// works every part out year by year.
constexpr size_t kMaxZoneObservances = 64;
// Zone definitions written on export start this long before the first time that uses them.
constexpr int64_t kZoneMarginSeconds = kSecondsPerDay;
// Years libical's zone tables reliably cover; VTIMEZONEs are only shortened inside them.
constexpr int kZoneTruncateFirstYear = 1900;
constexpr int kZoneTruncateLastYear = 2400;

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

// The system zone a Windows zone name stands for in most of the world, by ICU's table.
std::optional<std::string> ZoneOfWindowsName(const std::string& name) {
    const std::u16string windowsName = platform::Utf8ToUtf16Lossy(name);
    constexpr int32_t kLongestZoneName = 64;
    char16_t zone[kLongestZoneName];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        ucal_getTimeZoneIDForWindowsID(windowsName.data(), static_cast<int32_t>(windowsName.size()),
                                       nullptr, zone, kLongestZoneName, &status);
    if (U_FAILURE(status) || length <= 0 || length > kLongestZoneName) {
        return std::nullopt;
    }
    return platform::Utf16ToUtf8Lossy(std::u16string_view(zone, static_cast<size_t>(length)));
}

}  // namespace

Result<void> FileZones::Read(const Component& vtimezone, std::vector<std::string>& notes) {
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
        notes.push_back(LineNote(vtimezone.beginLine, "VTIMEZONE without TZID not used"));
        return {};
    }
    if (zones_.count(tzid)) {
        return {};
    }
    FileZone fileZone;
    // Kept, so that the zone is written back as the file gave it; for a zone of the system's,
    // unless the definition was itself written from the system's data by libical (its
    // X-LIC-LOCATION says so), which is how this planner writes one.
    if (!TimeZone::Named(tzid) || location.empty()) {
        std::vector<std::string> lines;
        AppendVerbatim(vtimezone, lines);
        for (const std::string& line : lines) {
            fileZone.definition += line;
            fileZone.definition += kCrlf;
        }
    }
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
            ComponentPtr component =
                ParseLinesWithLibical(std::vector<std::string_view>(lines.begin(), lines.end()));
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
            notes.push_back(
                LineNote(vtimezone.beginLine,
                         "time zone " + tzid + " cannot be worked out and is not used"));
        }
    }
    zones_.emplace(tzid, std::move(fileZone));
    return {};
}

std::optional<TimeZone> FileZones::Resolve(const std::string& tzid) const {
    if (std::optional<TimeZone> named = TimeZone::Named(tzid)) {
        return named;
    }
    const auto found = zones_.find(tzid);
    if (found != zones_.end() && found->second.zone) {
        return found->second.zone;
    }
    // Windows programs name zones their own way ("Tokyo Standard Time"), often without a
    // VTIMEZONE; ICU's zone data knows which zone each name stands for.
    if (std::optional<std::string> systemName = ZoneOfWindowsName(tzid)) {
        return TimeZone::Named(*systemName);
    }
    return std::nullopt;
}

std::string FileZones::Definition(const std::string& tzid) const {
    const auto found = zones_.find(tzid);
    return found != zones_.end() ? found->second.definition : std::string();
}

void ZoneUse::Add(const std::string& tzid, std::optional<int64_t> fromUnixSeconds) {
    const auto [it, inserted] = zones_.emplace(tzid, fromUnixSeconds);
    if (!inserted) {
        it->second = it->second && fromUnixSeconds ? std::min(*it->second, *fromUnixSeconds)
                                                   : std::optional<int64_t>();
    }
}

void ZoneUse::AddDefined(const std::string& tzid, const std::string& definition) {
    defined_.emplace(tzid, definition);
}

void ZoneUse::AddNamedIn(const std::vector<std::string>& lines) {
    for (const std::string& text : lines) {
        Result<ContentLine> line = SplitContentLine(0, text);
        if (!line.ok()) {
            continue;
        }
        if (const std::string* tzid = line->FindParameter("TZID")) {
            Add(*tzid, std::nullopt);
        }
    }
}

std::string ZoneUse::VTimezones() const {
    std::string out;
    for (const auto& [tzid, definition] : defined_) {
        out += definition;
    }
    for (const auto& [tzid, from] : zones_) {
        if (!defined_.count(tzid)) {
            out += ZoneText(tzid, from);
        }
    }
    return out;
}

}  // namespace calendar::ical
