#pragma once

#include <cstdint>
#include <string>

namespace store {

// What a calendar of the store takes: appointments, tasks or both (a server's collection says
// which components it supports).
enum class CalendarHolds : int32_t { Appointments = 1, Tasks = 2, Both = 3 };

// One calendar of the store: every item belongs to exactly one. Calendar 1 is always there; the
// others come from a server's account or a subscribed feed.
struct StoreCalendar {
    int64_t id = 0;  // 0: not stored yet
    std::string name;
    std::string url;  // the server's collection or the feed; empty: kept here alone
    bool subscription = false;
    // Its items may not be changed here (a feed, a collection the user may not write).
    bool readOnly = false;
    // Its items are stored and synced, but left out of the planner's views and reminders.
    bool hidden = false;
    std::string color;  // "#RRGGBB", or empty
    CalendarHolds holds = CalendarHolds::Both;
    bool isDefault = false;  // where new items go; set through SetDefaultCalendar alone

    bool Takes(int32_t kind) const { return (static_cast<int32_t>(holds) & kind) != 0; }
    friend bool operator==(const StoreCalendar&, const StoreCalendar&) = default;
};

}  // namespace store
