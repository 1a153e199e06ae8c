#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/data_home.h"
#include "platform/time/date_time.h"

namespace cli {

// What every holiday appointment's UID ends with; before it stands the day, "20260101".
inline constexpr std::string_view kHolidayUidDomain = "@holidays.tessarinth";

// `holidays YEAR[-YEAR] [--dry-run]`: Japan's national holidays of those years (1955 to 2099)
// as all-day appointments of the settings' holiday category, named by the holiday, each with a
// UID made from its day. A holiday already stored under its UID is left alone when it is as
// computed and rewritten in place when not; a stored one whose day is no longer a holiday of
// those years is deleted. Prints how many were added, updated, unchanged and removed.
// --dry-run prints "YYYY-MM-DD<TAB>name" lines instead and writes nothing.
int HolidaysCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                    const platform::Clock& clock, std::ostream& out, std::ostream& err);

}  // namespace cli
