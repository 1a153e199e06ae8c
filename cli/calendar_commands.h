#pragma once

#include <string>
#include <vector>

#include "platform/files/data_home.h"

namespace cli {

// `import FILE.ics`: every event and task of the file in one transaction, or nothing.
int ImportCalendar(const platform::DataHome& home, const std::string& file);

// `export FILE.ics` (or "-" for standard output): the whole store as one calendar.
int ExportCalendar(const platform::DataHome& home, const std::string& file);

}  // namespace cli
