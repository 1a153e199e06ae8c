#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace platform {

// The character put in place of text that cannot be converted, where a lossy conversion is
// wanted.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

constexpr bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Where UTF-8 text stopped making sense: the offset of the first byte of the first sequence that
// is not well-formed (a stray continuation byte, an overlong form, a surrogate, a value past
// U+10FFFF or a sequence cut short).
struct Utf8Error {
    size_t byteOffset = 0;
};

// UTF-16 to UTF-8; nullopt when a surrogate is unpaired.
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);

// UTF-16 to UTF-8 that never fails: each unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8Lossy(std::u16string_view text);

// Strict UTF-8 to UTF-16; on malformed input, where the first bad sequence starts.
std::variant<std::u16string, Utf8Error> Utf8ToUtf16(std::string_view text);

// UTF-8 to UTF-16 that never fails: each byte that does not start a well-formed sequence becomes
// U+FFFD and decoding goes on at the next byte.
std::u16string Utf8ToUtf16Lossy(std::string_view text);

// Whether the text is well-formed UTF-8 by the rules Utf8ToUtf16 applies.
bool IsValidUtf8(std::string_view text);

}  // namespace platform
