#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files/data_home.h"
#include "platform/text/unicode_text.h"  // Utf16ToUtf8, which users of device names need too

namespace platform {

// Where a file name the program uses lies on this machine. "\My Documents\12.dat" (or any name
// without a leading "/") lies under the device root, with "\" and "/" both separating folders;
// "/home/me/x.dat" is a host path taken as it is. Empty names, names holding NUL or broken
// UTF-16, and device names with a ".." step are refused: a crafted name must never lead the
// program out of its data folder.
std::optional<std::filesystem::path> MapDevicePath(const DataHome& home,
                                                   std::u16string_view devicePath);

// A file name in a folder: "<folder>\<name>", or "<folder>/<name>" for a host folder
// ("/home/..."), so the ink and history files of a data folder are found the same way by every
// reader and writer.
std::u16string JoinDevicePath(std::u16string_view folder, std::u16string_view name);

}  // namespace platform
