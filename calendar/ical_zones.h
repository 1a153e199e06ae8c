#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "calendar/ical_lines.h"
#include "calendar/ical_values.h"
#include "calendar/time_zones.h"
#include "platform/result.h"

// Time zones on both sides of a file: the VTIMEZONEs an import reads, and those an export writes.
namespace calendar::ical {

// The zones one VCALENDAR defines, by TZID. A zone whose name the system knows is taken from
// the system; another is worked out from its STANDARD and DAYLIGHT parts when libical can do so
// in bounded time, and otherwise noted and not used.
class FileZones {
public:
    platform::Result<void> Read(const Component& vtimezone, std::vector<std::string>& notes);
    // The zone a TZID parameter names: the system's zone of that name, else the file's own, else
    // the system's zone a Windows zone name stands for; nullopt when none is known.
    std::optional<TimeZone> Resolve(const std::string& tzid) const;
    // The file's VTIMEZONE for the TZID, as its lines; empty for a TZID the file does not
    // define.
    std::string Definition(const std::string& tzid) const;
    void Clear() { zones_.clear(); }

private:
    struct FileZone {
        std::optional<TimeZone> zone;  // nullopt: the VTIMEZONE could not be used
        ZonePtr owned;
        std::string definition;
    };
    std::map<std::string, FileZone> zones_;
};

// The zones a written calendar refers to, each from the earliest instant it is used at
// (nullopt: from the beginning); written as VTIMEZONEs from the system's zone data.
class ZoneUse {
public:
    void Add(const std::string& tzid, std::optional<int64_t> fromUnixSeconds);
    // A zone written as a calendar defined it (its VTIMEZONE lines), not from the system's data.
    void AddDefined(const std::string& tzid, const std::string& definition);
    // Zones named by TZID parameters of kept lines (the DTSTART of a task, say).
    void AddNamedIn(const std::vector<std::string>& lines);
    std::string VTimezones() const;

private:
    std::map<std::string, std::optional<int64_t>> zones_;
    std::map<std::string, std::string> defined_;
};

}  // namespace calendar::ical
