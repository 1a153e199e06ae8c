#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "platform/files/data_home.h"
#include "platform/time/date_time.h"

namespace cli {

// What a `drive` run ends with besides 0 (done), 1 (the store or a file failed) and 2 (wrong
// arguments): the script itself went wrong (a line that cannot be read, a modal question with
// no answer queued, an answer never asked for).
inline constexpr int kScriptFaultStatus = 3;

// `drive [--today YYYY-MM-DD[THH:MM]] [--date YYYY-MM-DD] [--landscape] SCRIPT`: the real
// planner on the data home, started as the program starts, off-screen, with timers that move
// only when the script waits and a responder that answers modal questions from the script; then
// the script's lines one at a time (SCRIPT a file, or - for `in`), each followed by everything
// it posted and painted. Without --today the planner reads the system clock. Ends as the
// program's shutdown does.
int DriveCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                 const platform::Clock& clock, std::istream& in, std::ostream& out,
                 std::ostream& err);

}  // namespace cli
