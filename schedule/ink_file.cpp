#include "schedule/ink_file.h"

#include <array>
#include <memory>
#include <string>

#include "platform/files/device_path.h"
#include "platform/files/readable_file.h"

namespace schedule {

int32_t ReadInkFile(const platform::DataHome& home, std::u16string_view dataFolder,
                    std::u16string_view name,
                    std::span<schedule::InkEntry, schedule::kMaxInkEntries> destination) {
    if (!IsInkFileName(name) || dataFolder.size() + 1 + name.size() > kMaxInkPathUnits) {
        return 0;
    }
    const auto path = platform::MapDevicePath(home, platform::JoinDevicePath(dataFolder, name));
    if (!path) {
        return 0;
    }
    auto file = platform::ReadableFile::Open(*path);
    if (!file) {
        return 0;
    }
    // One read of the most a memo holds gives the same records as reading them one by one until
    // a short read, at a fraction of the system calls.
    std::array<std::byte, schedule::kMaxInkBytes> bytes;
    const size_t got = file->Read(bytes.data(), bytes.size());
    return static_cast<int32_t>(
        schedule::DecodeInkEntries(std::span<const std::byte>(bytes.data(), got), destination));
}

std::optional<std::string> ReadInkBytes(const platform::DataHome& home,
                                        std::u16string_view dataFolder, std::u16string_view name) {
    // On the heap: a memo's records are 16 kB, and a series asks for every change.
    auto entries = std::make_unique<std::array<schedule::InkEntry, schedule::kMaxInkEntries>>();
    const int32_t count = ReadInkFile(home, dataFolder, name, std::span(*entries));
    if (count <= 0) {
        return std::nullopt;
    }
    return schedule::EncodeInkEntries(
        std::span<const schedule::InkEntry>(entries->data(), static_cast<size_t>(count)));
}

}  // namespace schedule
