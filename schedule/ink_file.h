#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "controls/ink_entry.h"
#include "platform/files/data_home.h"

namespace schedule {

// The longest ink file path, data folder and separator included, that is still opened.
inline constexpr size_t kMaxInkPathUnits = 255;

// Whether a memo's first line names an ink file the way the planner writes them: decimal digits
// followed by ".dat" and nothing else. Any other text is a typed memo, so an imported body can
// never make the planner read (or, when the memo is saved, delete) a file that is not its ink.
bool IsInkFileName(std::u16string_view name);

// Reads the ink file `name` of the data folder (the device path "<dataFolder>\<name>") into
// `destination` and returns the number of whole records read: 0 when the name is not an ink file
// name, the path is longer than kMaxInkPathUnits or the file cannot be opened; a record cut short
// at the end of the file is left out, and at most kMaxInkEntries are read.
int32_t ReadInkFile(const platform::DataHome& home, std::u16string_view dataFolder,
                    std::u16string_view name,
                    std::span<controls::InkEntry, controls::kMaxInkEntries> destination);

}  // namespace schedule
