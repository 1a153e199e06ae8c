#pragma once

#include <optional>
#include <string>

#include "calendar/records.h"
#include "calendar/time_zones.h"

// The zones items keep their times in, and the zone the planner runs in: how a stored wall-clock
// time becomes local time and back.
namespace calendar {

// The zone an item's times follow: the system's zone of its TZID, else the calendar's own
// definition kept with it, else the system zone a Windows zone name stands for. nullopt for a
// floating or unset zone, and for one that cannot be worked out (its times are then taken as
// local time, and still written back with their TZID).
std::optional<TimeZone> ResolveZone(const ItemZone& zone);

// A wall-clock time of the item's zone as local time, and back; floating, unset and unknown
// zones leave the time as it is. nullopt outside the years 100 to 9999.
std::optional<Date> ZoneWallToLocal(const ItemZone& zone, Date wallClock);
std::optional<Date> LocalToZoneWall(const ItemZone& zone, Date local);

// The wall-clock time of `local` in the item's zone: `kept` while it still stands for `local`
// (so that a time in the hour a zone repeats keeps its side, and an unchanged time is written as
// it was read), else `local` converted. Floating and unknown zones give `local`.
Date KeptWall(const ItemZone& zone, Date kept, Date local);

// Carries an item's local times into its zone before it is stored: an item made here takes the
// zone in force (a due date without a time stays a date); an all-day item and a task without
// due date keep none; a time changed here is converted, one left alone is kept as it was.
void CarryIntoZone(AppointmentRecord& record);
void CarryIntoZone(TaskRecord& record);

// What identifies the zone the process runs in (its TZ, else the system's configured zone), so
// that the store can tell when it is opened in another one.
std::string ZoneInForceKey();

// The zone items made here keep their times in: the system zone the process runs in, or UTC
// when that zone has no name the system's zone data knows.
ItemZone ZoneInForce();

}  // namespace calendar
