#include "platform/registry/registry_key.h"

#include <QString>
#include <QStringView>

namespace platform::registry {

RegistryKey* RegistryKey::FindSubkey(std::u16string_view subkeyName) const {
    const auto found = subkeys.find(FoldName(subkeyName));
    return found == subkeys.end() ? nullptr : found->second.get();
}

const NamedValue* RegistryKey::FindValue(std::u16string_view valueName) const {
    const auto found = values.find(FoldName(valueName));
    return found == values.end() ? nullptr : &found->second;
}

std::u16string FoldName(std::u16string_view name) {
    return QStringView(name.data(), static_cast<qsizetype>(name.size()))
        .toString()
        .toCaseFolded()
        .toStdU16String();
}

bool IsStorableText(std::u16string_view text) {
    return QStringView(text.data(), static_cast<qsizetype>(text.size())).isValidUtf16();
}

bool IsValidKeyName(std::u16string_view name) {
    return !name.empty() && name.find(u'\\') == std::u16string_view::npos && IsStorableText(name);
}

}  // namespace platform::registry
