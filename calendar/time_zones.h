#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/time/date_time.h"

// libical's zone type, so that this header does not pull in all of <libical/ical.h>.
extern "C" {
typedef struct _icaltimezone icaltimezone;
}

namespace calendar {

using platform::Date;

// A zone that wall-clock times are read in: the process's local zone (its TZ), UTC, a zone of
// the system's time-zone data by name ("Europe/Berlin", read through libical, which on this
// system loads /usr/share/zoneinfo), or a zone an imported file defines in a VTIMEZONE.
//
// Clock changes follow the iCalendar rules, as calendar programs do:
// - a wall-clock time that does not exist (the hour skipped when clocks go forward) is read
//   with the offset in force before the gap, so it lands the length of the gap later:
//   02:30 on the spring-forward night in Berlin is 03:30 summer time;
// - a wall-clock time that occurs twice (the hour repeated when clocks go back) means the
//   first of the two, while summer time is still in force.
// Times are rounded to whole seconds. Conversions fail (nullopt) outside the years 100..9999.
class TimeZone {
public:
    // The zone of the process (TZ). Call tzset() after changing TZ.
    static TimeZone Local();
    static TimeZone Utc();
    // A zone by any name CanonicalZoneName accepts; nullopt for an unknown name.
    static std::optional<TimeZone> Named(std::string_view tzid);
    // A zone libical built, e.g. from a file's VTIMEZONE. The caller keeps `zone` alive for as
    // long as this TimeZone is used.
    static TimeZone FromLibical(icaltimezone* zone);

    // The canonical name ("Europe/Berlin", "UTC"); empty for the local zone and for zones
    // taken from a file.
    const std::string& name() const { return name_; }
    bool isLocal() const { return kind_ == Kind::Local; }
    // Whether both stand for the same rules, so that a wall-clock time needs no conversion.
    bool SameZone(const TimeZone& other) const {
        return kind_ == other.kind_ && zone_ == other.zone_;
    }

    // Seconds since 1970-01-01 00:00 UTC of a wall-clock time in this zone, and back.
    std::optional<int64_t> ToUnixSeconds(Date wallClock) const;
    std::optional<Date> FromUnixSeconds(int64_t unixSeconds) const;
    // Seconds east of UTC in force at an instant.
    std::optional<int32_t> UtcOffsetAt(int64_t unixSeconds) const;

private:
    enum class Kind { Local, Utc, Libical };
    TimeZone(Kind kind, icaltimezone* zone, std::string name)
        : kind_(kind), zone_(zone), name_(std::move(name)) {}

    Kind kind_;
    icaltimezone* zone_;
    std::string name_;
};

// The name a zone is known under, or nullopt. Accepts the names of the system's zone data
// ("Asia/Tokyo"), "UTC" and "GMT" (both give "UTC"), and the prefixed TZIDs calendar programs
// write ("/freeassociation.sourceforge.net/Europe/Berlin", "/mozilla.org/20050126_1/...").
std::optional<std::string> CanonicalZoneName(std::string_view tzid);

// Whether `tzid` names a zone. The empty string is not a zone: it stands for local time.
bool IsKnownZone(std::string_view tzid);

// A wall-clock time in zone `tzid` as the process's local wall-clock time; an empty `tzid`
// means the time already is local and it is returned unchanged. nullopt for an unknown zone.
std::optional<Date> ZoneToLocal(Date wallClock, std::string_view tzid);

// The other way: local wall-clock time as wall-clock time in `tzid` (empty: unchanged).
std::optional<Date> LocalToZone(Date local, std::string_view tzid);

// A wall-clock time in one zone as wall-clock time in another (either empty: local time).
std::optional<Date> ConvertWallClock(Date wallClock, std::string_view fromTzid,
                                     std::string_view toTzid);

}  // namespace calendar
