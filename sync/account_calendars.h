#pragma once

#include <vector>

#include "caldav/account_discovery.h"
#include "platform/result.h"
#include "store/schedule_store.h"
#include "sync/sync_settings.h"

namespace calendar_sync {

// `wanted`, or the first of "wanted (2)", "wanted (3)", ... that no calendar but `exceptId` has
// ("calendar" when `wanted` is empty).
std::string FreeCalendarName(const std::vector<store::StoreCalendar>& calendars,
                             const std::string& wanted, int64_t exceptId);

// Makes the store's calendars those of the account found at its server's address: calendar 1
// is the account's calendar chosen for appointments (`chosen`); each other calendar of the
// account becomes a calendar of the store of its own (found again by its address, so a second
// setup adds only what is new). A calendar first bound to a collection takes the server's name
// for it (with " (2)" and so on where the name is taken already); colours and whether it can be
// written always follow the server. With `newServer` the calendars of the
// account set up before keep their items here but no longer sync: their collections belong to
// another account.
platform::Result<void> RecordAccountCalendars(store::Application& store,
                                              const std::vector<caldav::FoundCalendar>& found,
                                              const SyncedCalendars& chosen, bool newServer);

}  // namespace calendar_sync
