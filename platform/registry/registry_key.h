#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace platform::registry {

// A piece of the registry file the registry cannot read (a value of an unknown type, a number
// that is not a whole 32-bit one, a member it does not know), kept as it was found so that a save
// writes it back unchanged: the JSON text of a one-element array holding it.
struct KeptJson {
    std::string arrayText;
    friend bool operator==(const KeptJson&, const KeptJson&) = default;
};

// A value as the handheld's registry types it: a string or a 32-bit unsigned number; or one that
// cannot be read as either, which reads as unreadable until a write replaces it.
using RegistryValue = std::variant<std::u16string, uint32_t, KeptJson>;

// A member of the file kept word for word under its name (as spelt, UTF-8).
using KeptMember = std::pair<std::string, KeptJson>;

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
    // What the file held here that the registry does not understand, written back as it was:
    // members of the key beside "keys" and "values" (or either of those when it is not an
    // object), subkeys that are not keys or whose names cannot be used (empty, holding "\",
    // already taken but for case), and values whose names cannot be used.
    std::vector<KeptMember> keptMembers;
    std::vector<KeptMember> keptSubkeys;
    std::vector<KeptMember> keptValues;
    // The root only: members of the file's top level beside format, version and root.
    std::vector<KeptMember> keptDocumentMembers;

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
