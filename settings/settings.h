#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace settings {

// A colour as the registry keeps it: 0x00BBGGRR.
using Colorref = uint32_t;

// Text settings live in buffers of this many UTF-16 units, the terminating zero included, so
// they hold at most 255 characters.
inline constexpr size_t kTextCapacity = 256;

// The running planner's sync interval: the default, and the longest taken (a day).
inline constexpr int32_t kDefaultSyncMinutes = 15;
inline constexpr int32_t kLongestSyncMinutes = 24 * 60;

// The program's settings, named by their registry value names: the twelve of its screens and
// the sync interval. In memory for the whole
// run; loaded once at start-up and saved when the settings dialog is confirmed.
struct Settings {
    // Folder of the history files and the ink files.
    std::u16string DataPath = u"\\My Documents";
    // The store category that marks an appointment as a holiday.
    std::u16string HoliDay = u"祝日";
    Colorref ccToday = 0xFF00FF;    // today, magenta
    Colorref ccCurDay = 0x00FFFF;   // the selected date, yellow
    Colorref ccWeekDay = 0x000000;  // Monday to Friday and weekday headings, black
    Colorref ccSatDay = 0xFF0000;   // Saturdays, blue
    Colorref ccSunDay = 0x0000FF;   // Sundays, red
    Colorref ccHoliDay = 0x0000FF;  // holidays, red
    int32_t HMemo = 0;              // a new appointment's pad starts in text mode
    int32_t bTask = 1;              // dated tasks are shown and can be made
    int32_t ClearType = 0;          // fonts are drawn with ClearType quality
    int32_t Small = 0;              // the corner panel and day list use the smaller font
    // How often the running planner syncs with the calendar server set up, in minutes; 0: it
    // never syncs by itself. Kept beside the twelve; read back within kLongestSyncMinutes.
    int32_t SyncMinutes = kDefaultSyncMinutes;

    friend bool operator==(const Settings&, const Settings&) = default;
};

// A flag is on only when it equals 1; any other stored number counts as off.
inline bool IsOn(int32_t flag) {
    return flag == 1;
}

}  // namespace settings
