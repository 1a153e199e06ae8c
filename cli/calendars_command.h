#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/data_home.h"
#include "store/store_calendar.h"

namespace cli {

// `calendars`: one line for each calendar of the store, tab-separated: its name, its address
// ("-" for one kept here alone), shown or hidden, default or "-", read-only or writable, and its
// colour ("-" for none).
// `calendars default NAME`: new items go to that calendar from now on.
// `calendars hide NAME` / `calendars show NAME`: its items leave the planner's views and
// reminders, or come back; they stay stored and synced either way.
// `args` are the words after "calendars". Returns the exit status; a failure is one line on `err`.
int CalendarsCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                     std::ostream& out, std::ostream& err);

// The calendar of that name among `calendars`, or nullptr.
const store::StoreCalendar* CalendarNamed(const std::vector<store::StoreCalendar>& calendars,
                                          std::string_view name);

}  // namespace cli
