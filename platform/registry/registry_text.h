#pragma once

#include <cstddef>
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
// The root is the current user's hive. Names are kept as first spelt.
//
// The largest registry file read. A registry holds a few kilobytes; a file past this is taken
// as damaged, as garbage is, rather than read at length by every command.
inline constexpr size_t kMaxRegistryFileOctets = 1024 * 1024;

// A file that is not JSON (strings that are not well-formed UTF-8, or escape half a surrogate
// pair, are not), or whose top level is not an object of this format and version
// with a root key, or that is larger than kMaxRegistryFileOctets or nested deeper than any
// registry is, is damaged. In a file that is, whatever cannot be read is kept aside in the
// tree (KeptJson, RegistryKey's kept members) and read past: a value of an unknown type, a
// number that is not a whole 32-bit unsigned value, an extra or missing member,
// a member of the wrong JSON type, two names that differ only in case, a key name that is empty
// or holds "\". The rest of the file reads as usual, and formatting the tree writes every kept
// piece back as it was, so that a save loses nothing another program (or a later version)
// wrote.
Result<RegistryKey> ParseRegistryText(std::string_view text);

std::string FormatRegistryText(const RegistryKey& root);

}  // namespace platform::registry
