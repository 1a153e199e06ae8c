#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/data_home.h"
#include "platform/result.h"

namespace controls {

// A history list keeps this many texts, slot 0 the most recently used.
inline constexpr size_t kHistorySlotCount = 20;
// UTF-16 units per slot, the terminating 0 included.
inline constexpr size_t kHistorySlotUnits = 256;
// The longest text a slot holds.
inline constexpr size_t kHistoryTextMaxUnits = kHistorySlotUnits - 1;
inline constexpr size_t kHistorySlotBytes = kHistorySlotUnits * sizeof(char16_t);
// Every history file is exactly this long: the slots one after another, no header.
inline constexpr size_t kHistoryFileBytes = kHistorySlotCount * kHistorySlotBytes;

// File names, joined to the data folder with a separator.
inline constexpr std::u16string_view kSubjectHistoryFileName = u"Subject.DAT";
inline constexpr std::u16string_view kLocationHistoryFileName = u"Location.DAT";
inline constexpr std::u16string_view kTaskHistoryFileName = u"Task.DAT";

// One slot as held in memory and on disk: a text, a 0 unit, then filler nobody reads. A slot
// whose first unit is 0 is empty.
using HistorySlot = std::array<char16_t, kHistorySlotUnits>;

// The recently used texts of one drop-down list, most recent first.
struct HistoryList {
    std::array<HistorySlot, kHistorySlotCount> slotList{};

    // Empties every slot.
    void Empty();

    // The text of one slot: up to its terminator, or its first kHistoryTextMaxUnits units when
    // it holds none (a file may carry such a slot).
    std::u16string_view SlotText(size_t slot) const;

    // What a drop-down shows: slot 0, 1, ... up to the first empty slot.
    std::vector<std::u16string> Texts() const;
};

// The three lists the editors offer; owned by the main window for the whole run.
struct HistoryLists {
    HistoryList SubjectHistory;   // appointment subjects, "Subject.DAT"
    HistoryList LocationHistory;  // appointment locations, "Location.DAT"
    HistoryList TaskHistory;      // task subjects, "Task.DAT"
};

// Puts `text` at the front of `list`: any slot holding the same text (case-sensitive) is
// emptied, the slots before the first gap move back one, and the text goes into slot 0. When
// the list is full and the text is new, the text of the last slot is lost. The text ends at its
// first 0 unit and is cut to kHistoryTextMaxUnits; an empty text changes nothing.
void RememberHistoryText(HistoryList& list, std::u16string_view text);

// The file form of a list: every slot in order, each unit little-endian, kHistoryFileBytes long.
std::string EncodeHistoryFile(const HistoryList& list);

// Empties `list` and fills it from the beginning of a file's bytes: a short file fills only the
// slots (and the part of a slot) its bytes reach; bytes beyond kHistoryFileBytes are ignored.
void DecodeHistoryFile(std::span<const std::byte> bytes, HistoryList& list);

// Empties SubjectHistory and LocationHistory, then reads "Subject.DAT" and "Location.DAT" from
// the data folder (a device path such as "\My Documents", found through `home`). Stops at the
// first file that cannot be opened: without "Subject.DAT" both lists stay empty.
void LoadSubjectLocationHistory(HistoryLists& lists, const platform::DataHome& home,
                                std::u16string_view dataFolder);

// Empties TaskHistory and reads "Task.DAT" from the data folder into it.
void LoadTaskHistory(HistoryLists& lists, const platform::DataHome& home,
                     std::u16string_view dataFolder);

// Writes SubjectHistory to "Subject.DAT", then LocationHistory to "Location.DAT", each replaced
// whole or not at all. When "Subject.DAT" cannot be written, "Location.DAT" is left alone and
// the error returned. The lists in memory are never changed.
platform::Result<void> SaveSubjectLocationHistory(const HistoryLists& lists,
                                                  const platform::DataHome& home,
                                                  std::u16string_view dataFolder);

// Writes TaskHistory to "Task.DAT", replaced whole or not at all.
platform::Result<void> SaveTaskHistory(const HistoryLists& lists, const platform::DataHome& home,
                                       std::u16string_view dataFolder);

}  // namespace controls
