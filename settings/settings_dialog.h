#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/gui/window.h"
#include "platform/registry/registry.h"
#include "settings/settings.h"

namespace settings {

// The controls of the settings dialog (template 115) that it reads and sets.
inline constexpr uint16_t kDataPathEdit = 1002;
inline constexpr uint16_t kHolidayEdit = 1015;
// The colour buttons, each opening the colour chooser for one day colour, and the swatches
// that show those colours.
inline constexpr uint16_t kTodayButton = 1005;
inline constexpr uint16_t kCurDayButton = 1006;
inline constexpr uint16_t kWeekDayButton = 1009;
inline constexpr uint16_t kSatDayButton = 1012;
inline constexpr uint16_t kSunDayButton = 1014;
inline constexpr uint16_t kHoliDayButton = 1017;
inline constexpr uint16_t kTodaySwatch = 1007;
inline constexpr uint16_t kCurDaySwatch = 1008;
inline constexpr uint16_t kWeekDaySwatch = 1010;
inline constexpr uint16_t kSatDaySwatch = 1011;
inline constexpr uint16_t kSunDaySwatch = 1013;
inline constexpr uint16_t kHoliDaySwatch = 1016;
// The four switches: HMemo, bTask, ClearType and Small.
inline constexpr uint16_t kTextMemoFirstBox = 1018;
inline constexpr uint16_t kDatedTasksBox = 1019;
inline constexpr uint16_t kClearTypeBox = 1020;
inline constexpr uint16_t kSmallFontBox = 1021;

// The most UTF-16 units either edit box hands over: its text is read into a buffer of 255
// with the terminating zero.
inline constexpr size_t kDialogTextMaxUnits = 254;

enum class SettingsDialogResult { Confirmed, Cancelled };

// The settings dialog, full screen and modal over `owner`. It shows the data folder, the
// holiday category, the six day colours on their swatches and the four switches; the colour
// buttons change the dialog's own copies of the colours. OK takes everything into `settings`
// and saves them all into `registry`; Cancel (or a dialog taken away) leaves both untouched.
// Its 同期 button calls `openSync` with the dialog, over which the planner opens the 同期
// dialog; without it the button is disabled.
SettingsDialogResult RunSettingsDialog(gui::Window& owner, Settings& settings,
                                       platform::registry::Registry& registry,
                                       const std::function<void(gui::Window&)>& openSync = {});

}  // namespace settings
