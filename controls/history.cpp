#include "controls/history.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "platform/files/device_path.h"
#include "platform/files/file_operations.h"
#include "platform/files/readable_file.h"
#include "platform/text/unicode_text.h"

namespace controls {
namespace {

constexpr unsigned kBitsPerByte = 8;
constexpr unsigned kByteMask = 0xFF;

// "<dataFolder>\<name>" on this machine; a data folder given as a host path ("/home/...") is
// joined the host's way.
std::optional<std::filesystem::path> HistoryFilePath(const platform::DataHome& home,
                                                     std::u16string_view dataFolder,
                                                     std::u16string_view name) {
    return platform::MapDevicePath(home, platform::JoinDevicePath(dataFolder, name));
}

// Fills `list` from one history file. False when the file cannot be opened or read, which ends
// a load of several files.
bool ReadHistoryFile(const platform::DataHome& home, std::u16string_view dataFolder,
                     std::u16string_view name, HistoryList& list) {
    const std::optional<std::filesystem::path> path = HistoryFilePath(home, dataFolder, name);
    if (!path) {
        return false;
    }
    platform::Result<platform::ReadableFile> file = platform::ReadableFile::Open(*path);
    if (!file) {
        return false;
    }
    std::array<std::byte, kHistoryFileBytes> bytes{};
    const size_t got = file->Read(bytes.data(), bytes.size());
    DecodeHistoryFile(std::span<const std::byte>(bytes.data(), got), list);
    // A folder of that name opens but cannot be read: as on the handheld, that is no file.
    return file->Status().ok();
}

// Replaces one history file whole, so that a failed save leaves the old one as it was.
platform::Result<void> WriteHistoryFile(const platform::DataHome& home,
                                        std::u16string_view dataFolder, std::u16string_view name,
                                        const HistoryList& list) {
    const std::optional<std::filesystem::path> path = HistoryFilePath(home, dataFolder, name);
    if (!path) {
        return platform::MakeError("the data folder \"" + platform::Utf16ToUtf8Lossy(dataFolder) +
                                   "\" cannot hold the history file " +
                                   platform::Utf16ToUtf8Lossy(name));
    }
    return platform::ReplaceFileAtomically(*path, EncodeHistoryFile(list));
}

}  // namespace

void HistoryList::Empty() {
    for (HistorySlot& slot : slotList) {
        slot.fill(0);
    }
}

std::u16string_view HistoryList::SlotText(size_t slot) const {
    if (slot >= kHistorySlotCount) {
        return {};
    }
    const HistorySlot& units = slotList[slot];
    const auto textEnd =
        std::find(units.begin(), units.begin() + kHistoryTextMaxUnits, char16_t{0});
    return std::u16string_view(units.data(), static_cast<size_t>(textEnd - units.begin()));
}

std::vector<std::u16string> HistoryList::Texts() const {
    std::vector<std::u16string> texts;
    for (size_t slot = 0; slot < kHistorySlotCount; ++slot) {
        const std::u16string_view text = SlotText(slot);
        if (text.empty()) {
            break;
        }
        texts.emplace_back(text);
    }
    return texts;
}

void RememberHistoryText(HistoryList& list, std::u16string_view text) {
    text = text.substr(0, text.find(u'\0'));
    text = text.substr(0, kHistoryTextMaxUnits);
    if (text.empty()) {
        return;
    }
    // The same text further back is taken out; the gap it leaves is the one the shift closes.
    // Emptied slots are cleared whole so that no trace of a removed text reaches the file.
    for (size_t slot = 0; slot < kHistorySlotCount; ++slot) {
        if (list.SlotText(slot) == text) {
            list.slotList[slot].fill(0);
        }
    }
    size_t firstGap = kHistorySlotCount - 1;
    for (size_t slot = 0; slot < kHistorySlotCount; ++slot) {
        if (list.slotList[slot][0] == 0) {
            firstGap = slot;
            break;
        }
    }
    // From the back, so nothing is overwritten before it has moved; a full list loses its last.
    for (size_t slot = firstGap; slot > 0; --slot) {
        list.slotList[slot] = list.slotList[slot - 1];
    }
    HistorySlot& front = list.slotList[0];
    front.fill(0);
    std::copy(text.begin(), text.end(), front.begin());
}

std::string EncodeHistoryFile(const HistoryList& list) {
    std::string bytes;
    bytes.reserve(kHistoryFileBytes);
    for (const HistorySlot& slot : list.slotList) {
        for (const char16_t unit : slot) {
            bytes.push_back(static_cast<char>(unit & kByteMask));
            bytes.push_back(static_cast<char>((unit >> kBitsPerByte) & kByteMask));
        }
    }
    return bytes;
}

void DecodeHistoryFile(std::span<const std::byte> bytes, HistoryList& list) {
    list.Empty();
    const size_t usable = std::min(bytes.size(), kHistoryFileBytes);
    for (size_t offset = 0; offset < usable; offset += sizeof(char16_t)) {
        const auto low = std::to_integer<unsigned>(bytes[offset]);
        // An odd last byte fills only the low half of its unit.
        const unsigned high =
            offset + 1 < usable ? std::to_integer<unsigned>(bytes[offset + 1]) : 0;
        const size_t unit = offset / sizeof(char16_t);
        list.slotList[unit / kHistorySlotUnits][unit % kHistorySlotUnits] =
            static_cast<char16_t>(low | (high << kBitsPerByte));
    }
}

void LoadSubjectLocationHistory(HistoryLists& lists, const platform::DataHome& home,
                                std::u16string_view dataFolder) {
    lists.SubjectHistory.Empty();
    lists.LocationHistory.Empty();
    if (!ReadHistoryFile(home, dataFolder, kSubjectHistoryFileName, lists.SubjectHistory)) {
        return;
    }
    ReadHistoryFile(home, dataFolder, kLocationHistoryFileName, lists.LocationHistory);
}

void LoadTaskHistory(HistoryLists& lists, const platform::DataHome& home,
                     std::u16string_view dataFolder) {
    lists.TaskHistory.Empty();
    ReadHistoryFile(home, dataFolder, kTaskHistoryFileName, lists.TaskHistory);
}

platform::Result<void> SaveSubjectLocationHistory(const HistoryLists& lists,
                                                  const platform::DataHome& home,
                                                  std::u16string_view dataFolder) {
    if (platform::Result<void> saved =
            WriteHistoryFile(home, dataFolder, kSubjectHistoryFileName, lists.SubjectHistory);
        !saved) {
        return saved;
    }
    return WriteHistoryFile(home, dataFolder, kLocationHistoryFileName, lists.LocationHistory);
}

platform::Result<void> SaveTaskHistory(const HistoryLists& lists, const platform::DataHome& home,
                                       std::u16string_view dataFolder) {
    return WriteHistoryFile(home, dataFolder, kTaskHistoryFileName, lists.TaskHistory);
}

}  // namespace controls
