#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/files/data_home.h"
#include "platform/time/date_time.h"

namespace cli {

// `month [YYYY-MM|YYYY-MM-DD] [--tsv]`: the month grid of the date (today by the clock when none
// is given) with its all-day, time-band and holiday marks, built by the planner's own census
// from the store and settings of the data home. Returns the exit status; a failure is one line
// on `err`.
int MonthCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                 const platform::Clock& clock, std::ostream& out, std::ostream& err);

}  // namespace cli
