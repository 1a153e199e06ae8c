#include "calendar/time_zones.h"

#include <libical/ical.h>

#include <chrono>
#include <ctime>

namespace calendar {
namespace {

using platform::CalendarFields;

constexpr int64_t kSecondsPerDay = 86400;
// Zone names as the system's zone data spells them are short; anything longer is not one.
constexpr size_t kMaxZoneNameLength = 64;
// Prefixed TZIDs end in a zone name of at most this many parts ("America/Argentina/Salta").
constexpr int kMaxZoneNameParts = 3;

constexpr int64_t DaysSinceUnixEpoch(int year, unsigned month, unsigned day) {
    const std::chrono::sys_days days{std::chrono::year{year} / std::chrono::month{month} /
                                     std::chrono::day{day}};
    return days.time_since_epoch().count();
}

// libical works out a zone's changes only up to the year 2582, and slowly near that end. The
// Gregorian calendar repeats every 400 years to the weekday, and the zone data carries today's
// rules on for ever, so later instants are read 400-year steps earlier.
constexpr int64_t kLibicalReliableUntil = DaysSinceUnixEpoch(2500, 1, 1) * kSecondsPerDay;
constexpr int64_t kGregorianCycleSeconds = int64_t{146097} * kSecondsPerDay;

// A wall-clock DATE as seconds on a clock that has no changes (as if it were UTC).
std::optional<int64_t> WallSeconds(Date wallClock) {
    const std::optional<CalendarFields> f = platform::DateToFields(wallClock);
    if (!f) {
        return std::nullopt;
    }
    return DaysSinceUnixEpoch(f->Year, f->Month, f->Day) * kSecondsPerDay +
           int64_t{f->Hour} * 3600 + int64_t{f->Minute} * 60 + int64_t{f->Second};
}

std::optional<Date> DateFromWallSeconds(int64_t seconds) {
    int64_t days = seconds / kSecondsPerDay;
    int64_t secondOfDay = seconds % kSecondsPerDay;
    if (secondOfDay < 0) {
        secondOfDay += kSecondsPerDay;
        days -= 1;
    }
    // Far outside the DATE range the day count would not fit the calendar types.
    constexpr int64_t kDayLimit = int64_t{10000} * 366;
    if (days > kDayLimit || days < -kDayLimit) {
        return std::nullopt;
    }
    const std::chrono::year_month_day ymd{
        std::chrono::sys_days{std::chrono::days{static_cast<int>(days)}}};
    const int year = static_cast<int>(ymd.year());
    if (year < platform::kMinYear || year > platform::kMaxYear) {
        return std::nullopt;
    }
    CalendarFields f;
    f.Year = static_cast<uint16_t>(year);
    f.Month = static_cast<uint16_t>(static_cast<unsigned>(ymd.month()));
    f.Day = static_cast<uint16_t>(static_cast<unsigned>(ymd.day()));
    f.Hour = static_cast<uint16_t>(secondOfDay / 3600);
    f.Minute = static_cast<uint16_t>(secondOfDay / 60 % 60);
    f.Second = static_cast<uint16_t>(secondOfDay % 60);
    return platform::FieldsToDate(f);
}

bool IsZoneNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '+' || c == '/';
}

// libical looks names up as file names under the zone directory, so only plain relative
// names are handed to it.
bool LooksLikeZoneName(std::string_view name) {
    if (name.empty() || name.size() > kMaxZoneNameLength || name.front() == '/' ||
        name.back() == '/' || name.find("//") != std::string_view::npos ||
        name.find("..") != std::string_view::npos) {
        return false;
    }
    for (char c : name) {
        if (!IsZoneNameChar(c)) {
            return false;
        }
    }
    return true;
}

bool IsUtcName(std::string_view name) {
    return name == "UTC" || name == "GMT";
}

// A name of the system's zone data, exactly as spelled.
std::optional<std::string> BuiltinZoneName(std::string_view name) {
    if (IsUtcName(name)) {
        return std::string("UTC");
    }
    if (!LooksLikeZoneName(name)) {
        return std::nullopt;
    }
    std::string owned(name);
    if (icaltimezone_get_builtin_timezone(owned.c_str()) == nullptr) {
        return std::nullopt;
    }
    return owned;
}

}  // namespace

TimeZone TimeZone::Local() {
    return TimeZone(Kind::Local, nullptr, std::string());
}

TimeZone TimeZone::Utc() {
    return TimeZone(Kind::Utc, nullptr, "UTC");
}

std::optional<TimeZone> TimeZone::Named(std::string_view tzid) {
    const std::optional<std::string> name = CanonicalZoneName(tzid);
    if (!name) {
        return std::nullopt;
    }
    if (*name == "UTC") {
        return Utc();
    }
    icaltimezone* zone = icaltimezone_get_builtin_timezone(name->c_str());
    if (zone == nullptr) {
        return std::nullopt;
    }
    return TimeZone(Kind::Libical, zone, *name);
}

