#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/files/data_home.h"
#include "platform/time/date_time.h"

namespace cli {

// `agenda [YYYY-MM-DD] [--tsv]`: the twelve rows of the day list from the date (today by the
// clock when none is given) and the undated tasks, read with the planner's own loader from the
// store and settings of the data home. `args` are the words after "agenda". Returns the exit
// status; a failure is one line on `err`.
int AgendaCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                  const platform::Clock& clock, std::ostream& out, std::ostream& err);

}  // namespace cli
