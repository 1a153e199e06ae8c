#include "resources/accelerators.h"

#include <Qt>

#include "resources/resource_ids.h"

namespace resources {
namespace {

const std::vector<AcceleratorTable> kAcceleratorTables{
    AcceleratorTable{kMainAccelerators,
                     {
                         Accelerator{true, Qt::Key_A, kCommandAbout},
                         Accelerator{true, Qt::Key_Q, kCommandOk},
                         Accelerator{true, Qt::Key_Z, kCommandUndo},
                         Accelerator{true, Qt::Key_Y, kCommandRedo},
                     }},
};

}  // namespace

const AcceleratorTable* FindAcceleratorTable(int id) {
    for (const AcceleratorTable& table : kAcceleratorTables) {
        if (table.id == id) {
            return &table;
        }
    }
    return nullptr;
}

std::optional<uint16_t> TranslateAccelerator(const AcceleratorTable& table, bool control,
                                             int virtualKey) {
    for (const Accelerator& entry : table.entries) {
        if (entry.control == control && entry.virtualKey == virtualKey) {
            return entry.command;
        }
    }
    return std::nullopt;
}

}  // namespace resources
