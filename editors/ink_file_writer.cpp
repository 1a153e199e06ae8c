#include "editors/ink_file_writer.h"

#include <string>

#include "platform/files/device_path.h"
#include "platform/files/file_operations.h"
#include "schedule/ink_file.h"

namespace editors {
namespace {

constexpr std::u16string_view kInkFileExtension = u".dat";

}  // namespace

std::u16string InkFileName(int32_t number) {
    const std::string digits = std::to_string(number);
    std::u16string name(digits.begin(), digits.end());
    name += kInkFileExtension;
    return name;
}

platform::Result<std::filesystem::path> InkFilePath(const platform::DataHome& home,
                                                    std::u16string_view dataFolder,
                                                    std::u16string_view name) {
    if (!schedule::IsInkFileName(name)) {
        return platform::MakeError("not an ink file name: " + platform::Utf16ToUtf8Lossy(name));
    }
    // Joined as the day loader joins them, so that a file written here is the file it reads.
    const std::u16string devicePath = platform::JoinDevicePath(dataFolder, name);
    if (devicePath.size() > schedule::kMaxInkPathUnits) {
        return platform::MakeError("the data folder is too long for the ink file " +
                                   platform::Utf16ToUtf8Lossy(name));
    }
    auto path = platform::MapDevicePath(home, devicePath);
    if (!path) {
        return platform::MakeError("the data folder cannot hold ink files: " +
                                   platform::Utf16ToUtf8Lossy(dataFolder));
    }
    return *path;
}

platform::Result<int32_t> ClaimFreeInkNumber(const platform::DataHome& home,
                                             std::u16string_view dataFolder, InkClaimFailure* why) {
    const auto failed = [why](InkClaimFailure failure, platform::Error error) {
        if (why != nullptr) {
            *why = failure;
        }
        return error;
    };
    for (int32_t number = kFirstInkNumber; number <= kLastInkNumber; ++number) {
        auto path = InkFilePath(home, dataFolder, InkFileName(number));
        if (!path) {
            // Longer numbers make longer paths: none further can fit either.
            return failed(InkClaimFailure::FolderUnusable, path.error());
        }
        if (platform::FileExists(*path)) {
            continue;
        }
        auto created = platform::CreateNewFile(*path);
        if (!created) {
            return failed(InkClaimFailure::FolderUnusable, created.error());
        }
        if (*created) {
            return number;
        }
        // Another writer took it between the look and the claim.
    }
    return failed(
        InkClaimFailure::NumbersTaken,
        platform::MakeError("every ink file number from " + std::to_string(kFirstInkNumber) +
                            " to " + std::to_string(kLastInkNumber) + " is taken"));
}

platform::Result<void> WriteInkFile(const platform::DataHome& home, std::u16string_view dataFolder,
                                    std::u16string_view name,
                                    std::span<const controls::InkEntry> entries) {
    auto path = InkFilePath(home, dataFolder, name);
    if (!path) {
        return path.error();
    }
    const size_t count = std::min(entries.size(), controls::kMaxInkEntries);
    return platform::ReplaceFileAtomically(*path, controls::EncodeInkEntries(entries.first(count)));
}

platform::Result<void> DeleteInkFile(const platform::DataHome& home, std::u16string_view dataFolder,
                                     std::u16string_view name) {
    auto path = InkFilePath(home, dataFolder, name);
    if (!path) {
        return path.error();
    }
    return platform::DeleteFile(*path);
}

}  // namespace editors
