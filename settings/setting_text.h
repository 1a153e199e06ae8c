#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"
#include "settings/setting_fields.h"
#include "settings/settings.h"

namespace settings {

// The setting names in the order they are loaded.
std::array<std::string_view, kSettingCount> SettingNames();

// A setting as UTF-8 text: strings as they are, colours as 0x%06X, flags in decimal. Nullopt
// for a name that is not a setting.
std::optional<std::string> FormatSetting(const Settings& settings, std::string_view name);

// Sets one setting from text: colours as a 32-bit number in decimal or 0x hex, flags as any
// 32-bit whole number (decimal, or 0x hex for the bit pattern), strings as UTF-8 of at most 255
// UTF-16 units. The setting is left alone when the text does not fit it.
platform::Result<void> AssignSetting(Settings& settings, std::string_view name,
                                     std::string_view text);

}  // namespace settings
