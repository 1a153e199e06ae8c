#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/records.h"
#include "platform/result.h"
#include "store/undo_step.h"

// An item's whole state in a compact form of the store's own, as a step that takes a change
// back keeps it: every field of the record, its changed occurrences and zone included, but not
// its object id (an item deleted and brought back is the same item under another one). Reading
// checks every length against what is there, so a damaged snapshot is an error, never a crash.
namespace store {

std::string EncodeItem(const calendar::AppointmentRecord& record);
std::string EncodeItem(const calendar::TaskRecord& record);
platform::Result<calendar::AppointmentRecord> DecodeAppointment(std::string_view bytes);
platform::Result<calendar::TaskRecord> DecodeTask(std::string_view bytes);

// The ink files kept with a step, in the same form.
std::string EncodeInk(const std::vector<KeptInk>& ink);
platform::Result<std::vector<KeptInk>> DecodeInk(std::string_view bytes);

// What an item holds, as one number that stays the same wherever the planner runs: the local
// times worked out from a zoned item's own times are left out, as they move when the planner is
// used in another zone while the item stays what it was; so are the stamps that say when it last
// changed (LAST-MODIFIED, DTSTAMP, SEQUENCE), which a change taken back sets anew. kNoItem stands
// for an item that is not there; no record gives it.
inline constexpr uint64_t kNoItem = 0;
uint64_t Fingerprint(const calendar::AppointmentRecord& record);
uint64_t Fingerprint(const calendar::TaskRecord& record);
// Of whichever record the state holds; kNoItem for none.
uint64_t Fingerprint(const ItemState& state);

// A decoded record's local times worked out again, from its own, for the zone in force.
void WorkOutLocalTimes(calendar::AppointmentRecord& record);
void WorkOutLocalTimes(calendar::TaskRecord& record);

}  // namespace store
