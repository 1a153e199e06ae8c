#include "platform/registry/registry_key.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include "platform/text/unicode_text.h"

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
    // Folding can lengthen a name (ß folds to ss): one try at the name's own length, a second
    // at the length ICU asks for.
    std::u16string folded(name.size(), u'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length =
            u_strFoldCase(folded.data(), static_cast<int32_t>(folded.size()), name.data(),
                          static_cast<int32_t>(name.size()), U_FOLD_CASE_DEFAULT, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            folded.resize(static_cast<size_t>(length));
            continue;
        }
        if (U_FAILURE(status)) {
            break;
        }
        folded.resize(static_cast<size_t>(length));
        return folded;
    }
    // Folding fails only when memory does: the name as it stands still files the value.
    return std::u16string(name);
}

bool IsStorableText(std::u16string_view text) {
    return Utf16ToUtf8(text).has_value();
}

bool IsValidKeyName(std::u16string_view name) {
    return !name.empty() && name.find(u'\\') == std::u16string_view::npos && IsStorableText(name);
}

}  // namespace platform::registry
