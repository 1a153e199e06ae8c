#pragma once

#include <string>

namespace store {

// A new identity for an item made here (by an editor, the command line, a paste): a random
// version-4 UUID with the program's name as its domain,
// "9b2e6c1a-0f4d-4e8b-a1c3-5d7f9e2b4a60@tessarinth". Unique across devices, as a calendar
// server expects of a UID.
std::string NewItemUid();

}  // namespace store
