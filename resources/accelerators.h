#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace resources {

// A key that becomes a command before it reaches the window. virtualKey holds a Qt::Key value.
struct Accelerator {
    bool control = false;
    int virtualKey = 0;
    uint16_t command = 0;
};

struct AcceleratorTable {
    int id = 0;
    std::vector<Accelerator> entries;
};

// The accelerator table of the given id (3), or nullptr.
const AcceleratorTable* FindAcceleratorTable(int id);

// The command a key press becomes under the table, or nothing when no entry matches exactly
// (the Control state must match too).
std::optional<uint16_t> TranslateAccelerator(const AcceleratorTable& table, bool control,
                                             int virtualKey);

}  // namespace resources
