#pragma once

#include <string>

#include "platform/time/date_time.h"

namespace editors {

// The editors' date label: year, month, day and weekday as "yy/mm/dd(曜)" (the four-digit year
// printed and its first two digits left off); empty for a DATE outside the calendar.
std::u16string EditorDateText(platform::Date date);

// The editors' time label: "hh:mm".
std::u16string EditorTimeText(platform::Date date);

}  // namespace editors
