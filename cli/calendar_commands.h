#pragma once

#include <string>
#include <vector>

#include "platform/files/data_home.h"

namespace cli {

// `import FILE.ics`: every event and task of the file in one transaction, or nothing. An item
// whose UID is stored already updates that item in place (object id, ink file and what the file
// does not say stay), so importing a file twice changes nothing. Prints how many items were
// added, updated, found unchanged and skipped, the changed occurrences kept with their series,
// the notes and the skipped components.
int ImportCalendar(const platform::DataHome& home, const std::string& file);

// `export FILE.ics` (or "-" for standard output): the whole store as one calendar.
int ExportCalendar(const platform::DataHome& home, const std::string& file);

}  // namespace cli
