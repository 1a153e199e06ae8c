#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "calendar/ical_io.h"
#include "calendar/records.h"
#include "platform/result.h"

namespace calendar_sync {

// One item as the server keeps it: a calendar object resource of one UID.
struct ServerItem {
    calendar::ItemKind kind = calendar::ItemKind::Appointment;
    calendar::AppointmentRecord appointment;  // for an appointment (a series with its changes)
    calendar::TaskRecord task;                // for a task
    calendar::AppointmentInk ink;             // the handwriting an appointment carried
    const std::string& Uid() const {
        return kind == calendar::ItemKind::Task ? task.uid : appointment.uid;
    }
};

// The largest calendar object resource read: what one planner item needs many times over (its
// ink is at most 16 kB), while a server cannot make the sync hold or parse more than this per item.
inline constexpr size_t kMaxServerItemOctets = 4 * 1024 * 1024;

// Reads a calendar object resource: exactly one item (an event series with its changed
// occurrences, or a task). Anything else, and a resource larger than kMaxServerItemOctets, is an
// error that says what the resource held.
platform::Result<ServerItem> ReadServerItem(const std::string& icsText);

// The text put on the server for a stored item: LAST-MODIFIED and DTSTAMP say when it last
// changed here (seconds since 1970 UTC), so that another planner can tell which side changed
// last. A handwritten memo carries its ink when `inkOf` finds it.
std::string ServerTextOf(const calendar::AppointmentRecord& record, int64_t changedAt,
                         const calendar::InkSource& inkOf = {});
std::string ServerTextOf(const calendar::TaskRecord& record, int64_t changedAt);

// When an item last changed, from its LAST-MODIFIED (else DTSTAMP), in seconds since 1970 UTC;
// none when it carries neither.
std::optional<int64_t> ChangeTimeOf(const ServerItem& item);

// "打ち合わせ" or, for an item without a subject, its UID: how output lines name an item.
std::string NameOf(const ServerItem& item);

}  // namespace calendar_sync
