#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Bytes as base64 text (RFC 4648, the standard alphabet, padded with "="), as iCalendar carries
// binary values.
std::string EncodeBase64(std::string_view bytes);

// The bytes of base64 text; nullopt when it holds anything but the standard alphabet, or "="
// anywhere but as the padding of its last group. Unpadded text is read as if it were padded.
std::optional<std::string> DecodeBase64(std::string_view text);

}  // namespace platform
