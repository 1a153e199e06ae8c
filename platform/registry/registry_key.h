#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace platform::registry {

// A value as the handheld's registry types it: a string or a 32-bit unsigned number.
using RegistryValue = std::variant<std::u16string, uint32_t>;

struct NamedValue {
    std::u16string name;  // as first spelt
    RegistryValue value;
};

// One key of the tree. Names compare without regard to case, as on the handheld, so subkeys
// and values are filed under their folded names while each keeps its own spelling.
struct RegistryKey {
    std::u16string name;
    std::map<std::u16string, std::unique_ptr<RegistryKey>> subkeys;
    std::map<std::u16string, NamedValue> values;

    RegistryKey* FindSubkey(std::u16string_view subkeyName) const;
    const NamedValue* FindValue(std::u16string_view valueName) const;
};

// The form a name is filed under.
std::u16string FoldName(std::u16string_view name);

// Text the registry can hold: well-formed UTF-16, so that the file reads back what was written.
bool IsStorableText(std::u16string_view text);

// A key name is one step of a path: not empty, no "\", storable.
bool IsValidKeyName(std::u16string_view name);

}  // namespace platform::registry
