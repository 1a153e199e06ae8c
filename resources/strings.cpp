#include "resources/strings.h"

#include <array>

#include "resources/resource_ids.h"

namespace resources {
namespace {

struct StringEntry {
    int id;
    std::u16string_view text;
};

constexpr std::array kStrings{
    StringEntry{kTitleString, u"Tessarinth"},
    StringEntry{kClassNameString, u"TESSARINTH"},
    // Main menu bar.
    StringEntry{40047, u"新規"},
    StringEntry{40009, u"移動"},
    StringEntry{40052, u"設定"},
    StringEntry{40078, u"？"},
    StringEntry{40080, u"バージョン"},
    // Appointment editor's menu bar.
    StringEntry{40065, u"←"},
    StringEntry{40067, u"削除"},
    StringEntry{40091, u"繰返"},
    // Task editor's menu bar.
    StringEntry{40069, u"←"},
    StringEntry{40071, u"削除"},
};

}  // namespace

std::u16string_view String(int id) {
    for (const StringEntry& entry : kStrings) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return {};
}

}  // namespace resources
