#include "calendar/item_zones.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "calendar/ical_lines.h"
#include "calendar/ical_zones.h"

namespace calendar {
namespace {

// Distinct zone definitions worked out and kept for the life of the process; a store holds a
// handful. Past this many, another one is taken as unknown rather than let memory grow.
constexpr size_t kMaxKeptDefinitions = 256;
// Names looked up are kept up to this many; a store uses a few.
constexpr size_t kMaxKeptNames = 1024;
// A definition longer than this is no zone a calendar program wrote.
constexpr size_t kMaxDefinitionBytes = 64 * 1024;
constexpr std::string_view kZoneInfoFolder = "zoneinfo/";

// The calendar's own zones, each read once: TimeZones made from them point into these.
class DefinedZones {
public:
    std::optional<TimeZone> Resolve(const std::string& tzid, const std::string& definition) {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::string key = tzid + '\n' + definition;
        auto found = zones_.find(key);
        if (found == zones_.end()) {
            if (zones_.size() >= kMaxKeptDefinitions || definition.size() > kMaxDefinitionBytes) {
                return std::nullopt;
            }
            Kept kept{Read(definition), std::nullopt};
            if (kept.zones) {
                kept.zone = kept.zones->Resolve(tzid);
            }
            found = zones_.emplace(key, std::move(kept)).first;
        }
        return found->second.zone;
    }

private:
    static std::unique_ptr<ical::FileZones> Read(const std::string& definition) {
        auto lines = ical::ReadContentLines(definition);
        if (!lines.ok()) {
            return nullptr;
        }
        auto file = ical::BuildComponents(std::move(lines).value());
        if (!file.ok()) {
            return nullptr;
        }
        auto zones = std::make_unique<ical::FileZones>();
        std::vector<std::string> notes;
        for (const ical::Component& calendar : file->calendars) {
            for (const ical::Component& child : calendar.children) {
                if (child.name == "VTIMEZONE" && !zones->Read(child, notes).ok()) {
                    return nullptr;
                }
            }
        }
        return zones;
    }

    // The definition read, and the zone the TZID resolves to in it (pointing into it).
    struct Kept {
        std::unique_ptr<ical::FileZones> zones;
        std::optional<TimeZone> zone;
    };
    std::mutex mutex_;
    std::map<std::string, Kept> zones_;
};

DefinedZones& KeptDefinitions() {
    static DefinedZones zones;
    return zones;
}

// Zones by name, each looked up once: the system's zone data is searched name by name.
class NamedZones {
public:
    std::optional<TimeZone> Resolve(const std::string& tzid) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = zones_.find(tzid);
        if (found == zones_.end()) {
            if (zones_.size() >= kMaxKeptNames) {
                return Look(tzid);
            }
            found = zones_.emplace(tzid, Look(tzid)).first;
        }
        return found->second;
    }

private:
    // A name without a definition of its own: the system's zone, else the one a Windows zone
    // name stands for.
    static std::optional<TimeZone> Look(const std::string& tzid) {
        if (std::optional<TimeZone> named = TimeZone::Named(tzid)) {
            return named;
        }
        return ical::FileZones().Resolve(tzid);
    }

    std::mutex mutex_;
    std::map<std::string, std::optional<TimeZone>> zones_;
};

NamedZones& KeptNames() {
    static NamedZones zones;
    return zones;
}

}  // namespace

std::optional<TimeZone> ResolveZone(const ItemZone& zone) {
    if (!zone.zoned()) {
        return std::nullopt;
    }
    if (!zone.definition.empty()) {
        if (std::optional<TimeZone> defined =
                KeptDefinitions().Resolve(zone.tzid, zone.definition)) {
            return defined;
        }
    }
    // Without a definition of its own, a Windows zone name still names a zone.
    return KeptNames().Resolve(zone.tzid);
}

std::optional<Date> ZoneWallToLocal(const ItemZone& zone, Date wallClock) {
    const std::optional<TimeZone> resolved = ResolveZone(zone);
    if (!resolved) {
        return wallClock;
    }
    const std::optional<int64_t> instant = resolved->ToUnixSeconds(wallClock);
    return instant ? TimeZone::Local().FromUnixSeconds(*instant) : std::nullopt;
}

std::optional<Date> LocalToZoneWall(const ItemZone& zone, Date local) {
    const std::optional<TimeZone> resolved = ResolveZone(zone);
    if (!resolved) {
        return local;
    }
    const std::optional<int64_t> instant = TimeZone::Local().ToUnixSeconds(local);
    return instant ? resolved->FromUnixSeconds(*instant) : std::nullopt;
}

Date KeptWall(const ItemZone& zone, Date kept, Date local) {
    const std::optional<TimeZone> resolved = ResolveZone(zone);
    if (!resolved) {
        return local;
    }
    const std::optional<int64_t> keptInstant = resolved->ToUnixSeconds(kept);
    const std::optional<int64_t> localInstant = TimeZone::Local().ToUnixSeconds(local);
    if (!localInstant || (keptInstant && *keptInstant == *localInstant)) {
        return kept;
    }
    return resolved->FromUnixSeconds(*localInstant).value_or(kept);
}

void CarryIntoZone(AppointmentRecord& record) {
    if (record.allDay) {
        record.zone = ItemZone{};
        record.zoneStart = record.start;
        record.zoneEnd = record.end;
    } else {
        if (record.zone.form == ItemZone::Form::Unset) {
            record.zone = ZoneInForce();
        }
        record.zoneStart = KeptWall(record.zone, record.zoneStart, record.start);
        record.zoneEnd = KeptWall(record.zone, record.zoneEnd, record.end);
    }
    for (OccurrenceChange& change : record.recurrence.changes) {
        if (record.allDay || change.allDay) {
            change.zoneStart = change.start;
            change.zoneEnd = change.end;
        } else {
            change.zoneStart = KeptWall(record.zone, change.zoneStart, change.start);
            change.zoneEnd = KeptWall(record.zone, change.zoneEnd, change.end);
        }
    }
}

void CarryIntoZone(TaskRecord& record) {
    if (record.dueDate == kNoDateValue) {
        record.dueZone = ItemZone{};
        record.zoneDue = kNoDateValue;
        return;
    }
    if (record.dueZone.form == ItemZone::Form::Unset) {
        const double linear = platform::DateToLinear(record.dueDate);
        record.dueZone = linear == std::floor(linear) ? ItemZone{ItemZone::Form::Floating, {}, {}}
                                                      : ZoneInForce();
    }
    record.zoneDue = KeptWall(record.dueZone, record.zoneDue, record.dueDate);
}

std::string ZoneInForceKey() {
    if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0') {
        return *tz == ':' ? std::string(tz + 1) : std::string(tz);
    }
    // The system's zone: the zone file /etc/localtime links to, else the name Debian keeps.
    char target[PATH_MAX];
    const ssize_t length = readlink("/etc/localtime", target, sizeof target - 1);
    if (length > 0) {
        const std::string path(target, static_cast<size_t>(length));
        const size_t at = path.rfind(kZoneInfoFolder);
        return at == std::string::npos ? path : path.substr(at + kZoneInfoFolder.size());
    }
    std::ifstream named("/etc/timezone");
    std::string name;
    if (named && std::getline(named, name) && !name.empty()) {
        return name;
    }
    return "UTC";
}

ItemZone ZoneInForce() {
    ItemZone zone;
    zone.form = ItemZone::Form::Zoned;
    const std::optional<std::string> name = CanonicalZoneName(ZoneInForceKey());
    zone.tzid = name.value_or("UTC");
    return zone;
}

}  // namespace calendar
