#pragma once

#include <string>
#include <string_view>

#include "platform/registry/registry_key.h"
#include "platform/result.h"

namespace platform::registry {

// The registry file is one JSON document:
//
//   {"format": "tessarinth-registry", "version": 1, "root": KEY}
//   KEY   = {"keys": {NAME: KEY, ...}, "values": {NAME: VALUE, ...}}
//   VALUE = {"type": "string", "data": "text"}
//         | {"type": "number", "data": 0 .. 4294967295}
//
// The root is the current user's hive. Names are kept as first spelt. Anything else makes the
// file damaged: a missing or extra member, a member of the wrong JSON type, two names that
// differ only in case, a key name that is empty or holds "\", text that is not well-formed
// UTF-16, or a number that is not a whole 32-bit unsigned value.
Result<RegistryKey> ParseRegistryText(std::string_view text);

std::string FormatRegistryText(const RegistryKey& root);

}  // namespace platform::registry