TimeZone TimeZone::FromLibical(icaltimezone* zone) {
    return TimeZone(Kind::Libical, zone, std::string());
}

std::optional<int32_t> TimeZone::UtcOffsetAt(int64_t unixSeconds) const {
    switch (kind_) {
        case Kind::Utc:
            return 0;
        case Kind::Local: {
            const time_t t = static_cast<time_t>(unixSeconds);
            tm local{};
            if (localtime_r(&t, &local) == nullptr) {
                return std::nullopt;
            }
            return static_cast<int32_t>(local.tm_gmtoff);
        }
        case Kind::Libical: {
            int64_t t = unixSeconds;
            if (t >= kLibicalReliableUntil) {
                t -= ((t - kLibicalReliableUntil) / kGregorianCycleSeconds + 1) *
                     kGregorianCycleSeconds;
            }
            icaltimetype utc = icaltime_from_timet_with_zone(static_cast<time_t>(t), 0,
                                                             icaltimezone_get_utc_timezone());
            int isDaylight = 0;
            return static_cast<int32_t>(
                icaltimezone_get_utc_offset_of_utc_time(zone_, &utc, &isDaylight));
        }
    }
    return std::nullopt;
}

std::optional<int64_t> TimeZone::ToUnixSeconds(Date wallClock) const {
    const std::optional<int64_t> wall = WallSeconds(wallClock);
    if (!wall) {
        return std::nullopt;
    }
    if (kind_ == Kind::Utc) {
        return *wall;
    }
    // The offsets a day either side bracket any change near this time. An instant whose own
    // offset leads back to the wall-clock time is a reading of it; with two (the repeated hour)
    // the earlier wins, with none (the skipped hour) the offset before the change is used.
    const std::optional<int32_t> before = UtcOffsetAt(*wall - kSecondsPerDay);
    const std::optional<int32_t> after = UtcOffsetAt(*wall + kSecondsPerDay);
    if (!before || !after) {
        return std::nullopt;
    }
    std::optional<int64_t> best;
    for (const int32_t offset : {*before, *after}) {
        const int64_t candidate = *wall - offset;
        const std::optional<int32_t> actual = UtcOffsetAt(candidate);
        if (actual && candidate + *actual == *wall && (!best || candidate < *best)) {
            best = candidate;
        }
    }
    return best ? *best : *wall - *before;
}

std::optional<Date> TimeZone::FromUnixSeconds(int64_t unixSeconds) const {
    const std::optional<int32_t> offset = UtcOffsetAt(unixSeconds);
    if (!offset) {
        return std::nullopt;
    }
    return DateFromWallSeconds(unixSeconds + *offset);
}

std::optional<std::string> CanonicalZoneName(std::string_view tzid) {
    if (std::optional<std::string> name = BuiltinZoneName(tzid)) {
        return name;
    }
    if (tzid.empty() || tzid.front() != '/') {
        return std::nullopt;
    }
    // "/vendor/version/Europe/Berlin": try the last three, two, then one parts as a name.
    for (int parts = kMaxZoneNameParts; parts >= 1; --parts) {
        size_t start = tzid.size();
        int found = 0;
        while (found < parts && start > 0) {
            start = tzid.rfind('/', start - 1);
            if (start == std::string_view::npos) {
                break;
            }
            ++found;
        }
        if (found < parts || start == std::string_view::npos) {
            continue;
        }
        if (std::optional<std::string> name = BuiltinZoneName(tzid.substr(start + 1))) {
            return name;
        }
    }
    return std::nullopt;
}

bool IsKnownZone(std::string_view tzid) {
    return CanonicalZoneName(tzid).has_value();
}

std::optional<Date> ConvertWallClock(Date wallClock, std::string_view fromTzid,
                                     std::string_view toTzid) {
    if (fromTzid.empty() && toTzid.empty()) {
        return wallClock;
    }
    const std::optional<TimeZone> from =
        fromTzid.empty() ? TimeZone::Local() : TimeZone::Named(fromTzid);
    const std::optional<TimeZone> to = toTzid.empty() ? TimeZone::Local() : TimeZone::Named(toTzid);
    if (!from || !to) {
        return std::nullopt;
    }
    const std::optional<int64_t> instant = from->ToUnixSeconds(wallClock);
    if (!instant) {
        return std::nullopt;
    }
    return to->FromUnixSeconds(*instant);
}

std::optional<Date> ZoneToLocal(Date wallClock, std::string_view tzid) {
    return ConvertWallClock(wallClock, tzid, std::string_view());
}

std::optional<Date> LocalToZone(Date local, std::string_view tzid) {
    return ConvertWallClock(local, std::string_view(), tzid);
}

}  // namespace calendar
