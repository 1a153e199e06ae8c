#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "calendar/handwritten_memo.h"
#include "platform/files/data_home.h"
#include "schedule/ink_entry.h"

namespace schedule {

// The longest ink file path, data folder and separator included, that is still opened.
inline constexpr size_t kMaxInkPathUnits = 255;

// Whether a name is one the planner gives ink files: decimal digits followed by ".dat" and
// nothing else. Only such a name is ever read or deleted as ink, and only for a memo the store
// marks handwritten (calendar::InkNameOf), so no body can make the planner read or delete another
// file.
using calendar::IsInkFileName;

// Reads the ink file `name` of the data folder (the device path "<dataFolder>\<name>") into
// `destination` and returns the number of whole records read: 0 when the name is not an ink file
// name, the path is longer than kMaxInkPathUnits or the file cannot be opened; a record cut short
// at the end of the file is left out, and at most kMaxInkEntries are read.
int32_t ReadInkFile(const platform::DataHome& home, std::u16string_view dataFolder,
                    std::u16string_view name,
                    std::span<schedule::InkEntry, schedule::kMaxInkEntries> destination);

// The records of the ink file `name` as ReadInkFile reads them, as the bytes an ink file holds
// (schedule::EncodeInkEntries): what a calendar file and a step that takes a change back carry of
// a drawing. nullopt when the file holds no whole record.
std::optional<std::string> ReadInkBytes(const platform::DataHome& home,
                                        std::u16string_view dataFolder, std::u16string_view name);

}  // namespace schedule
