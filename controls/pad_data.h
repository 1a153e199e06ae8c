#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "schedule/ink_entry.h"

namespace controls {

// The handwriting pad's data: the ink it shows and edits, and the text its text box is loaded
// with. One instance for the whole run, as at most one editor (and so one pad) is open at a
// time; the editor fills it before the pad opens and the store writes read it back.
struct PadData {
    std::array<schedule::InkEntry, schedule::kMaxInkEntries> InkBuffer{};
    int32_t InkCount = 0;  // entries of InkBuffer in use, 0 to schedule::kMaxInkEntries
    std::u16string PadText;
    int32_t PadTextMode = 0;  // 1: the text box is shown; 0: ink mode
};

}  // namespace controls
