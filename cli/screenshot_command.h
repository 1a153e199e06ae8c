#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/files/data_home.h"
#include "platform/time/date_time.h"

namespace cli {

// `screenshot [--date YYYY-MM-DD] [--today YYYY-MM-DD] [--landscape] [--zoom N] [--summary]
// OUT.png`: the whole device screen, bars and main window, painted as the planner paints it for
// that selected day and today (both default to the clock's today), from the data home's store
// and settings; --summary opens the summary pop-up first. Zoom 1 is the device's own pixels.
// Needs no display.
int ScreenshotCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                      const platform::Clock& clock, std::ostream& out, std::ostream& err);

}  // namespace cli
