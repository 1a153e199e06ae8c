#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/files/data_home.h"
#include "platform/time/date_time.h"

namespace cli {

// `reminders [--hours N] [--from YYYY-MM-DDTHH:MM]`: the reminders that ring in the next N hours
// (24 unless given) from now, or from the moment given, one a line: ring time, start, end,
// subject and place, tab-separated, in order of ring time.
int RemindersCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                     const platform::Clock& clock, std::ostream& out, std::ostream& err);

// `reminders --watch`: rings the reminders of the data home's store as desktop notifications
// until stopped, as the planner does while it runs. Needs the thread's Qt core application.
int WatchReminders(const platform::DataHome& home, const platform::Clock& clock, std::ostream& err);

}  // namespace cli
