#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "settings/settings.h"

namespace settings {

// Where one setting lives in memory; its type says how it is stored: text as a string, colours
// and flags as 32-bit numbers.
using TextMember = std::u16string Settings::*;
using ColourMember = Colorref Settings::*;
using FlagMember = int32_t Settings::*;
using SettingMember = std::variant<TextMember, ColourMember, FlagMember>;

struct SettingField {
    std::string_view name;  // the registry value name, plain ASCII
    SettingMember member;
};

inline constexpr size_t kSettingCount = 13;

// The order settings are read in, and the order the tools list them in.
inline constexpr std::array<SettingField, kSettingCount> kLoadOrder{{
    {"DataPath", &Settings::DataPath},
    {"HoliDay", &Settings::HoliDay},
    {"ccToday", &Settings::ccToday},
    {"ccCurDay", &Settings::ccCurDay},
    {"ccWeekDay", &Settings::ccWeekDay},
    {"ccSatDay", &Settings::ccSatDay},
    {"ccSunDay", &Settings::ccSunDay},
    {"ccHoliDay", &Settings::ccHoliDay},
    {"HMemo", &Settings::HMemo},
    {"bTask", &Settings::bTask},
    {"ClearType", &Settings::ClearType},
    {"Small", &Settings::Small},
    {"SyncMinutes", &Settings::SyncMinutes},
}};

// The order settings are written in: Sunday's colour goes before Saturday's.
inline constexpr std::array<SettingField, kSettingCount> kSaveOrder{{
    kLoadOrder[0],
    kLoadOrder[1],
    kLoadOrder[2],
    kLoadOrder[3],
    kLoadOrder[4],
    kLoadOrder[6],
    kLoadOrder[5],
    kLoadOrder[7],
    kLoadOrder[8],
    kLoadOrder[9],
    kLoadOrder[10],
    kLoadOrder[11],
    kLoadOrder[12],
}};

}  // namespace settings
